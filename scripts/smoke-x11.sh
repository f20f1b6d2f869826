#!/usr/bin/env bash
# Runs the real desktop demo on a virtual 800 x 600 X screen without a window
# manager: full screen (ended by closing its window) and in a window at scale 2
# started from another directory (ended with Escape). Each run must cover the
# right area, show the blob scene beyond the central 320 x 240, find its data
# files, report its frame rate and exit with 0.
# Usage: scripts/smoke-x11.sh [PRESET]   (screenshots land in build/PRESET/smoke-x11/)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin="$here/../build/${1:-default}/bin"
shots="$here/../build/${1:-default}/smoke-x11"
mkdir -p "$shots"
cd "$bin"

export SDL_AUDIODRIVER=dummy
display=""
for n in $(seq 97 130); do
  [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
  display=":$n"
  break
done
[[ -n "$display" ]] || { echo "smoke: no free X display number"; exit 1; }
Xvfb "$display" -screen 0 800x600x24 -br -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display

fps_lines() { grep -cE '^\[[0-9.]+\]$' "$1" || true; }

# run_once NAME HOW DIR WIDTHxHEIGHT ARGS...: starts the demo in DIR, waits
# until 42 s of its scene clock have passed (the blobs, 40 to 55 s), checks the
# window's size and a dump of it, then ends it: HOW is "close" (the window's
# close request) or "escape".
run_once() {
  local name=$1 how=$2 dir=$3 expected=$4 status=0 log window geometry _
  shift 4
  log="$shots/$name.log"
  (cd "$dir" && exec timeout 150 "$bin/quarvel" "$@") >"$log" 2>&1 &
  local demo=$!
  for _ in $(seq 1200); do
    (($(fps_lines "$log") >= 42)) && break
    kill -0 $demo 2>/dev/null || break
    sleep 0.1
  done
  window=$(xdotool search --name '^Quarvel$' | head -n 1 || true)
  if [[ -z "$window" ]] || (($(fps_lines "$log") < 42)); then
    echo "smoke ($name): the demo's window did not appear or did not reach 42 s"; cat "$log"
    return 1
  fi
  eval "$(xdotool getwindowgeometry --shell "$window")"
  geometry="${WIDTH}x${HEIGHT}"
  echo "smoke ($name): window ${geometry} at ${X},${Y}"
  [[ $geometry == "$expected" ]] || { echo "smoke ($name): expected a ${expected} window"; return 1; }
  xwd -id "$window" -silent -out "$shots/$name.xwd"
  python3 "$here/x11-check-picture.py" "$shots/$name.xwd" --size "$expected" \
    --outside 320x240 --png "$shots/$name.png" || { echo "smoke ($name): wrong picture"; return 1; }
  if [[ $how == close ]]; then
    python3 "$here/x11-close-window.py" "$window"
  else
    xdotool windowfocus --sync "$window" key Escape
  fi
  wait $demo || status=$?
  if [[ $status -ne 0 ]]; then echo "smoke ($name): the demo exited with $status"; return 1; fi
  if grep -q '^error opening file' "$log"; then
    echo "smoke ($name): data files were not found"; cat "$log"; return 1
  fi
  echo "smoke ($name): the demo ran, ended and exited with 0"
}

screen=$(xdotool getdisplaygeometry | tr ' ' x)
run_once fullscreen close "$bin" "$screen"
run_once window escape / 640x480 --window --scale 2
