#!/usr/bin/env bash
# Configures and builds the Windows tree (and, through it, the native tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANDEL_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw32.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)"
