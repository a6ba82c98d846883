#!/usr/bin/env bash
# chain-position-cli.sh <stellaris-sim> <wine-run.sh> <orvandel.exe> <work dir>
# --chain-position chooses the chain device every verb that binds a driver
# binds it to: on a server whose Cortex-M3 sits at position 1 behind another
# device, the debug verbs, identify and flash reach the chip there; a
# position past the chain and a position that is no number fail clearly.
# Output goes through files, not pipes: Wine's background processes can
# inherit a pipe and hold it open.
set -u
sim=$1 winerun=$2 orvandel=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
[ -x "$sim" ] || { echo "chain-position-cli: $sim is missing (build the native tree)"; exit 1; }
. "$here/../sim/start-sim.sh"
failed=0
. "$here/cli-run.sh"

# Wine starts are slow under emulation: the server outlives the default limit.
start_sim chain-position-cli "$sim" "$work/sim.out" "$work/sim.err" --exit-after 1500 \
  --chip-position 1
jtag="remote_bitbang:127.0.0.1:$port"
printf ':04000000DEADBEEFC4\r\n:00000001FF\r\n' >"$work/image.hex"

run scan zero "^  1  IDCODE 0x3BA00477" --jtag "$jtag" scan
run halt zero "^core halted, PC 0x" --jtag "$jtag" --chain-position 1 halt LM3S6965
run identify zero "^LM3S6965-[^:]+: IDCODE 0x3BA00477 \(expected 0x3BA00477\) match" \
  --jtag "$jtag" identify LM3S6965 --chain-position=1
run flash-other nonzero "refusing to flash: chain position 0 has IDCODE 0x0A0B0C0D" \
  --jtag "$jtag" flash LM3S6965 "Z:$work/image.hex"
run flash zero "^LM3S6965-[^ ]+ bound to chain position 1: IDCODE 0x3BA00477" \
  --jtag "$jtag" --chain-position 1 flash LM3S6965 "Z:$work/image.hex"
run past-chain nonzero "there is no device at chain position 2 \(the JTAG chain has 2 devices\)" \
  --jtag "$jtag" --chain-position 2 regs LM3S6965
run not-a-number nonzero "bad chain position \"one\"" --chain-position one halt LM3S6965

exit $failed
