# Shared by the measuring scripts: simulated radios in the background and a
# project file of a group like the one they play. Source it after setting
# cli (the tessel-cli program). It makes work, a scratch folder that is also
# the home of every program the script starts (so no one's settings are read
# or written), and sets the exit trap that stops what it started and removes
# the scratch folder.
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
work=$(mktemp -d)
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_CONFIG_HOME"
sim=
extra_pids=
cleanup() {
  for p in $extra_pids $sim; do kill -TERM "$p" 2>/dev/null && wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# start_sim ARGS...: "tessel-cli sim ARGS" in the background; sets sim (its
# pid) and device (its pseudo-terminal). Its stderr goes to $work/trace.
start_sim() {
  # Gone before the simulator starts, so a device line is never last run's.
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

# write_group RADIOS: a project section per radio of the simulator's group on
# stdout (radio 1 the master, the others slaves, models E and 2 by turns).
write_group() {
  printf '[Project]\nGroup ID=1\n'
  for id in $(seq 1 "$1"); do
    mode=Slave; [ "$id" -eq 1 ] && mode=Master
    model="Vireo Version 2"; [ $(((id - 1) % 2)) -eq 0 ] && model="Vireo E"
    printf '[Radio%d]\nRadio ID=%d\nRadio Name=Radio %03d\nRadio Mode=%s\nRadio Model=%s\n' \
      "$id" "$id" "$id" "$mode" "$model"
  done
}
