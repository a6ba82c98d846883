#!/usr/bin/env bash
# stellaris-sim --stats: each connection appends one line with what that
# connection alone cost the board (TCK cycles, scans, socket bytes), and the
# stderr summary carries the running totals.
# Usage: sim-stats-check.sh <stellaris-sim> <work-dir>
set -uo pipefail
sim=${1:?stellaris-sim path}
work=${2:?work dir}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
stats="$work/stats.txt"
rm -f "$stats" "$work/sim.out" "$work/sim.err"

# shellcheck source=start-sim.sh
. "$here/start-sim.sh"
start_sim sim-stats-check "$sim" "$work/sim.out" "$work/sim.err" --stats "$stats"

# Three clients, one after the other, each sending its commands and reading
# every answer before it goes. The traffic per client (from Test-Logic-Reset):
#   idcode  5 resets, to Shift-DR, 32 bits read, quit      41 TCK, 1 DR scan
#   ir      5 resets, to Shift-IR, 9 bits (4 + 5), no quit 19 TCK, 1 IR scan
#   silent  connects and closes                             nothing at all
timeout 30 python3 - "$port" "$stats" >"$work/client.txt" 2>&1 <<'PYEOF'
import os, socket, sys, time
port, stats = int(sys.argv[1]), sys.argv[2]

def cycle(tms, tdi=0, read=False):
    low = str(2 * tms + tdi)
    return low + ("R" if read else "") + str(4 + 2 * tms + tdi)

def client(commands, answers):
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    s.sendall(commands.encode())
    got = b""
    while len(got) < answers:
        chunk = s.recv(4096)
        if not chunk:
            break
        got += chunk
    s.close()
    return got

# Each client waits for its line before the next one connects, so the lines
# come in the clients' order.
def wait_lines(n):
    for _ in range(200):
        try:
            if len(open(stats).read().splitlines()) >= n:
                return
        except FileNotFoundError:
            pass
        time.sleep(0.05)

idcode = "".join(cycle(1) for _ in range(5)) + "".join(cycle(t) for t in (0, 1, 0, 0))
idcode += "".join(cycle(1 if i == 31 else 0, read=True) for i in range(32)) + "Q"
got = client(idcode, 32)
value = sum(1 << i for i, c in enumerate(got.decode()) if c == "1")
print("idcode 0x%08x in %d bytes out %d" % (value, len(idcode), len(got)))
wait_lines(1)

ir = "".join(cycle(1) for _ in range(5)) + "".join(cycle(t) for t in (0, 1, 1, 0, 0)) + "".join(cycle(1 if i == 8 else 0, 1) for i in range(9))
client(ir, 0)
print("ir in %d" % len(ir))
wait_lines(2)

client("", 0)
wait_lines(3)
PYEOF
rc=$?

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() {
  failed=$((failed + 1))
  echo "FAILED: $1"
}

[ $rc -eq 0 ] && pass || fail "the client failed (exit $rc)"
grep -q '^idcode 0x3ba00477 ' "$work/client.txt" && pass || fail "the first client did not read the IDCODE"
in1=$(sed -n 's/^idcode .* in \([0-9]*\) .*/\1/p' "$work/client.txt")
in2=$(sed -n 's/^ir in \([0-9]*\)$/\1/p' "$work/client.txt")

# Wait for the third line: the server writes it when the last client is gone.
for _ in $(seq 1 100); do
  [ "$(wc -l <"$stats" 2>/dev/null || echo 0)" -ge 3 ] && break
  sleep 0.05
done

# expect <line> <key=value ...>: that line of the stats file has these fields.
expect() {
  local number=$1 line field
  shift
  line=$(sed -n "${number}p" "$stats" 2>/dev/null)
  for field in "$@"; do
    if grep -Eq "(^| )$field( |$)" <<<"$line"; then pass; else
      fail "connection $number: expected $field in: ${line:-no line}"
    fi
  done
}
# The default clock is 10 MHz: 100 ns a cycle.
expect 1 connection=1 tck=41 dr_scans=1 ir_scans=0 scans=1 "bytes_in=${in1:-?}" bytes_out=32 tck_ns=4100
expect 2 connection=2 tck=19 dr_scans=0 ir_scans=1 scans=1 "bytes_in=${in2:-?}" bytes_out=0 tck_ns=1900
expect 3 connection=3 tck=0 scans=0 bytes_in=0 bytes_out=0 tck_ns=0 virtual_ns=0
# Every field is a key=value pair with a number.
if [ -s "$stats" ] && ! grep -Evq '^connection=[0-9]+( [a-z_]+=[0-9]+)+$' "$stats"; then pass; else
  fail "a stats line is not all key=number pairs"
fi
# The stderr summary after the last client holds the totals of all three.
total_in=$(( ${in1:-0} + ${in2:-0} ))
if grep -q "60 TCK, .*; 2 scans, $total_in bytes in, 32 bytes out$" "$work/sim.err"; then pass; else
  fail "the stderr summary lacks the totals (60 TCK, 2 scans, $total_in bytes in, 32 out)"
fi

if [ "$failed" -ne 0 ]; then
  echo "---- stats file ----"
  cat "$stats" 2>/dev/null
  echo "---- client ----"
  cat "$work/client.txt"
  echo "---- stellaris-sim stderr ----"
  cat "$work/sim.err"
fi
echo "sim-stats-check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
