#!/usr/bin/env bash
# The main job: build the plug-in and drive it through the command-line host.
# With no arguments it lists the device kinds; any arguments go to `orvandel`.
# It builds and runs the Windows tree that starts at native speed here: i686
# (the product itself) where this machine runs 32-bit programs natively,
# otherwise x86_64. ORVANDEL_ARCH=i686|x86_64 chooses.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANDEL_BUILD_DIR:-$root/build}
. "$root/scripts/wine-loader.sh"
arch=${ORVANDEL_ARCH:-}
if [ -z "$arch" ]; then
  if orvandel_runs_32bit_natively; then
    arch=i686 why="this machine runs 32-bit programs natively"
  else
    arch=x86_64 why="32-bit programs run only under emulation here"
  fi
else
  why="ORVANDEL_ARCH"
fi
case $arch in
  i686 | x86_64) ;;
  *) echo "run: ORVANDEL_ARCH must be i686 or x86_64, not \"$arch\"" >&2; exit 2 ;;
esac
echo "run: the $arch build ($why)" >&2
bash "$root/scripts/build.sh" "$arch" >&2
. "$root/scripts/env.sh" "$build"
trap orvandel_env_stop EXIT
orvandel_env_start
orvandel_env_probe "$build/$arch/bin/probe.exe"
[ $# -gt 0 ] || set -- devices
orvandel=$build/$arch/bin/orvandel.exe
"$(orvandel_wine_loader "$orvandel")" "$orvandel" "$@"
