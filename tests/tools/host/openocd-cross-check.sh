#!/usr/bin/env bash
# openocd-cross-check.sh <stellaris-sim> <wine-run.sh> <orvandel.exe> <work dir>
# The command line and Debian's OpenOCD take turns on one running
# stellaris-sim, and each confirms what the other did:
#   1. `orvandel flash` writes a random image; OpenOCD's verify_image (its CRC
#      routine running on the simulated core) confirms it;
#   2. OpenOCD's `program ... verify` writes another; `orvandel mem verify`
#      and `orvandel mem read` confirm it;
#   3. a register written by one is read back by the other, the core halted.
# A copy of each image with one byte changed must be refused by the side
# that checks it, so a checker that always agrees cannot pass.
# The two never touch the chip at once: each run ends before the next
# starts, and the server serves one connection at a time. Output goes
# through files, not pipes: Wine's background processes can hold a pipe open.
set -u
sim=$1 winerun=$2 orvandel=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
openocd=${OPENOCD:-/usr/bin/openocd}
# The simulated chip is an LM3S6965 (256 KB flash, 64 KB SRAM).
part=${ORVANDEL_PART:-LM3S6965-IQC50-A2}
mkdir -p "$work"
rm -f "$work"/*.txt "$work"/*.bin "$work"/sim.*
[ -x "$sim" ] || { echo "openocd-cross-check: $sim is missing (build the native tree)"; exit 1; }
[ -x "$openocd" ] || { echo "openocd-cross-check: $openocd is missing (scripts/setup.sh installs it)"; exit 1; }

# Images from a fixed seed, with the flipped byte's offset and values:
#   a.bin  8 KB for orvandel at 0, a-bad.bin the same with one byte changed;
#   b.bin  4 KB for OpenOCD at 0x10000, b-bad.bin likewise.
read -r abad agood awrong bbad bgood bwrong < <(
  cd "$work" && timeout 30 python3 - <<'PYEOF'
import random
rng = random.Random(20240611)
out = []
for name, size, flip in (("a", 8192, 0x1A35), ("b", 4096, 0x0C81)):
    image = bytearray(rng.getrandbits(8) for _ in range(size))
    open(name + ".bin", "wb").write(image)
    bad = bytearray(image)
    bad[flip] ^= 0x24
    open(name + "-bad.bin", "wb").write(bad)
    out += ["0x%x" % flip, "0x%02x" % image[flip], "0x%02x" % bad[flip]]
print(" ".join(out))
PYEOF
)
if [ -z "${bwrong:-}" ]; then
  echo "openocd-cross-check: python3 could not make the images"
  exit 1
fi
base_b=0x10000
r5=0x5eed0005 # written by orvandel, read by OpenOCD
r6=0x0cd0e006 # written by OpenOCD, read by orvandel

# shellcheck source=../sim/start-sim.sh
. "$here/../sim/start-sim.sh"
# Wine starts are slow under emulation: the server outlives the default limit.
start_sim openocd-cross-check "$sim" "$work/sim.out" "$work/sim.err" --exit-after 3000 \
  --stats "$work/sim.stats"
jtag="remote_bitbang:127.0.0.1:$port"

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() {
  failed=$((failed + 1))
  echo "FAILED: $1"
}
# has <file> <what> <pattern> / lacks <file> <what> <pattern>
has() { if grep -Eqi -- "$3" "$1"; then pass; else fail "$2 (pattern: $3)"; fi; }
lacks() { if grep -Eqi -- "$3" "$1"; then fail "$2 (pattern: $3)"; else pass; fi; }

# orvandel_run <name> <exit: zero|nonzero> [orvandel args...]: one Wine start.
orvandel_run() {
  local name=$1 want=$2
  shift 2
  # Image and output files are named relative to the work folder.
  (cd "$work" && timeout 900 bash "$winerun" "$orvandel" --jtag "$jtag" "$@" >"$work/$name.txt" 2>&1 </dev/null)
  local rc=$?
  echo "== orvandel $* (exit $rc)"
  cat "$work/$name.txt"
  if [ "$want" = zero ]; then
    [ $rc -eq 0 ] && pass || fail "orvandel $name: expected exit 0, got $rc"
  else
    { [ $rc -ne 0 ] && [ $rc -lt 124 ]; } && pass || fail "orvandel $name: expected a clean failing exit, got $rc"
  fi
}

# openocd_run <name> <commands...>: one OpenOCD session with a work area in
# SRAM, so that verify_image and the flash writer run on the simulated core.
# Every command is echoed first, so a check can look at one command's output.
openocd_run() {
  local name=$1 command
  shift
  local commands=(-c init -c halt)
  for command in "$@"; do commands+=(-c "echo {>>> $command}" -c "$command"); done
  (cd "$work" && STELLARIS_SIM_PORT=$port timeout 300 "$openocd" -c "set WORKAREASIZE 0x4000" \
    -f "$here/../sim/openocd/stellaris-sim.cfg" "${commands[@]}" -c shutdown) \
    >"$work/$name.txt" 2>&1
  local rc=$?
  echo "== openocd $name (exit $rc)"
  grep -v '^Debug' "$work/$name.txt"
  [ $rc -eq 0 ] && pass || fail "openocd $name: exited with $rc"
}

# 1. orvandel writes image a and a register (`regs` halts the core first);
# OpenOCD checks both.
orvandel_run flash zero flash "$part" a.bin
orvandel_run regs-write zero regs "$part" "R5=$r5"

# A failing command would end OpenOCD's command list: the expected failure
# is caught and printed instead (Tcl, not shell, expands $result).
# OpenOCD writes a register to the core only when the core moves on: the
# step over a branch-to-self in SRAM puts r6 there and leaves all else alone.
# shellcheck disable=SC2016
openocd_run openocd \
  "reg r5" \
  'if {[catch {verify_image a.bin 0} result]} { echo "verify_image failed: $result" } else { echo $result }' \
  'if {[catch {verify_image a-bad.bin 0} result]} { echo "verify_image failed: $result" }' \
  "program b.bin $base_b verify" \
  "reg r6 $r6" \
  "mww 0x20000000 0xe7fee7fe" \
  "reg pc 0x20000000" \
  "step" \
  "reg r6"
# step <command>: the output of that command alone, from its echo to the next.
step() {
  awk -v name=">>> $1" '
    index($0, ">>> ") == 1 { inside = $0 == name }
    inside' "$work/openocd.txt" >"$work/step.$(cksum <<<"$1" | cut -d' ' -f1).out"
  echo "$work/step.$(cksum <<<"$1" | cut -d' ' -f1).out"
}
has "$(step "reg r5")" "OpenOCD reads the R5 orvandel wrote" "^r5 \(/32\): $r5"
good=$(step 'if {[catch {verify_image a.bin 0} result]} { echo "verify_image failed: $result" } else { echo $result }')
has "$good" "OpenOCD's CRC on the core confirms orvandel's image" '^verified 8192 bytes'
lacks "$good" "the core's CRC matches orvandel's image" 'checksum mismatch|diff '
bad=$(step 'if {[catch {verify_image a-bad.bin 0} result]} { echo "verify_image failed: $result" }')
has "$bad" "the core's CRC differs for the changed copy" 'checksum mismatch'
has "$bad" "OpenOCD finds the changed byte of the bad copy" \
  "verify_image failed: diff 0 address 0x0000$(printf %04x "$abad")\\. Was $agood instead of $awrong"
lacks "$bad" "no other byte differs" 'diff 1 '
has "$(step "program b.bin $base_b verify")" "OpenOCD programs image b" '\*\* Programming Finished \*\*'
has "$(step "program b.bin $base_b verify")" "OpenOCD verifies image b" '\*\* Verified OK \*\*'
has "$(step "reg r6")" "OpenOCD's R6 reaches the core" "^r6 \(/32\): $r6"
# Only the bad copy's mismatch and the blank chip's lockup count as errors.
unexpected=$(grep -E '^Error' "$work/openocd.txt" |
  grep -Ev 'clearing lockup after double fault|checksum mismatch - attempting binary compare')
[ -z "$unexpected" ] && pass || fail "OpenOCD reported errors: $unexpected"

# 2. and 3. orvandel checks what OpenOCD wrote: the register first, before
# any routine that may run on the core (a CRC, a loader) changes it.
orvandel_run regs-read zero regs "$part"
has "$work/regs-read.txt" "orvandel reads the R6 OpenOCD wrote" "R6 *[=:]? *(0x)?0*${r6#0x}\\b"
orvandel_run verify zero mem "$part" verify "$base_b" b.bin
orvandel_run read zero mem "$part" read "$base_b" 4096 --out b-read.bin
if cmp "$work/b.bin" "$work/b-read.bin"; then pass; else fail "orvandel's read of image b differs"; fi
orvandel_run verify-bad nonzero mem "$part" verify "$base_b" b-bad.bin
has "$work/verify-bad.txt" "orvandel names the changed byte's address" \
  "(0x)?0*$(printf %x $((base_b + bbad)))\\b"

# The runs took the port in turn: every one was a connection of its own.
runs=6
connections=$(wc -l <"$work/sim.stats" 2>/dev/null || echo 0)
[ "$connections" -ge "$runs" ] && pass || fail "the server saw $connections connections for $runs runs"

if [ "$failed" -ne 0 ]; then
  echo "---- stellaris-sim stderr ----"
  cat "$work/sim.err"
fi
echo "openocd-cross-check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
