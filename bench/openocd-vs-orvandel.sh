#!/usr/bin/env bash
# Side by side on one stellaris-sim: `orvandel` (under Wine) and Debian's
# OpenOCD doing the same work on the same images, measured by the server's
# per-connection counters and the wall clock. Not a test: run it by hand.
# Usage: bench/openocd-vs-orvandel.sh [build folder] (default: build)
# Needs the build folder's Windows trees (<arch>/bin/orvandel.exe with the
# plug-in), its native tree (native/tools/sim/stellaris-sim), OpenOCD, and
# Wine set up for the folder (`. scripts/env.sh <build>; orvandel_env_start`).
# ARCHES="x86_64 i686" picks the Windows trees whose orvandel runs (default
# x86_64), SIZES="8 64 256" the image sizes in KB, PART the catalogue part
# (the simulated chip's), SIM_OPTIONS more options for stellaris-sim (for
# example "--steps-per-access 200000").
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd) || exit 1
sim=${SIM:-$build/native/tools/sim/stellaris-sim}
arches=${ARCHES:-x86_64}
openocd=${OPENOCD:-/usr/bin/openocd}
part=${PART:-LM3S6965-IQC50-A2}
sizes=${SIZES:-8 64 256}
work=$(mktemp -d /tmp/orvandel-bench.XXXXXX)
for tool in "$sim" "$openocd" $(for a in $arches; do echo "$build/$a/bin/orvandel.exe"; done); do
  [ -e "$tool" ] || { echo "openocd-vs-orvandel: $tool is missing"; exit 1; }
done

# Random images (fixed seed) and a 1 KB block for the memory write.
(cd "$work" && timeout 60 python3 - $sizes <<'PYEOF'
import random, sys
rng = random.Random(7)
for kb in sys.argv[1:]:
    open("image-%s.bin" % kb, "wb").write(bytes(rng.getrandbits(8) for _ in range(int(kb) * 1024)))
open("block.bin", "wb").write(bytes(rng.getrandbits(8) for _ in range(1024)))
PYEOF
) || exit 1

stats=$work/sim.stats
"$sim" ${SIM_OPTIONS:-} --port 0 --exit-after 7200 --stats "$stats" >"$work/sim.out" 2>"$work/sim.err" &
simpid=$!
trap 'kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null' EXIT
port=""
for _ in $(seq 1 100); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")
  [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || { echo "openocd-vs-orvandel: stellaris-sim did not start"; cat "$work/sim.err"; exit 1; }

# field <line> <key>: a value of a stats line.
field() { sed -n "s/.* $2=\([0-9]*\).*/\1/p" <<<"$1"; }

rows=()
# measure <tool> <operation> <KB or 0> <command...>: runs the command (a
# function of this script, bounded in time) alone on
# the chip and records its wall time and what its connection cost the board.
measure() {
  local tool=$1 operation=$2 kb=$3
  shift 3
  local before after start end line rc
  before=$({ wc -l <"$stats"; } 2>/dev/null || echo 0)
  start=$(date +%s%N)
  (cd "$work" && "$@") >"$work/last.txt" 2>&1 </dev/null
  rc=$?
  end=$(date +%s%N)
  # The server writes the line when the client has gone.
  for _ in $(seq 1 200); do
    after=$({ wc -l <"$stats"; } 2>/dev/null || echo 0)
    [ "$after" -gt "$before" ] && break
    sleep 0.05
  done
  line=$(tail -1 "$stats")
  if [ $rc -ne 0 ] || [ "$after" -le "$before" ]; then
    echo "openocd-vs-orvandel: $tool $operation failed (exit $rc):" >&2
    tail -20 "$work/last.txt" >&2
    line=""
  fi
  rows+=("$tool|$operation|$kb|$(((end - start) / 1000000))|$(field "$line" tck)|$(field "$line" scans)|$(field "$line" bytes_in)|$(field "$line" bytes_out)")
  echo "  $tool $operation: done in $(((end - start) / 1000000)) ms" >&2
}

ocd() {
  STELLARIS_SIM_PORT=$port timeout 1800 "$openocd" -c "set WORKAREASIZE 0x4000" \
    -f "$root/tests/tools/sim/openocd/stellaris-sim.cfg" -c init "$@" -c shutdown
}
# orv <arch> <verb...>: the command line of one Windows tree; `timeout`
# ends the Windows program too (wine-run.sh passes the signal on).
orv() {
  local arch=$1
  shift
  timeout 1800 bash "$root/scripts/wine-run.sh" "$build/$arch/bin/orvandel.exe" \
    --jtag "remote_bitbang:127.0.0.1:$port" "$@"
}

# measure_both <operation> <KB> <OpenOCD arguments> -- <orvandel verb...>
measure_both() {
  local operation=$1 kb=$2 ocd_args=() arch
  shift 2
  while [ "$1" != "--" ]; do ocd_args+=("$1"); shift; done
  shift
  measure openocd "$operation" "$kb" ocd "${ocd_args[@]}"
  for arch in $arches; do measure "orvandel $arch" "$operation" "$kb" orv "$arch" "$@"; done
}

for kb in $sizes; do
  measure_both "flash+verify" "$kb" -c "program image-$kb.bin 0 verify" -- flash "$part" "image-$kb.bin"
done
measure_both "connect" 0 -- scan
measure_both "halt" 0 -c halt -- halt "$part"
measure_both "step" 0 -c halt -c step -- step "$part"
measure_both "registers" 0 -c halt -c reg -- regs "$part"
measure_both "read 1 KB" 0 -c halt -c "dump_image read.bin 0x20000000 1024" -- \
  mem "$part" read 0x20000000 1024 --out read.bin
measure_both "write 1 KB" 0 -c halt -c "load_image block.bin 0x20000000 bin" -- \
  mem "$part" write 0x20000000 --in block.bin

# The table: whole runs (connection set-up included: compare with the
# connect rows), TCK time at the simulated 10 MHz, and per KB for images.
printf '| tool | operation | wall s | TCK cycles | TCK time at 10 MHz, ms | scans | bytes in | bytes out | TCK/KB | scans/KB | bytes in/KB |\n'
printf '|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n'
for row in "${rows[@]}"; do
  IFS='|' read -r tool operation kb ms tck scans bin bout <<<"$row"
  size=""
  [ "$kb" -gt 0 ] && size=" $kb KB"
  if [ -z "$tck" ]; then
    printf '| %s | %s%s | %s | failed | | | | | | | |\n' "$tool" "$operation" "$size" \
      "$(awk -v m="$ms" 'BEGIN { printf "%.1f", m / 1000 }')"
    continue
  fi
  awk -v t="$tool" -v o="$operation$size" -v ms="$ms" -v tck="$tck" -v s="$scans" -v bi="$bin" \
    -v bo="$bout" -v kb="$kb" 'BEGIN {
      printf "| %s | %s | %.1f | %d | %.1f | %d | %d | %d |", t, o, ms / 1000, tck, tck / 10000, s, bi, bo
      if (kb > 0) printf " %d | %.1f | %d |\n", tck / kb, s / kb, bi / kb
      else printf " | | |\n"
    }'
done
echo
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
rm -rf "$work"
