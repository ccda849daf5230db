#!/usr/bin/env bash
# Time and peak memory of "tessel-cli monitor" on a large project (five
# simulated radios and about SIZE_MB of other keys), with --timeout 20.
#   bench/big_project.sh [CLI] [SIZE_MB]
set -euo pipefail
cli=${1:-build/tessel-cli}
size_mb=${2:-50}
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
work=$(mktemp -d)
sim=
cleanup() {
  [ -n "$sim" ] && kill -TERM "$sim" 2>/dev/null && wait "$sim" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home"
mkdir -p "$HOME/.config"

project="$work/big.vro"
{
  printf '[Project]\nGroup ID=1\n'
  for id in 1 2 3 4 5; do
    mode=Slave; [ "$id" -eq 1 ] && mode=Master
    model="Vireo Version 2"; [ $((id % 2)) -eq 1 ] && model="Vireo E"
    printf '[Radio%d]\nRadio ID=%d\nRadio Name=Radio %03d\nRadio Mode=%s\nRadio Model=%s\n' \
      "$id" "$id" "$id" "$mode" "$model"
  done
  printf '[Notes]\n'
  # Lines of 100 bytes.
  awk -v n=$((size_mb * 1024 * 1024 / 100)) \
    'BEGIN { for (i = 0; i < n; i++) printf "note%08d=%086d\n", i, i }'
} >"$project"

"$cli" sim --radios 5 >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
for _ in $(seq 100); do
  grep -q '^device: ' "$work/sim.out" 2>/dev/null && break
  sleep 0.05
done
device=$(sed -n 's/^device: //p' "$work/sim.out")
[ -n "$device" ] || { echo "the simulator did not start" >&2; exit 1; }

echo "project: $(stat -c %s "$project") bytes"
status=0
${TESSEL_WRAP:-} /usr/bin/time -f "elapsed %e s, peak memory %M kB" \
  "$cli" monitor "$project" "$device" --interval 0.1 --timeout 20 \
  >"$work/out.csv" 2>"$work/err" || status=$?
tail -1 "$work/err"
echo "monitor exit status $status, $(wc -l <"$work/out.csv") CSV lines"
