#!/usr/bin/env bash
# Times "tessel-cli set" of a model-0 radio to the local radio against
# simulated radios that pace their line at BAUD (10 bits per byte, both
# directions), from the first configuration line written to the last "OK",
# and compares it with the wire time of the bytes exchanged in that span.
#   cli/tools/measure-set.sh [BUILD_DIR] [BAUD] [RUNS]
# "wire" is every byte of the span one after the other; "busy" the time at
# least one direction carried a byte (see wire_time.py).
set -euo pipefail
build=${1:-build}
baud=${2:-19200}
runs=${3:-5}
cli="$build/tessel-cli"
here=$(dirname "$0")
# shellcheck source=sim-lib.sh
. "$here/sim-lib.sh"

# A project of two model-0 radios, as the simulator holds them.
start_sim --radios 2 --models 0 --project "$work/group.vro"
stop_sim

for run in $(seq "$runs"); do
  start_sim --project "$work/group.vro" --pace --baud "$baud" --command-mode --trace
  ok=1
  "$cli" set "$work/group.vro" 1 "$device" --baud "$baud" --timeout 60 \
    >"$work/set.out" 2>"$work/set.err" \
    || { ok=0; echo "run $run: set failed:"; cat "$work/set.err" "$work/set.out"; }
  stop_sim
  [ "$ok" = 1 ] || continue
  PYTHONPATH="$here" python3 - "$work/trace" "$baud" <<'PY' | tee -a "$work/results" || true
import sys
from wire_time import read_trace, report
rows = read_trace(sys.argv[1])
per = 10.0 / int(sys.argv[2])
# The span opens when the first byte of the first assignment line arrives
# and closes with the last "OK" the radio gives. The simulator may trace
# byte by byte: find the texts in the joined streams and map them back to
# their records.
t0 = t1 = None
rx, rx_at = "", []
tx, tx_at = "", []
for t, d, n, text in rows:
    if d == ">":
        rx += text
        rx_at += [(t, n)] * len(text)
    else:
        tx += text
        tx_at += [t] * len(text)
first = rx.find("ATs")
if first >= 0:
    t, n = rx_at[first]
    t0 = t - n * per
    end = tx.rfind("OK\r\n")
    if end >= 0 and tx_at[end + 3] > t0:
        t1 = tx_at[end + 3]
if t0 is None or t1 is None:
    sys.exit("no assignment line or no OK in the trace")
print(report(rows, t0, t1, int(sys.argv[2])))
PY
done

[ -s "$work/results" ] || { echo "no run completed" >&2; exit 1; }
PYTHONPATH="$here" python3 -c 'import sys; from wire_time import medians; print(medians(sys.argv[1]))' \
  "$work/results"
