#!/usr/bin/env bash
# The main job: build the plug-in and drive it through the command-line host.
# With no arguments it lists the device kinds; any arguments go to `orvandel`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANDEL_BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh" >&2
. "$root/scripts/env.sh" "$build"
trap orvandel_env_stop EXIT
orvandel_env_start
orvandel_env_probe "$build/bin/probe.exe"
[ $# -gt 0 ] || set -- devices
wine "$build/bin/orvandel.exe" "$@"
