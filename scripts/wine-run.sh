#!/usr/bin/env bash
# Runs one Windows program under Wine (ctest's emulator and the scripts'),
# with the loader of its own architecture (scripts/wine-loader.sh). A TERM,
# INT or HUP (as `timeout` sends) is passed on to the program, so it never
# outlives this script holding a server connection. Where Wine runs under emulation it
# occasionally fails to start a program at all; such a start is retried, a
# program that ran is not.
set -u
program=${1:?usage: wine-run.sh PROGRAM [ARGUMENTS...]}

. "$(dirname "$0")/wine-loader.sh"
loader=$(orvandel_wine_loader "$program")

log=$(mktemp)
child=""
stop() {
  local signal=$1
  if [ -n "$child" ]; then kill -"$signal" "$child" 2>/dev/null; wait "$child" 2>/dev/null; fi
  cat "$log"
  rm -f "$log"
  trap - "$signal"
  kill -"$signal" $$
}
trap 'stop TERM' TERM
trap 'stop INT' INT
trap 'stop HUP' HUP
trap 'rm -f "$log"' EXIT

for attempt in 1 2 3; do
  "$loader" "$@" >"$log" 2>&1 </dev/null &
  child=$!
  wait "$child"
  rc=$?
  child=""
  if [ $rc -ne 0 ] && ! grep -q 'Running main() from' "$log" &&
    grep -qE 'could not load kernel32|c0000135|Application could not be started|wine client error' "$log"; then
    echo "wine-run: Wine did not start $1 (attempt $attempt), retrying" >&2
    sleep 2
    continue
  fi
  break
done
cat "$log"
exit $rc
