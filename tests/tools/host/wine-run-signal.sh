#!/usr/bin/env bash
# wine-run-signal.sh <wine-run.sh> <probe.exe>
# A TERM sent to scripts/wine-run.sh alone (as a runner that times a test
# out, or `timeout --foreground`, sends it) ends the Windows program under it
# too: nothing is left behind holding a server connection or a file.
set -u
winerun=$1 probe=$2
marker=$((RANDOM * 32768 + RANDOM + 1000))
# The Windows program itself, whose first word is its own path (in the
# Windows or the Linux form), not a script whose arguments name it.
pattern="^[^ ]*probe\.exe --wait $marker\$"
running() { pgrep -f -- "$pattern" >/dev/null; }
bash "$winerun" "$probe" --wait "$marker" >/dev/null 2>&1 &
script=$!
for _ in $(seq 1 100); do running && break; sleep 0.1; done
running || { echo "the program did not start"; kill "$script"; exit 1; }
start=$(date +%s)
kill -TERM "$script"
wait "$script"
elapsed=$(($(date +%s) - start))
[ $elapsed -lt 30 ] || { echo "wine-run.sh took ${elapsed} s to stop"; exit 1; }
for _ in $(seq 1 50); do
  running || { echo "the program ended with its script"; exit 0; }
  sleep 0.1
done
echo "the program outlived its script:"
pgrep -af -- "$pattern"
pkill -f -- "$pattern"
exit 1
