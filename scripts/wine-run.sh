#!/usr/bin/env bash
# Runs one Windows program under Wine for ctest. Where Wine runs under
# emulation it occasionally fails to start a program at all (it cannot load
# its own system DLLs); such a start is retried, a program that ran is not.
set -u
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for attempt in 1 2 3; do
  wine "$@" >"$log" 2>&1
  rc=$?
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
