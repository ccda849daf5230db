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
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
work=$(mktemp -d)
here=$(dirname "$0")
# shellcheck source=sim-lib.sh
. "$here/sim-lib.sh"
mkdir -p "$work/home/.config"

for run in $(seq "$runs"); do
  start_sim --radios 2 --models 0 --pace --baud "$baud" --command-mode --trace
  ok=1
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    "$cli" get-local "$device" --timeout 60 >"$work/get.out" 2>"$work/get.err" \
    || { ok=0; echo "run $run: get-local failed:"; cat "$work/get.err"; }
  stop_sim
  [ "$ok" = 1 ] || continue
  PYTHONPATH="$here" python3 - "$work/trace" "$baud" <<'PY' | tee -a "$work/results" || true
import sys
from wire_time import read_trace, report
rows = read_trace(sys.argv[1])
# From the radio's first "OK" to the "ATH" that ends the read: the last one,
# as the connect hangs up a link an earlier run may have left.
tx = rx = ""
t0 = t1 = None
for t, d, n, text in rows:
    if d == "<":
        tx += text
        if t0 is None and "OK\r\n" in tx:
            t0 = t
    else:
        before = rx.count("ATH\r")
        rx += text
        if t0 is not None and rx.count("ATH\r") > before:
            t1 = t
if t0 is None or t1 is None:
    sys.exit("no first OK or no ATH in the trace")
print(report(rows, t0, t1, int(sys.argv[2])))
PY
done

[ -s "$work/results" ] || { echo "no run completed" >&2; exit 1; }
PYTHONPATH="$here" python3 -c 'import sys; from wire_time import medians; print(medians(sys.argv[1]))' \
  "$work/results"
