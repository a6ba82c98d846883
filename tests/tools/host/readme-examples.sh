#!/usr/bin/env bash
# readme-examples.sh <wine-run.sh> <orvandel.exe> <README.md> <work dir> [stellaris-sim]
# Every `bash scripts/run.sh ...` line that README.md prints runs as printed
# through the built orvandel.exe (run.sh hands its arguments to orvandel
# unchanged and runs "devices" when it has none), in a work folder that
# holds the image.hex the flash example names. Each must exit 0 and show
# what its verb promises. An example whose verb has no expectation here
# fails, so a new example is never passed over. Examples that name a
# remote_bitbang server on 127.0.0.1 share one native stellaris-sim, started
# here on a free port that takes the place of the README's. Output lines the
# README shows after "... prints:" must appear in the output of the example
# before them. Output goes through files, not pipes: Wine's background
# processes can inherit a pipe and hold it open.
set -u
# The examples run inside the work folder: the paths must not be relative.
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
winerun=$(absolute "$1") orvandel=$(absolute "$2") readme=$3 work=$4 sim=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
failed=0
. "$here/cli-run.sh"

# What an example's output must show: <verb> <part> [arguments]. Lines end
# in CR LF under Wine, so no pattern is anchored at the line's end.
expectation() {
  local verb=$1 part=${2:-}
  case $verb in
    devices) echo "^[0-9]+ device kinds" ;;
    help) echo "^usage: orvandel" ;;
    info) echo "^Device name +$part" ;;
    identify) echo "^$part[^:]*: IDCODE (0x[0-9A-F]{8}) \(expected \1\) match" ;;
    regs)
      # The first register the example writes, listed with its new value.
      local assignment=${3:-} name value
      name=${assignment%%=*} value=${assignment#*=}
      [ -n "$assignment" ] || { echo "^R0 +0x"; return; }
      # A register is listed by its names joined with "/" (R15/PC).
      printf '^([^ ]*/)?%s[^ ]* +0x%08X\n' "${name^^}" "$value"
      ;;
    mem) [ "${3:-}" = write ] && echo "^wrote [0-9]+ bytes at" || echo "^read [0-9]+ bytes at" ;;
    # The instruction the core stopped at, disassembled.
    step) echo "^instruction at 0x[0-9A-F]{8}: 0x[0-9A-F]{4,8}  [a-z]" ;;
    flash) echo "^flash programmed and verified" ;;
    bsdl) echo "^TAP pins: +TDI [^ ]+ +TDO" ;;
    *) return 1 ;;
  esac
}

# Sixteen bytes at address 0, then the end record.
printf ':10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n' >"$work/image.hex"

mapfile -t examples < <(sed -n 's/^    bash scripts\/run\.sh\b//p' "$readme" |
  sed 's/#.*$//; s/^[[:space:]]*//; s/[[:space:]]*$//')
if [ ${#examples[@]} -eq 0 ]; then
  echo "readme-examples: $readme prints no \`bash scripts/run.sh\` example"
  exit 1
fi

# Output the README shows: "<example number> <line>" for each indented line
# after a paragraph ending in "prints:", belonging to the example before it.
mapfile -t shown < <(awk '
  /^    bash scripts\/run\.sh/ { n++; next }
  /prints:$/ { showing = 1; next }
  showing && /^    / { sub(/^    /, ""); print n " " $0; next }
  showing && NF { showing = 0 }' "$readme")

if printf '%s\n' "${examples[@]}" | grep -q "remote_bitbang:127\.0\.0\.1:"; then
  [ -x "$sim" ] || { echo "readme-examples: an example needs stellaris-sim, \"$sim\" is none"; exit 1; }
  . "$here/../sim/start-sim.sh"
  # Wine starts are slow under emulation: the server outlives the default limit.
  start_sim readme-examples "$sim" "$work/sim.out" "$work/sim.err" --exit-after 1500
fi

cd "$work" || exit 1
n=0
for line in "${examples[@]}"; do
  n=$((n + 1))
  line=$(sed "s/remote_bitbang:127\.0\.0\.1:[0-9]*/remote_bitbang:127.0.0.1:${port:-0}/g" <<<"$line")
  read -r -a args <<<"$line"
  [ ${#args[@]} -gt 0 ] || args=(devices)
  echo "-- example $n: bash scripts/run.sh $line"
  if ! pattern=$(expectation "${args[@]}"); then
    echo "example $n: no expectation for the verb \"${args[0]}\"; add one to $0"
    failed=1
    continue
  fi
  run "example-$n" zero "$pattern" "${args[@]}"
  if grep -q "^orvandel: " "$work/example-$n.txt"; then
    echo "example $n: orvandel reported a problem"
    failed=1
  fi
  for entry in "${shown[@]}"; do
    [ "${entry%% *}" = "$n" ] || continue
    if ! tr -d '\r' <"$work/example-$n.txt" | grep -qxF -- "${entry#* }"; then
      echo "example $n: the README shows \"${entry#* }\", the output has no such line"
      failed=1
    fi
  done
done
echo "$n README examples run"
exit $failed
