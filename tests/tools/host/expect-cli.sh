#!/usr/bin/env bash
# expect-cli.sh <exit: zero|nonzero> <pattern> <program> [args...]
# Runs a command-line program and checks its exit status and its output.
# The output goes through a file, not a pipe: Wine's background processes
# can inherit the program's output and would hold a pipe open.
set -u
want=$1 pattern=$2
shift 2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
if [ "$want" = zero ] && [ $rc -ne 0 ]; then echo "expected exit 0, got $rc"; exit 1; fi
if [ "$want" = nonzero ] && [ $rc -eq 0 ]; then echo "expected a failing exit, got 0"; exit 1; fi
if [ "$want" = nonzero ] && [ $rc -ge 128 ]; then echo "expected a clean failure, got a crash ($rc)"; exit 1; fi
grep -qE -- "$pattern" "$log" || { echo "output does not match: $pattern"; exit 1; }
