# Sourced by the scripts: one Wine prefix and one X display per build folder.
# Usage: . scripts/env.sh <build-dir>; then orvandel_env_start / orvandel_env_stop.
# The prefix is a 64-bit one: it runs the x86_64 programs natively and the
# i686 ones through its 32-bit side.

ORVANDEL_BUILD=${1:?build dir}
mkdir -p "$ORVANDEL_BUILD"
ORVANDEL_BUILD=$(cd "$ORVANDEL_BUILD" && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"
export WINEPREFIX="$ORVANDEL_BUILD/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No desktop menu entries and no crash debugger: nothing for them to do here.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
export OANOCACHE=1
# Text-to-number coercion and message texts must not depend on the machine.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

orvandel_xvfb_pid=""

# A pristine prefix is made once per machine and copied into each build
# folder (copying is quicker than making one, and never races another run).
ORVANDEL_PREFIX_TEMPLATE=${ORVANDEL_PREFIX_TEMPLATE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvandel/wineprefix-win64}

orvandel_make_template() {
  local template=$ORVANDEL_PREFIX_TEMPLATE
  mkdir -p "$(dirname "$template")"
  (
    flock 9
    if [ ! -f "$template/.complete" ]; then
      echo "env: creating the Wine prefix template $template" >&2
      rm -rf "$template"
      # wineboot through the 64-bit loader: /usr/bin/wineboot would start the
      # 32-bit one first.
      WINEPREFIX=$template /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
      WINEPREFIX=$template wineserver -w
      touch "$template/.complete"
    fi
  ) 9>"$template.lock"
}

orvandel_env_start() {
  mkdir -p "$ORVANDEL_BUILD"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    orvandel_make_template
    rm -rf "$WINEPREFIX"
    cp -a "$ORVANDEL_PREFIX_TEMPLATE" "$WINEPREFIX"
  fi
  wineserver -p </dev/null >/dev/null 2>&1
  # Top-level windows unmanaged: Xvfb has no window manager, and Wine waits
  # about a second for one each time a managed window is hidden.
  if [ ! -f "$WINEPREFIX/.unmanaged" ]; then
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      >/dev/null 2>&1 && touch "$WINEPREFIX/.unmanaged"
  fi
  # A free display: the lowest number without a lock file.
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  orvandel_xvfb_pid=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
}

# The first program after a prefix is made or updated can fail to start;
# start a tiny probe until it runs.
orvandel_env_probe() {
  local probe=$1 loader i
  loader=$(orvandel_wine_loader "$probe")
  for i in 1 2 3 4 5 6; do
    if "$loader" "$probe" >/dev/null 2>&1 </dev/null; then return 0; fi
    sleep 1
  done
  echo "env: Wine could not start $probe" >&2
  return 1
}

orvandel_env_stop() {
  wineserver -k 2>/dev/null || true
  if [ -n "$orvandel_xvfb_pid" ]; then kill "$orvandel_xvfb_pid" 2>/dev/null || true; fi
}
