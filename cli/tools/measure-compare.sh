#!/usr/bin/env bash
# Times "tessel-cli compare" of a group of RADIOS simulated radios (models E,
# 2 and 1 by turns, radio 1 the local master) that pace their line at BAUD
# (10 bits per byte, both directions), from the local radio's first "OK" to
# the last byte of the compare, and compares it with the wire time of the
# bytes exchanged in that span.
#   cli/tools/measure-compare.sh [BUILD_DIR] [RADIOS] [BAUD] [RUNS]
# "wire" and "busy": see wire_time.py.
set -euo pipefail
build=${1:-build}
radios=${2:-20}
baud=${3:-19200}
runs=${4:-3}
cli="$build/tessel-cli"
here=$(dirname "$0")
# shellcheck source=sim-lib.sh
. "$here/sim-lib.sh"

# The group's project: the simulator writes the radios it plays.
start_sim --radios "$radios" --models 0,2,1 --project "$work/group.vro"
stop_sim

for run in $(seq "$runs"); do
  start_sim --project "$work/group.vro" --pace --baud "$baud" --command-mode --trace
  ok=1
  status=0
  "$cli" compare "$work/group.vro" "$device" >"$work/compare.out" 2>"$work/compare.err" \
    || status=$?
  if [ "$status" != 0 ]; then
    ok=0
    echo "run $run: compare exited $status:"
    cat "$work/compare.out" "$work/compare.err"
  fi
  stop_sim
  [ "$ok" = 1 ] || continue
  PYTHONPATH="$here" python3 - "$work/trace" "$baud" <<'PY' | tee -a "$work/results" || true
import sys
from wire_time import read_trace, report
rows = read_trace(sys.argv[1])
t0 = next((t for t, d, n, text in rows if d == "<" and "OK" in text), None)
if t0 is None:
    sys.exit("no OK in the trace")
print(report(rows, t0, rows[-1][0], int(sys.argv[2])))
PY
done

[ -s "$work/results" ] || { echo "no run completed" >&2; exit 1; }
PYTHONPATH="$here" python3 -c 'import sys; from wire_time import medians; print(medians(sys.argv[1]))' \
  "$work/results"
