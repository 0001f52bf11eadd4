#!/usr/bin/env bash
# Starts the simulated monitor on a pseudo-terminal, then monitorcfg with the
# simulator's device path chosen, so the tool can be tried without hardware.
# Usage: scripts/monitor-demo.sh [builddir] [monitor-sim options, e.g. --silent]
set -euo pipefail
build=${1:-build}
shift || true
sim_bin="$build/tools/monitor-sim/monitor-sim"
tool_bin="$build/monitorcfg/monitorcfg"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "monitor-demo: no display found (DISPLAY is not set); try: xvfb-run -a make monitor-demo"
  exit 1
fi
for f in "$sim_bin" "$tool_bin"; do
  if [ ! -x "$f" ]; then
    echo "monitor-demo: $f is missing; build first (make build)" >&2
    exit 1
  fi
done

workdir=$(mktemp -d /tmp/monitor-demo.XXXXXX)
control="$workdir/control"
mkfifo "$control"
# The simulator reads behaviour changes from the fifo (held open below) and
# prints its device path on the first line of its output.
"$sim_bin" "$@" <"$control" >"$workdir/path" 2>"$workdir/sim.log" &
sim_pid=$!
tool_pid=
exec 3>"$control"
cleanup() {
  exec 3>&- || true
  for pid in $tool_pid $sim_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

for _ in $(seq 1 50); do
  [ -s "$workdir/path" ] && break
  sleep 0.1
done
port=$(head -n 1 "$workdir/path" 2>/dev/null || true)
if [ -z "$port" ]; then
  echo "monitor-demo: the simulator did not start:" >&2
  cat "$workdir/sim.log" >&2
  exit 1
fi

echo "monitor-demo: simulated monitor on $port (its log: $workdir/sim.log)"
echo "monitor-demo: to change how it answers, run in another shell:"
echo "  echo silent > $control     (also: normal, garbage, short N, close, status)"
MONITORCFG_PORT="$port" "$tool_bin" &
tool_pid=$!
status=0
wait "$tool_pid" || status=$?
tool_pid=
exit "$status"
