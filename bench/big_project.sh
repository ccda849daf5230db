#!/usr/bin/env bash
# Time and peak memory of "tessel-cli monitor" on a large project (five
# simulated radios and about SIZE_MB of other keys), with --timeout 20.
#   bench/big_project.sh [CLI] [SIZE_MB]
set -euo pipefail
cli=${1:-build/tessel-cli}
size_mb=${2:-50}
# shellcheck source=../cli/tools/sim-lib.sh
. "$(dirname "$0")/../cli/tools/sim-lib.sh"

project="$work/big.vro"
{
  write_group 5
  printf '[Notes]\n'
  # Lines of 100 bytes.
  awk -v n=$((size_mb * 1024 * 1024 / 100)) \
    'BEGIN { for (i = 0; i < n; i++) printf "note%08d=%086d\n", i, i }'
} >"$project"
start_sim --radios 5

echo "project: $(stat -c %s "$project") bytes"
status=0
${TESSEL_WRAP:-} /usr/bin/time -f "elapsed %e s, peak memory %M kB" \
  "$cli" monitor "$project" "$device" --interval 0.1 --timeout 20 \
  >"$work/out.csv" 2>"$work/err" || status=$?
tail -1 "$work/err"
echo "monitor exit status $status, $(wc -l <"$work/out.csv") CSV lines"
