#!/usr/bin/env bash
# Soak: "tessel-cli monitor" polls 254 simulated radios at a short interval
# for a given time; memory, descriptors and threads of both processes and the
# project file's size are printed a few seconds after the start, every
# minute, and at the end. Nothing of it should grow.
#   bench/soak.sh [SECONDS] [BUILD_DIR] [INTERVAL]
set -euo pipefail
seconds=${1:-600}
build=${2:-build}
interval=${3:-0.05}
cli="$build/tessel-cli"
# shellcheck source=../cli/tools/sim-lib.sh
. "$(dirname "$0")/../cli/tools/sim-lib.sh"

# The group as the simulator sets it up: radio 1 the master, 2 to 254 slaves.
project="$work/soak.vro"
write_group 254 >"$project"
start_sim --radios 254

"$cli" monitor "$project" "$device" --interval "$interval" --timeout "$seconds" \
  >"$work/monitor.csv" 2>"$work/monitor.err" &
mon=$!
extra_pids=$mon

sample() {
  local label=$1 p name rss fds threads
  for p in $mon $sim; do
    [ -d /proc/$p ] || continue
    name=monitor; [ "$p" = "$sim" ] && name=sim
    rss=$(awk '/^VmRSS/ {print $2}' /proc/$p/status)
    threads=$(awk '/^Threads/ {print $2}' /proc/$p/status)
    fds=$(ls /proc/$p/fd | wc -l)
    printf '%-6s %-8s rss %6d kB  fds %3d  threads %2d' "$label" "$name" "$rss" "$fds" "$threads"
    [ "$name" = monitor ] && printf '  project %d bytes  csv lines %d' \
      "$(stat -c %s "$project")" "$(wc -l <"$work/monitor.csv")"
    printf '\n'
  done
}

start=$SECONDS
sleep 5
sample start
while kill -0 "$mon" 2>/dev/null && [ $((SECONDS - start)) -lt $((seconds - 5)) ]; do
  sleep $(( seconds - 5 - (SECONDS - start) < 60 ? seconds - 5 - (SECONDS - start) : 60 ))
  kill -0 "$mon" 2>/dev/null && sample "$((SECONDS - start))s"
done
status=0
wait "$mon" || status=$?
mon= extra_pids=
echo "monitor exit status $status; $(wc -l <"$work/monitor.csv") CSV lines;" \
  "$(cut -d, -f2 "$work/monitor.csv" | sort -u | wc -l) radios answered"
[ -s "$work/monitor.err" ] && { echo "monitor's stderr:"; tail -5 "$work/monitor.err"; }
exit "$status"
