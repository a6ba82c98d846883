#!/usr/bin/env bash
# Runs Debian's OpenOCD against stellaris-sim with a work area in SRAM, so
# that OpenOCD runs its own RAM algorithms on the simulated core: the
# Stellaris flash writer, the CRC routine of verify_image and the blank
# check. OpenOCD runs at debug level 3; its log shows where each algorithm
# was started and where the core halted.
# Usage: openocd-work-area-check.sh <stellaris-sim> <work-dir>
set -uo pipefail
sim=${1:?stellaris-sim path}
work=${2:?work dir}
here=$(cd "$(dirname "$0")" && pwd)
openocd=${OPENOCD:-/usr/bin/openocd}
python=${PYTHON:-python3}
mkdir -p "$work"
log="$work/openocd.log"
simout="$work/sim.out"
simerr="$work/sim.err"
rm -f "$log" "$simout" "$simerr"

if [ ! -x "$openocd" ]; then
  echo "openocd-work-area-check: $openocd is missing (scripts/setup.sh installs it)"
  exit 1
fi

# Images from a fixed seed:
#  image.bin  6 KB of random bytes, six 1 KB flash pages;
#  bad.bin    the same with one byte changed, at 0xbb8;
#  boot.hex   Intel HEX, 4 KB at address 0 starting with a vector table
#             (SP 0x20001000, reset at 0x08: a branch to itself), so the
#             core has something sane to run after `program ... reset`.
# Prints "<good byte> <bad byte>" of the changed location.
bytes=$(
  cd "$work" && timeout 30 "$python" - <<'EOF'
import random

rng = random.Random(20240605)
image = bytearray(rng.getrandbits(8) for _ in range(6144))
open("image.bin", "wb").write(image)
bad = bytearray(image)
bad[0xBB8] ^= 0x5A
open("bad.bin", "wb").write(bad)

boot = bytearray(b"\x00\x10\x00\x20\x09\x00\x00\x00\xfe\xe7\x00\xbf")
boot += bytes(rng.getrandbits(8) for _ in range(4096 - len(boot)))
with open("boot.hex", "w") as f:
    for address in range(0, len(boot), 16):
        chunk = boot[address:address + 16]
        record = bytes([len(chunk), address >> 8, address & 0xFF, 0]) + chunk
        checksum = -sum(record) & 0xFF
        f.write(":" + (record + bytes([checksum])).hex().upper() + "\n")
    f.write(":00000001FF\n")
print("0x%02x 0x%02x" % (image[0xBB8], bad[0xBB8]))
EOF
)
if [ -z "$bytes" ]; then
  echo "openocd-work-area-check: $python could not make the images"
  exit 1
fi
read -r goodbyte badbyte <<<"$bytes"

# shellcheck source=start-sim.sh
. "$here/start-sim.sh"
start_sim openocd-work-area-check "$sim" "$simout" "$simerr"

# Every step starts with a marker line, so each check looks only at the
# output of its own step. The chip starts blank: the first erase_check
# must find every page erased.
commands=(-c init -c halt)
step_commands() {
  commands+=(-c "echo {=== $1}")
  shift
  for command in "$@"; do commands+=(-c "$command"); done
}
step_commands blank-check "flash erase_check 0"
step_commands write "flash write_image erase image.bin 0"
step_commands verify "verify_image image.bin 0"
# A failing verify_image would end OpenOCD's command list: catch it and
# print its result instead (Tcl, not shell, expands $result).
# shellcheck disable=SC2016
step_commands verify-bad \
  'if {[catch {verify_image bad.bin 0} result]} { echo "verify_image failed: $result" }'
step_commands erase-check "flash erase_check 0"
step_commands program "program boot.hex verify reset exit"

(cd "$work" && STELLARIS_SIM_PORT=$port timeout 90 "$openocd" -d3 \
  -c "set WORKAREASIZE 0x4000" -f "$here/openocd/stellaris-sim.cfg" "${commands[@]}") \
  >"$log" 2>&1
rc=$?

# The server reports its counters when the connection closes.
for _ in $(seq 1 100); do
  grep -q 'connection closed' "$simerr" && break
  kill -0 "$simpid" 2>/dev/null || break
  sleep 0.05
