# Sourced by the OpenOCD checks: starts stellaris-sim on a free loopback port
# (bounded in time; stopped when the script exits) and sets $simpid and $port.
# Usage: start_sim <check name> <stellaris-sim> <stdout file> <stderr file> [server options]
start_sim() {
  local name=$1 sim=$2 out=$3 err=$4
  shift 4
  "$sim" --port 0 --exit-after 120 "$@" >"$out" 2>"$err" &
  simpid=$!
  trap 'kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null' EXIT
  port=""
  for _ in $(seq 1 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out")
    [ -n "$port" ] && break
    kill -0 "$simpid" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$port" ]; then
    echo "$name: stellaris-sim did not start"
    cat "$err"
    exit 1
  fi
}
