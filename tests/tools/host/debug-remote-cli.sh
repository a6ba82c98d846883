#!/usr/bin/env bash
# debug-remote-cli.sh <stellaris-sim> <wine-run.sh> <orvandel.exe> <work dir> [part]
# The debug verbs through the plug-in's driver against the native
# remote_bitbang server, whose chip keeps its state between invocations:
# memory written by one `mem write` is read back by the next `mem read`
# (as raw bytes into a file), a register written by `regs` is listed by a
# later `regs`, and `step` moves the PC by one instruction and shows the
# instruction there. A chip whose debug port never powers up gives the
# plug-in's message and a failing exit, not a hang. Output goes through
# files, not pipes: Wine's background processes can inherit a pipe and hold
# it open.
set -u
sim=$1 winerun=$2 orvandel=$3 work=$4 part=${5:-LM3S6965}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
[ -x "$sim" ] || { echo "debug-remote-cli: $sim is missing (build the native tree)"; exit 1; }
. "$here/../sim/start-sim.sh"
failed=0
. "$here/cli-run.sh"

# Wine starts are slow under emulation: the server outlives the default limit.
start_sim debug-remote-cli "$sim" "$work/sim.out" "$work/sim.err" --exit-after 1500
jtag="remote_bitbang:127.0.0.1:$port"

# Two NOPs and a branch to itself.
run mem-write zero "^wrote 6 bytes at 0x20000100" --jtag "$jtag" mem "$part" write 0x20000100 00BF00BFFEE7
rm -f "$work/back.bin"
run mem-read zero "^read 6 bytes at 0x20000100" --jtag "$jtag" mem "$part" read 0x20000100 6 --out "Z:$work/back.bin"
if [ "$(od -An -tx1 "$work/back.bin" 2>/dev/null | tr -d ' \n')" != 00bf00bffee7 ]; then
  echo "mem-read: the file holds $(od -An -tx1 "$work/back.bin" 2>/dev/null) instead of the bytes written"
  failed=1
fi
run regs-write zero "^R0 +0x12345678" --jtag "$jtag" regs "$part" r0=0x12345678 pc=0x20000100
run regs-read zero "^R15/PC +0x20000100" --jtag "$jtag" regs "$part"
grep -qE "^R0 +0x12345678" "$work/regs-read.txt" || { echo "regs-read: R0 did not keep its value"; failed=1; }
run step zero "^stepped 1 instruction, PC 0x20000100 -> 0x20000102" --jtag "$jtag" step "$part"
# The instruction it stopped at, as the plug-in's controller panel shows it.
grep -qE "^instruction at 0x20000102: 0xBF00  nop" "$work/step.txt" ||
  { echo "step: the instruction at the new PC is not shown"; failed=1; }

kill "$simpid" 2>/dev/null
wait "$simpid" 2>/dev/null

# A debug port that never acknowledges its power-up request.
start_sim debug-remote-cli "$sim" "$work/dead.out" "$work/dead.err" --exit-after 900 --no-power-ack
run dead nonzero "Target is not responding\." --jtag "remote_bitbang:127.0.0.1:$port" halt "$part"

exit $failed
