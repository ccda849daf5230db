#!/usr/bin/env bash
# Times "tessel-cli get-local" of a model-0 radio against simulated radios
# that pace their line at BAUD (10 bits per byte, both directions), from the
# radio's first "OK" to the end of the read ("ATH" received), and compares it
# with the wire time of the bytes exchanged in that span.
#   cli/tools/measure-get-local.sh [BUILD_DIR] [BAUD] [RUNS]
#
# Two wire times are given. "wire" is every byte of the span one after the
# other. The line is full duplex, though, and the configurator sends its
# next query as soon as a value line has come, while the radio's "OK" is
# still on the way, so the span can be a little shorter than that sum.
# "busy" is the time at least one direction of the line carried a byte; the
# span can never be shorter, so took/busy >= 1 and its excess is the time
# the line stood idle waiting for the program or the simulator.
set -euo pipefail
build=${1:-build}
baud=${2:-19200}
runs=${3:-5}
cli="$build/tessel-cli"
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
work=$(mktemp -d)
sim=
cleanup() {
  [ -n "$sim" ] && kill -TERM "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
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
  [ -n "$device" ] || { echo "the simulator did not start:" >&2; cat "$work/trace" >&2; exit 1; }
  ok=1
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    "$cli" get-local "$device" --timeout 60 >"$work/get.out" 2>"$work/get.err" \
    || { ok=0; echo "run $run: get-local failed:"; cat "$work/get.err"; }
  kill -TERM "$sim"
  wait "$sim" || true
  sim=
  [ "$ok" = 1 ] || continue
  python3 - "$work/trace" "$baud" <<'PY' | tee -a "$work/results" || true
import sys
trace, baud = sys.argv[1], int(sys.argv[2])
per = 10.0 / baud
rows = []
for line in open(trace):
    parts = line.rstrip("\n").split(" ", 3)
    if len(parts) < 3 or parts[1] not in "<>":
        continue  # not a traffic line
    t, d, n = float(parts[0]), parts[1], int(parts[2])
    text = parts[3] if len(parts) > 3 else ""
    rows.append((t, d, n, text.replace("\\r", "\r").replace("\\n", "\n")))
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
if t0 is None or t1 is None:
    sys.exit("no first OK or no ATH in the trace")
# A record's time is when its last byte had passed; its bytes occupied the
# line for n byte times before that.
span = [(t, d, n) for t, d, n, _ in rows if t0 < t <= t1]
sent = sum(n for t, d, n in span if d == "<")
received = sum(n for t, d, n in span if d == ">")
wire = (sent + received) * per
busy, end = 0.0, t0
for a, b in sorted((max(t - n * per, t0), t) for t, d, n in span):
    if b > end:
        busy += b - max(a, end)
        end = b
took = t1 - t0
print(f"{took*1000:8.1f} ms  wire {wire*1000:8.1f} ms  ratio {took/wire:.3f}"
      f"  busy {busy*1000:8.1f} ms  ratio {took/busy:.3f}  ({received} bytes in, {sent} out)")
PY
done

[ -s "$work/results" ] || { echo "no run completed" >&2; exit 1; }
python3 - "$work/results" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
med = lambda i: statistics.median(float(r[i]) for r in rows)
print(f"median of {len(rows)}: {med(0):.1f} ms, wire {med(3):.1f} ms, ratio {med(6):.3f}; "
      f"busy {med(8):.1f} ms, ratio {med(11):.3f}")
PY
