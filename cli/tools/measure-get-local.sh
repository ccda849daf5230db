#!/usr/bin/env bash
# Times "tessel-cli get-local" of a model-0 radio against simulated radios
# that pace their line at BAUD (10 bits per byte, both directions), from the
# radio's first "OK" to the end of the read ("ATH" received), and compares it
# with the wire time of the bytes exchanged in that span.
#   cli/tools/measure-get-local.sh [BUILD_DIR] [BAUD] [RUNS]
# "wire" and "busy": see wire_time.py.
set -euo pipefail
build=${1:-build}
baud=${2:-19200}
runs=${3:-5}
cli="$build/tessel-cli"
here=$(dirname "$0")
# shellcheck source=sim-lib.sh
. "$here/sim-lib.sh"

for run in $(seq "$runs"); do
  start_sim --radios 2 --models 0 --pace --baud "$baud" --command-mode --trace
  ok=1
  "$cli" get-local "$device" --timeout 60 >"$work/get.out" 2>"$work/get.err" \
    || { ok=0; echo "run $run: get-local failed:"; cat "$work/get.err"; }
  stop_sim
  [ "$ok" = 1 ] || continue
  PYTHONPATH="$here" python3 - "$work/trace" "$baud" <<'PY' | tee -a "$work/results" || true
import sys
from wire_time import get_local_span, read_trace, report
rows = read_trace(sys.argv[1])
span = get_local_span(rows)
if span is None:
    sys.exit("no first OK or no ATH in the trace")
print(report(rows, span[0], span[1], int(sys.argv[2])))
PY
done

[ -s "$work/results" ] || { echo "no run completed" >&2; exit 1; }
PYTHONPATH="$here" python3 -c 'import sys; from wire_time import medians; print(medians(sys.argv[1]))' \
  "$work/results"