done

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() {
  failed=$((failed + 1))
  echo "FAILED: $1"
}
# The log lines of one step: from its marker to the next one.
step() {
  awk -v name="=== $1" '
    index($0, "=== ") { inside = index($0, name) > 0 && substr($0, index($0, name) + length(name)) !~ /^[a-z-]/ }
    inside' "$log"
}
# expect <step> <what> <pattern>: the step's output matches the pattern.
# (The step is read whole first: with pipefail, grep -q leaving early would
# make awk's broken pipe look like a mismatch.)
expect() {
  local out
  out=$(step "$1")
  if grep -Eq -- "$3" <<<"$out"; then pass; else fail "$1: $2 (pattern: $3)"; fi
}
# refuse <step> <what> <pattern>: the step's output does not match it.
refuse() {
  local out
  out=$(step "$1")
  if grep -Eq -- "$3" <<<"$out"; then fail "$1: $2 (pattern: $3)"; else pass; fi
}
# The algorithm was loaded into the work area, the core resumed there and
# halted there again (at the algorithm's BKPT) rather than anywhere else.
ran_on_core() {
  expect "$1" "the core resumed in the work area" 'target debug resumed at 0x20000000'
  expect "$1" "the core halted inside the work area" \
    'entered debug state in core mode: Thread at PC 0x20000[0-9a-f]{3},'
  refuse "$1" "the algorithm failed or timed out" \
    'error executing|timed out while waiting for target halted|failed to halt|Error waiting'
}

ran_on_core blank-check
expect blank-check "the blank check covers every page" 'Starting erase check of 256 blocks'
expect blank-check "a blank chip is erased" '^[[:space:]]*Bank is erased'
refuse blank-check "no slow fallback" 'fallback'

ran_on_core write
expect write "the block writer is used" 'stellaris_write_block\(\)'
expect write "the FIFO algorithm is fed" 'target_run_flash_async_algorithm\(\): offs 0x0 count 0x600'
refuse write "no word-at-a-time fallback" 'word-at-a-time|no working area'
refuse write "no flash controller error" 'flash writing failed'
expect write "image written" 'wrote 6144 bytes from file image\.bin'

ran_on_core verify
expect verify "the image verifies" 'verified 6144 bytes'
refuse verify "the core's CRC matches the image's" 'checksum mismatch'

ran_on_core verify-bad
expect verify-bad "the core's CRC differs for the changed image" \
  'checksum mismatch - attempting binary compare'
expect verify-bad "the changed byte is found" \
  "verify_image failed: diff 0 address 0x00000bb8\\. Was $goodbyte instead of $badbyte"
refuse verify-bad "no other byte differs" 'diff 1 '

ran_on_core erase-check
for page in 0 1 2 3 4 5; do
  expect erase-check "written page $page is not erased" \
    "#  $page: 0x0000$(printf %04x $((page * 1024))) \\(0x400 1kB\\) not erased"
done
refuse erase-check "the page after the image is erased" '#  6: '
refuse erase-check "the bank is not reported erased" 'Bank is erased'
refuse erase-check "no slow fallback" 'fallback'

ran_on_core program
expect program "the block writer is used" 'target_run_flash_async_algorithm\(\): offs 0x0 count 0x400'
refuse program "no word-at-a-time fallback" 'word-at-a-time|no working area'
expect program "programming finishes" '\*\* Programming Finished \*\*'
expect program "the image verifies" '\*\* Verified OK \*\*'
refuse program "the core's CRC matches the image's" 'checksum mismatch'
expect program "the target is reset" '\*\* Resetting Target \*\*'

# The only errors are the blank chip's lockup that OpenOCD clears at
# start-up and the mismatch the changed image is meant to cause.
unexpected=$(grep -E '^Error' "$log" |
  grep -Ev 'clearing lockup after double fault|checksum mismatch - attempting binary compare')
if [ -z "$unexpected" ]; then pass; else fail "unexpected errors: $unexpected"; fi

if [ "$rc" -eq 0 ]; then pass; else fail "openocd exited with $rc"; fi

# The simulator's own account. Writes: 6 KB then 4 KB, a word at a time, and
# only the pages the images cover are erased. Instructions: every blank-check
# word (2 x 64 Ki) and every checksummed byte (3 x 6 KB + 4 KB) needs at
# least one instruction of its own on the core.
counters=$(grep 'connection closed' "$simerr" | tail -1)
if [ -z "$counters" ]; then
  fail "stellaris-sim reported no counters"
else
  if grep -Eq ' 2560 flash words programmed, 10 pages erased' <<<"$counters"; then pass; else
    fail "flash work: expected 2560 words programmed and 10 pages erased ($counters)"
  fi
  instructions=$(sed -n 's/.* \([0-9]*\) instructions,.*/\1/p' <<<"$counters")
  minimum=$((2 * 65536 + 3 * 6144 + 4096))
  if [ "${instructions:-0}" -ge "$minimum" ]; then pass; else
    fail "the core executed ${instructions:-no} instructions, fewer than $minimum"
  fi
fi

if [ "$failed" -ne 0 ]; then
  echo "---- openocd output (without debug lines) ----"
  grep -v '^Debug' "$log"
  echo "---- stellaris-sim stderr ----"
  cat "$simerr"
  echo "(full openocd log: $log)"
fi
echo "openocd-work-area-check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
