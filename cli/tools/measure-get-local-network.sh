#!/usr/bin/env bash
# Times "tessel-cli get-local" of a model-0 radio twice per run against
# simulated radios that pace their line at BAUD: on the pseudo-terminal
# itself, and through ser2net's RFC 2217 accepter (rfc2217://127.0.0.1:PORT)
# serving that pseudo-terminal. Each read is compared with the wire time of
# the bytes exchanged, as measure-get-local.sh does, and the medians of both
# are printed.
#   cli/tools/measure-get-local-network.sh [BUILD_DIR] [BAUD] [RUNS]
# SER2NET_OPTIONS adds lines to the connection's YAML (e.g. its options).
set -euo pipefail
build=${1:-build}
baud=${2:-19200}
runs=${3:-5}
cli="$build/tessel-cli"
command -v ser2net >/dev/null || { echo "ser2net is not installed" >&2; exit 1; }
here=$(dirname "$0")
# shellcheck source=sim-lib.sh
. "$here/sim-lib.sh"

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# measure NAME DEVICE: one read, its result line appended to $work/NAME.
measure() {
  local name=$1 dev=$2
  if ! "$cli" get-local "$dev" --timeout 60 >"$work/get.out" 2>"$work/get.err"; then
    echo "$name: get-local failed:"; cat "$work/get.err"
    return 0
  fi
  PYTHONPATH="$here" python3 - "$work/trace" "$baud" <<'PY' | sed "s/^/$name /" | tee -a "$work/$name" || true
import sys
from wire_time import get_local_span, read_trace, report
rows = read_trace(sys.argv[1])
span = get_local_span(rows)
if span is None:
    sys.exit("no first OK or no ATH in the trace")
print(report(rows, span[0], span[1], int(sys.argv[2])))
PY
}

for run in $(seq "$runs"); do
  echo "run $run"
  start_sim --radios 2 --models 0 --pace --baud "$baud" --command-mode --trace
  measure local "$device"
  stop_sim

  start_sim --radios 2 --models 0 --pace --baud "$baud" --command-mode --trace
  port=$(free_port)
  cat >"$work/ser2net.yaml" <<YAML
connection: &radio
  accepter: telnet(rfc2217),tcp,127.0.0.1,$port
  connector: serialdev,$device,${baud}n81,local
${SER2NET_OPTIONS:-}
YAML
  ser2net -c "$work/ser2net.yaml" -n -d -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
  server=$!
  extra_pids="$server"
  for _ in $(seq 100); do
    python3 -c 'import sys; p = "%04X" % int(sys.argv[1]); sys.exit(0 if any(
        l.split()[1].endswith(":" + p) and l.split()[3] == "0A" for l in open("/proc/net/tcp").readlines()[1:]) else 1)' \
      "$port" && break
    sleep 0.05
  done
  measure rfc2217 "rfc2217://127.0.0.1:$port"
  kill -TERM "$server"; wait "$server" 2>/dev/null || true
  extra_pids=
  stop_sim
done

for name in local rfc2217; do
  if [ -s "$work/$name" ]; then
    sed "s/^$name //" "$work/$name" >"$work/$name.rows"
    echo "$name: $(PYTHONPATH="$here" python3 -c 'import sys; from wire_time import medians; print(medians(sys.argv[1]))' "$work/$name.rows")"
  else
    echo "$name: no run completed" >&2
  fi
done
