#!/usr/bin/env bash
# Times "tessel-cli set" of a model-0 radio to the local radio against
# simulated radios that pace their line at BAUD (10 bits per byte, both
# directions), from the first configuration line written to the last "OK",
# and compares it with the wire time of the bytes exchanged in that span.
#   cli/tools/measure-set.sh [BUILD_DIR] [BAUD] [RUNS]
# "wire" is every byte of the span one after the other; "busy" the time at
# least one direction carried a byte (see measure-get-local.sh).
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

start_sim() {
  rm -f "$work/sim.out"
  "$cli" sim "$@" >"$work/sim.out" 2>"$work/trace" &
  sim=$!
  for _ in $(seq 100); do
    grep -q '^device: ' "$work/sim.out" 2>/dev/null && break
    sleep 0.05
  done
  device=$(sed -n 's/^device: //p' "$work/sim.out")
  [ -n "$device" ] || { echo "the simulator did not start:" >&2; cat "$work/trace" >&2; exit 1; }
}
stop_sim() {
  kill -TERM "$sim"
  wait "$sim" || true
  sim=
}

# A project of two model-0 radios, as the simulator holds them.
start_sim --radios 2 --models 0 --project "$work/group.vro"
stop_sim

for run in $(seq "$runs"); do
  start_sim --project "$work/group.vro" --pace --baud "$baud" --command-mode --trace
  ok=1
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    "$cli" set "$work/group.vro" 1 "$device" --baud "$baud" --timeout 60 \
    >"$work/set.out" 2>"$work/set.err" \
    || { ok=0; echo "run $run: set failed:"; cat "$work/set.err" "$work/set.out"; }
  stop_sim
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
# The span opens when the first byte of the first assignment line arrives
# and closes with the last "OK" the radio gives.
# The simulator may trace byte by byte: find the texts in the joined
# streams and map them back to their records.
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
