#!/usr/bin/env bash
# Builds Quarvel and shows it: full screen on a desktop, or rendered to quarvel.mp4 without one.
# Usage: scripts/play.sh [--window [--scale N]]   (the options go to quarvel)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target quarvel quarvel-capture

cd build/default/bin
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec ./quarvel "$@"
fi
echo "No display found: rendering the demo to a video instead."
./quarvel-capture --video "$root/quarvel.mp4"
echo "The demo is in $root/quarvel.mp4"
