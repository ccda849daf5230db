#!/usr/bin/env bash
# One monitor round over simulated radios that pace their line at BAUD: the
# time from the first radio polled to the last, over RADIOS radios, at a
# poll interval or as fast as the replies come.
#   bench/monitor_cycle.sh [RADIOS] [INTERVAL|fast] [BAUD] [BUILD_DIR]
# CYCLES=1 in the environment stops after one round (a long one at 1.0 s)
# and takes the round from its polls' span.
set -euo pipefail
radios=${1:-254}
interval=${2:-1.0}
baud=${3:-19200}
build=${4:-build}
cli="$build/tessel-cli"
# shellcheck source=../cli/tools/sim-lib.sh
. "$(dirname "$0")/../cli/tools/sim-lib.sh"

write_group "$radios" >"$work/group.vro"
start_sim --radios "$radios" --pace --baud "$baud"
pace=(--interval "$interval")
[ "$interval" = fast ] && pace=(--fast)
"$cli" monitor "$work/group.vro" "$device" "${pace[@]}" --baud "$baud" --cycles "${CYCLES:-2}" \
  >"$work/monitor.csv" 2>"$work/monitor.err" || { cat "$work/monitor.err" >&2; exit 1; }
# A round is the span between two polls of the same radio, n polls apart;
# the connect and the first dial are outside it. From one round only, it is
# the span of its polls, n - 1 radios apart, scaled to n.
python3 - "$work/monitor.csv" "$radios" "$interval" <<'PY'
import csv, datetime, sys
rows = [r for r in csv.reader(open(sys.argv[1])) if r and r[0] != "time"]
n = int(sys.argv[2])
t = lambda r: datetime.datetime.fromisoformat(r[0])
if len(rows) > n:
    took = (t(rows[-1]) - t(rows[-1 - n])).total_seconds()
elif len(rows) > 1:
    took = (t(rows[-1]) - t(rows[0])).total_seconds() * n / (len(rows) - 1)
else:
    sys.exit(f"{len(rows)} polls: too few for a round")
print(f"{n} radios at {sys.argv[3]}: a round takes {took:.0f} s ({took / n:.2f} s a radio,"
      f" {len(rows)} polls)")
PY
