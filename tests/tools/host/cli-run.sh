# Sourced by the command-line checks that start orvandel several times.
# Needs $winerun, $orvandel and $work; sets failed=1 when a run disappoints.
# Output goes through files, not pipes: Wine's background processes can
# inherit a pipe and hold it open.

# run <name> <exit: zero|nonzero> <pattern> [orvandel args...]
run() {
  local name=$1 want=$2 pattern=$3
  shift 3
  timeout 600 bash "$winerun" "$orvandel" "$@" >"$work/$name.txt" 2>&1 </dev/null
  local rc=$?
  echo "== $name (exit $rc)"
  cat "$work/$name.txt"
  if [ "$want" = zero ] && [ $rc -ne 0 ]; then echo "$name: expected exit 0"; failed=1; fi
  if [ "$want" = nonzero ] && { [ $rc -eq 0 ] || [ $rc -ge 124 ]; }; then
    echo "$name: expected a clean failing exit"
    failed=1
  fi
  if ! grep -qE -- "$pattern" "$work/$name.txt"; then echo "$name: no match for $pattern"; failed=1; fi
}
