#!/usr/bin/env bash
# Builds everything and runs every test; ends with ctest's summary line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANDEL_BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
. "$root/scripts/env.sh" "$build"
trap orvandel_env_stop EXIT
orvandel_env_start
orvandel_env_probe "$build/bin/probe.exe"
cd "$build"
ctest -j"$(nproc)" --output-on-failure "$@"
