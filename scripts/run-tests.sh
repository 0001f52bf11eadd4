#!/usr/bin/env bash
# Runs the whole CTest suite headless inside a private network namespace that
# has only loopback (multicast routed to lo), so no test traffic leaves the box.
set -uo pipefail
build=${1:-build}
shift || true
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/wirelab-xdg.XXXXXX)}
chmod 0700 "$XDG_RUNTIME_DIR"
jobs=$(nproc)

netns_setup='ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo'
inner="$netns_setup && cd '$build' && ctest --output-on-failure --timeout 600 -j $jobs $*"

if [ "${WIRELAB_IN_NETNS:-}" = 1 ]; then
  cd "$build" && exec ctest --output-on-failure --timeout 600 -j "$jobs" "$@"
fi

if unshare -n true 2>/dev/null; then
  exec env WIRELAB_IN_NETNS=1 unshare -n sh -c "$inner"
elif unshare -rn true 2>/dev/null; then
  exec env WIRELAB_IN_NETNS=1 unshare -rn sh -c "$inner"
else
  echo "run-tests: cannot create a private network namespace (unshare -n needs root or user namespaces);"
  echo "run-tests: running only the tests that need nothing but loopback (label 'netns' excluded)"
  cd "$build" && exec ctest --output-on-failure --timeout 600 -j "$jobs" -LE netns "$@"
fi
