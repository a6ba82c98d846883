#!/usr/bin/env bash
# Runs Debian's OpenOCD against stellaris-sim over remote_bitbang and checks
# its output. Usage: openocd-check.sh <stellaris-sim> <work-dir>
set -uo pipefail
sim=${1:?stellaris-sim path}
work=${2:?work dir}
here=$(cd "$(dirname "$0")" && pwd)
openocd=${OPENOCD:-/usr/bin/openocd}
mkdir -p "$work"
log="$work/openocd.log"
simout="$work/sim.out"
simerr="$work/sim.err"

if [ ! -x "$openocd" ]; then
  echo "openocd-check: $openocd is missing (scripts/setup.sh installs it)"
  exit 1
fi

# A 64-byte image: initial SP 0x20001000, reset vector 0x09 (Thumb), then a
# branch-to-self at 0x08 and a NOP, the rest a counting pattern.
image="$work/image.bin"
{
  printf '\x00\x10\x00\x20\x09\x00\x00\x00\xfe\xe7\x00\xbf'
  for i in $(seq 12 63); do printf "\\x$(printf %02x $((i * 7 & 255)))"; done
} >"$image"

# shellcheck source=start-sim.sh
. "$here/start-sim.sh"
start_sim openocd-check "$sim" "$simout" "$simerr"

STELLARIS_SIM_PORT=$port timeout 90 "$openocd" -f "$here/openocd/stellaris-sim.cfg" \
  -c init \
  -c scan_chain \
  -c halt \
  -c reg \
  -c "reg pc force" \
  -c "mww 0x20000000 0x12345678" \
  -c "mdw 0x20000000" \
  -c "flash probe 0" \
  -c "flash info 0" \
  -c "flash erase_sector 0 0 0" \
  -c "flash write_bank 0 $image 0" \
  -c "flash verify_bank 0 $image 0" \
  -c "reset halt" \
  -c "reg pc" \
  -c "dap info" \
  -c shutdown >"$log" 2>&1
rc=$?

passed=0
failed=0
check() {
  if grep -Eq -- "$2" "$log"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $1 (pattern: $2)"
  fi
}
check "scan_chain finds the Cortex-M3 debug port" '^ *0 +lm3s6965\.cpu +Y +0x3ba00477 +0x3ba00477 +4'
check "scan_chain finds the second device" '^ *1 +other\.tap +Y +0x0a0b0c0d +0x0a0b0c0d +5'
check "core detected" 'Cortex-M3 r1p1 processor detected'
check "FPB and DWT sizes" 'target has 6 breakpoints, 4 watchpoints'
check "reg lists the core registers" '^\(16\) xPSR \(/32\)'
check "halted core's PC reads" '^pc \(/32\): 0x[0-9a-f]{8}'
check "SRAM round trip" '^0x20000000: 12345678 *$'
check "flash probe" "flash 'stellaris' found at 0x00000000"
check "part identified" 'Chip is class 1 \(Fury\) LM3S6965 rev A2'
check "memory sizes" 'ramsize: 64k, flashsize: 256k'
check "sector erased" 'erased sectors 0 through 0 on flash bank 0'
check "image written" 'wrote 64 bytes from file .*image\.bin to flash bank 0'
check "image verified" 'contents match'
check "reset halt stops at the reset vector" 'halted due to .*'
check "PC after reset is the image's entry" '^pc \(/32\): 0x00000008'
check "ROM table" 'Part is 0x4c3, Cortex-M3 ROM \(ROM Table\)'
check "SCS entry" 'Part is 0x000, Cortex-M3 SCS'
check "DWT entry" 'Part is 0x002, Cortex-M3 DWT'
check "FPB entry" 'Part is 0x003, Cortex-M3 FPB'
check "ITM entry" 'Part is 0x001, Cortex-M3 ITM'
check "TPIU entry" 'Part is 0x923, Cortex-M3 TPIU'
check "absent ETM" 'Component not present'
check "end of ROM table" 'End of ROM table'
if [ "$rc" -eq 0 ]; then passed=$((passed + 1)); else
  failed=$((failed + 1))
  echo "FAILED: openocd exited with $rc"
fi

if [ "$failed" -ne 0 ]; then
  echo "---- openocd output ----"
  cat "$log"
  echo "---- stellaris-sim stderr ----"
  cat "$simerr"
fi
echo "openocd-check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
