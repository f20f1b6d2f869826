#!/usr/bin/env bash
# Runs the real desktop demo in a virtual X server twice for a few seconds, ends
# it once by closing its window and once with Escape, and checks that each run
# ended cleanly and reported its frame rate.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/../build/${1:-default}/bin"

export SDL_AUDIODRIVER=dummy
display=:97
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1

# run_once HOW: HOW is "close" (the window's close request) or "escape".
run_once() {
  local how=$1 log status=0
  log=$(mktemp)
  DISPLAY=$display timeout 60 ./quarvel >"$log" 2>&1 &
  local demo=$!
  sleep 5
  local window
  window=$(DISPLAY=$display xdotool search --name '^Quarvel$' | head -n 1 || true)
  if [[ -z "$window" ]]; then
    echo "smoke: the demo's window did not appear"; cat "$log"; return 1
  fi
  if [[ $how == close ]]; then
    DISPLAY=$display python3 "$here/x11-close-window.py" "$window"
  else
    DISPLAY=$display xdotool windowfocus --sync "$window" key Escape
  fi
  wait $demo || status=$?
  head -n 5 "$log"
  if [[ $status -ne 0 ]]; then echo "smoke ($how): the demo exited with $status"; return 1; fi
  grep -qE '^\[[0-9.]+\]$' "$log" || { echo "smoke ($how): no frame-rate line"; return 1; }
  echo "smoke ($how): the demo ran, ended and exited with 0"
}

run_once close
run_once escape
