#!/usr/bin/env bash
# remote-bitbang-cli.sh <stellaris-sim> <wine-run.sh> <orvandel.exe> <work dir>
# `orvandel scan` through the native remote_bitbang server must list the same
# chain as the in-process chip; a server that drops the connection in the
# middle of a scan and a port nobody listens on must give a clear error and a
# failing exit, never a hang. Output goes through files, not pipes: Wine's
# background processes can inherit a pipe and hold it open.
set -u
sim=$1 winerun=$2 orvandel=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
[ -x "$sim" ] || { echo "remote-bitbang-cli: $sim is missing (build the native tree)"; exit 1; }
. "$here/../sim/start-sim.sh"
failed=0
. "$here/cli-run.sh"

# Wine starts are slow under emulation: the server outlives the default limit.
start_sim remote-bitbang-cli "$sim" "$work/sim.out" "$work/sim.err" --exit-after 1500
run remote zero "^2 devices on the JTAG chain" --jtag "remote_bitbang:127.0.0.1:$port" scan
run local zero "^2 devices on the JTAG chain" scan
if ! diff "$work/local.txt" "$work/remote.txt"; then
  echo "the remote chain differs from the in-process one"
  failed=1
fi

# The server is gone: its port now refuses connections.
kill "$simpid" 2>/dev/null
wait "$simpid" 2>/dev/null
run refused nonzero "cannot connect" scan --jtag "remote_bitbang:127.0.0.1:$port"

# A server that takes the first bytes of the discovery scan and hangs up.
rm -f "$work/dropper.port"
python3 - "$work/dropper.port" <<'EOF' &
import socket, sys
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(1)
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(str(s.getsockname()[1]))
import os
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
s.settimeout(600)
c, _ = s.accept()
c.recv(64)
c.close()
EOF
dropper=$!
trap 'kill "$dropper" 2>/dev/null' EXIT
for _ in $(seq 1 100); do [ -f "$work/dropper.port" ] && break; sleep 0.05; done
run dropped nonzero "closed the connection|connection is lost" \
  scan --jtag "remote_bitbang::$(cat "$work/dropper.port")"

exit $failed
