#!/usr/bin/env bash
# Times "tessel-cli get-local" of a model-0 radio against simulated radios
# that pace their line at BAUD (10 bits per byte, both directions), from the
# radio's first "OK" to the end of the read ("ATH" received), and compares it
# with the wire time of the bytes exchanged in that span.
#   cli/tools/measure-get-local.sh [BUILD_DIR] [BAUD] [RUNS]
set -euo pipefail
build=${1:-build}
baud=${2:-19200}
runs=${3:-5}
cli="$build/tessel-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/.config"

for run in $(seq "$runs"); do
  # Gone before the simulator starts, so a device line is never last run's.
  rm -f "$work/sim.out"
  "$cli" sim --radios 2 --models 0 --pace --baud "$baud" --command-mode --trace \
    >"$work/sim.out" 2>"$work/trace" &
  sim=$!
  for _ in $(seq 100); do
    grep -q '^device: ' "$work/sim.out" 2>/dev/null && break
    sleep 0.05
  done
  device=$(sed -n 's/^device: //p' "$work/sim.out")
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    "$cli" get-local "$device" --timeout 60 >"$work/get.out" 2>"$work/get.err" \
    || { echo "get-local failed:"; cat "$work/get.err"; }
  kill -TERM "$sim"
  wait "$sim" || true
  python3 - "$work/trace" "$baud" <<'PY'
import sys
trace, baud = sys.argv[1], int(sys.argv[2])
rows = []
for line in open(trace):
    t, d, n, *rest = line.rstrip("\n").split(" ", 3)
    text = rest[0] if rest else ""
    rows.append((float(t), d, int(n), text.replace("\\r", "\r").replace("\\n", "\n")))
tx = rx = ""
t0 = t1 = None
for t, d, n, text in rows:
    if d == "<":
        tx += text
        if t0 is None and "OK\r\n" in tx:
            t0 = t
    else:
        rx += text
        if t0 is not None and t1 is None and "ATH\r" in rx:
            t1 = t
span = [(t, d, n) for t, d, n, _ in rows if t0 < t <= t1]
sent = sum(n for t, d, n in span if d == "<")
received = sum(n for t, d, n in span if d == ">")
wire = (sent + received) * 10.0 / baud
took = t1 - t0
print(f"{took*1000:8.1f} ms  wire {wire*1000:8.1f} ms  ({received} bytes in, {sent} out)  ratio {took/wire:.3f}")
PY
done
