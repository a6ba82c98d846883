#!/usr/bin/env bash
# Instructions per 35-bit scan for arm_scans_bench, counted by callgrind: the
# stable figure beside the bench's CPU times, which a busy machine blurs.
# The bench runs twice, with repetition factors 1 and 3; the difference of
# the two instruction counts over the difference of their scan counts is
# the cost of one scan through the whole road (plug-in, outgoing call, test
# host and channel, simulated chip), with Wine's start and the bench's
# set-up cancelled out.
#
# Usage: bench/callgrind-scans.sh BUILD-DIR [ARCH]   (ARCH: x86_64, the default)
# Needs the build folder's Wine environment started (scripts/env.sh).
set -euo pipefail

build=$(cd "${1:?build dir}" && pwd)
arch=${2:-x86_64}
bench="$build/$arch/bin/arm_scans_bench.exe"
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() { # factor -> "instructions scans"
  local factor=$1 out="$work/f$1"
  mkdir -p "$out"
  valgrind --tool=callgrind --trace-children=yes --callgrind-out-file="$out/cg.%p" \
    bash "$root/scripts/wine-run.sh" "$bench" "$factor" >"$out/stdout" 2>"$out/stderr"
  local scans instructions
  scans=$(sed -n 's/^all operations: \([0-9]*\) scans.*/\1/p' "$out/stdout")
  # The bench's own process is the one whose command names it; the largest
  # such count (Wine's loader stages count little).
  instructions=$(for f in "$out"/cg.*; do
    if grep -q "^cmd:.*arm_scans_bench" "$f"; then sed -n 's/^summary: //p' "$f"; fi
  done | sort -n | tail -1)
  [ -n "$scans" ] && [ -n "$instructions" ] || {
    echo "callgrind-scans: the run with factor $factor gave no figures" >&2
    exit 1
  }
  echo "$instructions $scans"
}

read -r i1 s1 < <(run 1)
read -r i3 s3 < <(run 3)
echo "arm_scans_bench ($arch) under callgrind: factor 1: $i1 instructions, $s1 scans;" \
  "factor 3: $i3 instructions, $s3 scans"
awk -v i1="$i1" -v i3="$i3" -v s1="$s1" -v s3="$s3" \
  'BEGIN { printf "instructions per 35-bit scan: %.0f\n", (i3 - i1) / (s3 - s1) }'
