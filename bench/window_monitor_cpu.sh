#!/usr/bin/env bash
# CPU of the window monitoring five simulated radios "As Fast as Replies"
# against the headless monitor at the same pace, each over SECONDS, RUNS
# times; the radios (another process) answer as fast as they can, as in the
# demo. Prints each run and the medians: percent of one core and CPU ms
# per radio polled. PACE=1 in the environment has the radios pace their
# line at the port's speed, as real ones do.
#   bench/window_monitor_cpu.sh [SECONDS] [RUNS] [BUILD_DIR]
set -euo pipefail
seconds=${1:-30}
runs=${2:-3}
build=${3:-build}
cli="$build/tessel-cli"
# shellcheck source=../cli/tools/sim-lib.sh
. "$(dirname "$0")/../cli/tools/sim-lib.sh"

ticks=$(getconf CLK_TCK)
# CPU seconds of process $1 (user + system) from /proc.
cpu_of() { awk -v t="$ticks" '{ sub(/.*\) /, ""); print ($12 + $13) / t }' "/proc/$1/stat"; }

: >"$work/window" ; : >"$work/cli"
for run in $(seq "$runs"); do
  "$cli" sim --radios 5 --models 0,1,2,0,1 --project "$work/group.vro" >"$work/sim0.out" 2>&1 &
  first=$!
  for _ in $(seq 50); do grep -qs '^device:' "$work/sim0.out" && break; sleep 0.1; done
  kill -INT "$first"; wait "$first" || true

  start_sim --project "$work/group.vro" ${PACE:+--pace}
  xvfb-run -a -s "-screen 0 1600x1000x24" "$build/bench/window_monitor_cpu" "$device" \
    "$work/group.vro" "$seconds" | tee -a "$work/window"

  # The headless monitor at the same pace: its polls counted from its CSV.
  cp "$work/group.vro" "$work/watched.vro"
  "$cli" monitor "$work/watched.vro" "$device" --fast >"$work/mon.csv" 2>"$work/mon.err" &
  mon=$!
  extra_pids="$mon"
  sleep 3
  c0=$(cpu_of "$mon"); n0=$(wc -l <"$work/mon.csv")
  sleep "$seconds"
  c1=$(cpu_of "$mon"); n1=$(wc -l <"$work/mon.csv")
  kill -INT "$mon"; wait "$mon" || true
  extra_pids=
  stop_sim
  python3 -c 'import sys; c=float(sys.argv[2])-float(sys.argv[1]); n=int(sys.argv[4])-int(sys.argv[3]); s=float(sys.argv[5]); print(f"cli cpu {c*100/s:.1f} % polls {n} ms/poll {c*1000/max(n,1):.2f}")' \
    "$c0" "$c1" "$n0" "$n1" "$seconds" | tee -a "$work/cli"
done
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
echo "window: median $(awk '{print $2}' "$work/window" | median) % of a core," \
  "$(awk '{print $7}' "$work/window" | median) ms CPU a poll"
echo "tessel-cli monitor --fast: median $(awk '{print $3}' "$work/cli" | median) % of a core," \
  "$(awk '{print $8}' "$work/cli" | median) ms CPU a poll"
