#!/usr/bin/env bash
# The pace of sending, against simulated radios that pace their line at BAUD
# (10 bits per byte, both directions), next to the wire time of the bytes
# exchanged (see wire_time.py):
#  1. "tessel-cli set --remote": once a line per tick (the default pacing,
#     BEFORE=0 leaves it out), then RUNS times --fast; the span runs from the
#     first byte of the dial to the last byte of "AT&R", median of the runs.
#  2. "tessel-cli group-set --fast" of each of GROUPS radios (default
#     "20 254"), radio 2 a repeater the upper half is heard through: the
#     command's whole time (start to exit) and the traffic's span, each to
#     the wire time of every byte exchanged. With BEFORE=1 (the default) a
#     group-set of 5 radios without --fast is timed first.
#   cli/tools/measure-pacing.sh [BUILD_DIR] [BAUD] [RUNS]
set -euo pipefail
build=${1:-build}
baud=${2:-19200}
runs=${3:-5}
groups=${GROUPS_TO_CHANGE:-20 254}
before=${BEFORE:-1}
cli="$build/tessel-cli"
here=$(dirname "$0")
# shellcheck source=sim-lib.sh
. "$here/sim-lib.sh"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

# The span of a remote send in the trace: the dial's first byte to the
# reset's last.
set_span() {
  PYTHONPATH="$here" python3 - "$work/trace" "$baud" <<'PY'
import sys
from wire_time import read_trace, report
rows = read_trace(sys.argv[1])
per = 10.0 / int(sys.argv[2])
rx, at = "", []
for t, d, n, text in rows:
    if d == ">":
        rx += text
        at += [(t, n)] * len(text)
first, last = rx.find("ATD2\r"), rx.rfind("AT&R\r")
if first < 0 or last < 0:
    sys.exit("no dial or no reset in the trace")
t, n = at[first]
print(report(rows, t - n * per - 1e-9, at[last + 4][0], int(sys.argv[2])))
PY
}

# A project of two model-0 radios, as the simulator holds them.
start_sim --radios 2 --models 0 --project "$work/set.vro"
stop_sim
run_set() {  # run_set FILE [--fast]
  cp "$work/set.vro" "$work/sim-set.vro"
  start_sim --project "$work/sim-set.vro" --pace --baud "$baud" --command-mode --trace
  local ok=1
  "$cli" set "$work/set.vro" 2 "$device" --remote "${@:2}" --baud "$baud" --timeout 120 \
    >"$work/set.out" 2>"$work/set.err" || { ok=0; cat "$work/set.err" >&2; }
  sleep 0.2  # the reset's bytes reach the simulator
  stop_sim
  [ "$ok" = 1 ] && set_span | tee -a "$1"
}
if [ "$before" = 1 ]; then
  echo "set --remote, a line per tick:"
  run_set "$work/set-tick"
fi
echo "set --remote --fast, $runs runs:"
for _ in $(seq "$runs"); do run_set "$work/set-fast" --fast || true; done
[ -s "$work/set-fast" ] && PYTHONPATH="$here" python3 -c \
  'import sys; from wire_time import medians; print(medians(sys.argv[1]))' "$work/set-fast"

# group_project N FILE: N radios (models E, 2 and 1 by turns), radio 2 a
# repeater that radios above N/2 are heard through; prints --behind's list.
group_project() {
  rm -f "$2"  # the simulator plays a project that exists instead of writing one
  start_sim --radios "$1" --models 0,2,1 --project "$2"
  stop_sim
  python3 - "$1" "$2" <<'PY'
import re, sys
n, path = int(sys.argv[1]), sys.argv[2]
out, radio, behind = [], None, []
for line in open(path).read().split("\n"):
    m = re.match(r"\[Radio(\d+)\]", line)
    if m:
        radio = int(m.group(1))
    if radio == 2 and line.startswith("Radio Mode="):
        line = "Radio Mode=Repeater"
    if radio and radio > max(2, n // 2) and line.startswith("Master ID="):
        line = "Master ID=2"
        behind.append(f"{radio}:2")
    out.append(line)
open(path, "w").write("\n".join(out))
print(",".join(behind))
PY
}

# group_set N [--fast]: the whole time and the traffic against the wire.
group_set() {
  local n=$1 behind start end status=0
  behind=$(group_project "$n" "$work/group.vro")
  cp "$work/group.vro" "$work/sim-group.vro"
  start_sim --project "$work/sim-group.vro" ${behind:+--behind "$behind"} --pace --baud "$baud" \
    --command-mode --trace
  start=$(date +%s.%N)
  "$cli" group-set "$work/group.vro" "$device" --group-id 9 --yes "${@:2}" --baud "$baud" \
    --timeout 600 >"$work/gs.out" 2>"$work/gs.err" || status=$?
  end=$(date +%s.%N)
  stop_sim
  tail -1 "$work/gs.out"
  if [ "${status:-0}" != 0 ]; then
    echo "group-set exited $status:" >&2
    cat "$work/gs.err" >&2
    return 1
  fi
  PYTHONPATH="$here" python3 - "$work/trace" "$baud" "$start" "$end" <<'PY'
import sys
from wire_time import read_trace, report
rows = read_trace(sys.argv[1])
baud = int(sys.argv[2])
whole = float(sys.argv[4]) - float(sys.argv[3])
wire = sum(n for _, _, n, _ in rows) * 10.0 / baud
t0 = rows[0][0] - rows[0][2] * 10.0 / baud
print(f"whole {whole:.2f} s, wire {wire:.2f} s, ratio {whole / wire:.3f}; traffic span: "
      + report(rows, t0 - 1e-9, rows[-1][0], baud))
PY
}
if [ "$before" = 1 ]; then
  echo "group-set of 5 radios, a line per tick:"
  group_set 5
fi
for n in $groups; do
  echo "group-set --fast of $n radios:"
  group_set "$n" --fast
done
