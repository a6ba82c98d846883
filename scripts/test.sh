#!/usr/bin/env bash
# Builds every tree and runs every suite in one ctest run (see build.sh for
# which); ends with ctest's summary line. Arguments go to ctest. The resource
# file gives the shared Wine desktop its slots (cmake/orvandel.cmake).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANDEL_BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
. "$root/scripts/env.sh" "$build"
trap orvandel_env_stop EXIT
orvandel_env_start
orvandel_env_probe "$build/x86_64/bin/probe.exe"
cd "$build"
ctest -j"$(nproc)" --output-on-failure --resource-spec-file "$root/cmake/ctest-resources.json" "$@"
