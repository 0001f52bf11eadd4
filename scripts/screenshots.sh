#!/usr/bin/env bash
# Makes the screenshots the README and the AppStream metainfo show, in Chinese
# (LANG=C.UTF-8) and in English (LANGUAGE=en):
#   docs/wirelab.png, docs/wirelab-en.png        wirelab on the demo project
#   docs/wirelab-find.png, docs/wirelab-find-en.png  the same with the find bar
#   docs/monitorcfg.png, docs/monitorcfg-en.png  monitorcfg on a simulated monitor
# wirelab's come from tools/screenshot (offscreen); monitorcfg's are grabs of
# its window on a virtual X display (xvfb-run, xdotool, xwd, netpbm).
# Usage: scripts/screenshots.sh [builddir]   (make screenshots)
set -euo pipefail

if [ "${1:-}" = "--grab-monitorcfg" ]; then
  # Inside xvfb-run: $2 monitorcfg, $3 the simulator's device path, $4 output.
  tool=$2 port=$3 out=$4
  MONITORCFG_PORT="$port" "$tool" >/dev/null 2>&1 &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  if ! wid=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1) || [ -z "$wid" ]; then
    echo "screenshots: monitorcfg showed no window within 20 s" >&2
    exit 1
  fi
  sleep 1  # let it finish painting
  xwd -silent -id "$wid" | xwdtopnm 2>/dev/null | pnmtopng >"$out"
  exit 0
fi

build=$(realpath "${1:-build}")
repo=$(cd "$(dirname "$0")/.." && pwd)
shot="$build/tools/screenshot/wirelab-screenshot"
tool="$build/monitorcfg/monitorcfg"
sim="$build/tools/monitor-sim/monitor-sim"
for f in "$shot" "$tool" "$sim"; do
  if [ ! -x "$f" ]; then
    echo "screenshots: $f is missing; build it first (make screenshots builds it)" >&2
    exit 1
  fi
done
for t in xvfb-run xdotool xwd xwdtopnm pnmtopng; do
  if ! command -v "$t" >/dev/null; then
    echo "screenshots: $t is missing; run: bash scripts/install-deps.sh --screenshots" >&2
    exit 1
  fi
done

work=$(mktemp -d /tmp/screenshots.XXXXXX)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The simulated monitor the monitorcfg shots are taken against; its first
# line of output is its device path.
coproc SIM { exec "$sim" </dev/null 2>"$work/sim.log"; }
sim_pid=$SIM_PID
port=
read -r -t 5 port <&"${SIM[0]}" || true
if [ -z "$port" ]; then
  echo "screenshots: the simulator did not start:" >&2
  cat "$work/sim.log" >&2
  exit 1
fi

# What the find bar looks for in the demo client's log.
find_text=ping

# suffix, then the language variables of that language
shoot() {
  local suffix=$1
  shift
  echo "screenshots: docs/wirelab$suffix.png"
  (cd "$repo/examples/demo" &&
   env "$@" QT_QPA_PLATFORM=offscreen timeout 60 "$shot" "$repo/docs/wirelab$suffix.png")
  echo "screenshots: docs/wirelab-find$suffix.png"
  (cd "$repo/examples/demo" &&
   env "$@" QT_QPA_PLATFORM=offscreen timeout 60 "$shot" "$repo/docs/wirelab-find$suffix.png" 1500 "$find_text")
  echo "screenshots: docs/monitorcfg$suffix.png"
  env "$@" timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash "$0" --grab-monitorcfg "$tool" "$port" "$repo/docs/monitorcfg$suffix.png"
}
shoot "" LANG=C.UTF-8 LANGUAGE=
shoot "-en" LANG=C.UTF-8 LANGUAGE=en
echo "screenshots: done"
