#!/usr/bin/env bash
# Configures and builds the trees of one build folder:
#   native   the Linux tree: the simulated chip's server and the native tests
#   i686     32-bit Windows: the product, Orvandel.TRV, with every program
#   x86_64   64-bit Windows: the same source, run at native speed by wine64
# Usage: scripts/build.sh [TREE...]   (default: all three)
# The trees build side by side, each logging to <build>/<tree>.log; a failing
# tree's log is shown. The folder's CTestTestfile.cmake runs the suites of
# the trees built so far: the native and x86_64 ones whole, the i686 one
# whole where this machine runs 32-bit programs natively, otherwise its
# product check set (ORVANDEL_I686_TESTS=all|product chooses).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANDEL_BUILD_DIR:-$root/build}
. "$root/scripts/wine-loader.sh"
bash "$root/scripts/setup.sh"
[ $# -gt 0 ] || set -- native i686 x86_64
mkdir -p "$build"

if [ -z "${ORVANDEL_I686_TESTS:-}" ]; then
  if orvandel_runs_32bit_natively; then ORVANDEL_I686_TESTS=all; else ORVANDEL_I686_TESTS=product; fi
fi

configure() {
  local tree=$1
  case $tree in
    native) cmake -S "$root" -B "$build/native" ;;
    i686 | x86_64)
      local tests=all
      [ "$tree" = i686 ] && tests=$ORVANDEL_I686_TESTS
      cmake -S "$root" -B "$build/$tree" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$tree.cmake" \
        -DORVANDEL_NATIVE_DIR="$build/native" -DORVANDEL_TEST_SET="$tests"
      ;;
    *) echo "build: unknown tree \"$tree\" (native, i686 or x86_64)" >&2; return 2 ;;
  esac
}

pids=()
for tree in "$@"; do
  (configure "$tree" && cmake --build "$build/$tree" -j"${ORVANDEL_JOBS:-$(nproc)}") >"$build/$tree.log" 2>&1 &
  pids+=($!)
done
failed=0
i=0
for tree in "$@"; do
  if wait "${pids[$i]}"; then
    echo "build: $tree built" >&2
  else
    echo "build: $tree failed; the end of $build/$tree.log:" >&2
    grep -E 'error|Error' "$build/$tree.log" | head -40 >&2 || true
    tail -40 "$build/$tree.log" >&2
    failed=1
  fi
  i=$((i + 1))
done
[ $failed -eq 0 ] || exit 1

# One ctest run over every tree built in this folder.
{
  echo "# Written by scripts/build.sh: the suites of the trees in this folder."
  for tree in native x86_64 i686; do
    if [ -f "$build/$tree/CTestTestfile.cmake" ]; then echo "subdirs(\"$tree\")"; fi
  done
} >"$build/CTestTestfile.cmake"
