#!/usr/bin/env bash
# Runs the real desktop demo in a virtual X server for a few seconds, presses
# Escape in its window and checks that it ended cleanly and reported its frame rate.
set -euo pipefail
cd "$(dirname "$0")/../build/${1:-default}/bin"

export SDL_AUDIODRIVER=dummy
display=:97
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1

log=$(mktemp)
DISPLAY=$display timeout 60 ./quarvel >"$log" 2>&1 &
demo=$!
sleep 5
window=$(DISPLAY=$display xdotool search --name '^Quarvel$' | head -n 1 || true)
if [[ -z "$window" ]]; then
  echo "smoke: the demo's window did not appear"; cat "$log"; exit 1
fi
DISPLAY=$display xdotool windowfocus --sync "$window" key Escape
status=0
wait $demo || status=$?
cat "$log" | head -n 20
if [[ $status -ne 0 ]]; then echo "smoke: the demo exited with $status"; exit 1; fi
grep -qE '^\[[0-9.]+\]$' "$log" || { echo "smoke: no frame-rate line"; exit 1; }
echo "smoke: the demo ran, ended on Escape and exited with 0"
