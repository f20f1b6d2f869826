#!/usr/bin/env bash
# Windows check: mingw-w64 cross build, then the unit tests and the demo under Wine on virtual X screens
# (full screen, Escape, a screen without the mode, and a window at scale 2).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
work=$(mktemp -d /tmp/quarvel-windows.XXXXXX)
pids=()

source .ci/common.sh  # fail, step, need_packages, build_preset

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [[ -n "${WINEPREFIX:-}" ]]; then wineserver -k 2>/dev/null || true; fi
}
trap cleanup EXIT

# --- tools -------------------------------------------------------------------
need_packages cmake ninja-build googletest g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool \
  x11-apps python3 unzip

# --- build -------------------------------------------------------------------
step "configuring and building the mingw preset"
build_preset mingw
bin="$root/build/mingw/bin"
for exe in quarvel.exe xmrender.exe; do
  [[ -f "$bin/$exe" ]] || fail "$exe was not built"
done

# --- virtual X screens -------------------------------------------------------
next_display=90
start_x() {  # start_x SIZE -> sets DISPLAY to a fresh virtual screen of that size
  local size=$1 n
  for ((n = next_display; n < next_display + 20; ++n)); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 "$size" -nolisten tcp >"$work/xvfb$n.log" 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    next_display=$((n + 1))
    for _ in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      xwd -root -silent >/dev/null 2>&1 && return 0
      sleep 0.2
    done
    fail "Xvfb :$n did not start"
  done
  fail "no free X display number"
}

# --- Wine --------------------------------------------------------------------
export WINEPREFIX="$work/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no runtime installers popping up
export WINEARCH=win64
# The window tests and the demo's first two runs share one 320 x 240 screen.
start_x 320x240x24
step "creating the Wine prefix"
wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot -i"; }
wineserver -w
# One server for all the processes below. Its helper processes start now, with
# no pipes open: started by a test, they would hold ctest's pipe open for good.
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

step "unit tests under Wine"
# Two at a time: every test that writes files names them after itself and its process.
# A failing test gets one more try: on a loaded machine, a test that passes everywhere
# else (and alone under Wine) has failed once under Wine. Every failure is printed,
# and a fault that repeats still fails the check.
ctest --preset mingw -j2 --output-on-failure --repeat until-pass:2 >"$work/ctest.log" 2>&1 ||
  { grep -B2 -A40 -E "\*\*\*Failed|Failure" "$work/ctest.log" | head -150; fail "unit tests under Wine"; }
grep -A30 -E "\*\*\*Failed|Failure" "$work/ctest.log" | head -60 || true
tail -3 "$work/ctest.log"

# --- the demo ----------------------------------------------------------------
# Counts the distinct colours of an X window dump.
count_colours() {
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
header = struct.unpack(">25I", data[:100])
header_size, width, height = header[0], header[4], header[5]
bits, line, ncolors = header[11], header[12], header[19]
start = header_size + ncolors * 12
step = bits // 8
colours = set()
for y in range(height):
    row = data[start + y * line: start + y * line + width * step]
    for x in range(0, len(row), step):
        colours.add(row[x:x + step])
print(len(colours))
EOF
}

# The seconds since the epoch at which the log got its first "[fps]" line.
wait_first_fps() {  # wait_first_fps LOG PID
  local _
  for _ in $(seq 600); do
    grep -qE '^\[[0-9.]+\]' "$1" 2>/dev/null && { date +%s.%N; return 0; }
    kill -0 "$2" 2>/dev/null || { cat "$1"; fail "quarvel.exe ended before drawing a second of frames"; }
    sleep 0.1
  done
  cat "$1"
  fail "no [fps] line within 60 s"
}

# Waits until the log holds N "[fps]" lines. The demo prints one per second of
# its own scene clock, so this follows the scenes however fast frames are drawn
# (under Wine flips do not wait for the vertical blank, and motion that
# advances per frame runs far ahead of a wall-clock schedule).
wait_fps_lines() {  # wait_fps_lines LOG PID N
  local _
  for _ in $(seq 1200); do
    (($(tr -d '\r' <"$1" | grep -cE '^\[[0-9.]+\]$' || true) >= $3)) && return 0
    kill -0 "$2" 2>/dev/null || { cat "$1"; fail "quarvel.exe ended before $3 s of frames"; }
    sleep 0.1
  done
  cat "$1"
  fail "fewer than $3 [fps] lines within 120 s"
}

wait_exit() {  # wait_exit PID SECONDS -> exit status in $status
  local _
  for _ in $(seq $(($2 * 10))); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$1" 2>/dev/null && { kill "$1"; fail "quarvel.exe still running after $2 s"; }
  status=0
  wait "$1" || status=$?
}

check_fps_lines() {  # check_fps_lines LOG MIN
  local n
  n=$(tr -d '\r' <"$1" | grep -cE '^\[[0-9.]+\]$' || true)  # Wine's console ends lines with CR LF
  ((n >= $2)) || { cat "$1"; fail "only $n [fps] lines in $1 (at least $2 expected)"; }
  echo "$n [fps] lines"
}

cd "$bin"

step "run 1: 320x240x24 screen, the demo ends by itself"
log="$work/run1.log"
wine quarvel.exe >"$log" 2>&1 &
demo=$!
# Moments of the scene clock: star, ray tracer (just after it starts, before
# the rising spheres leave the view), blobs, greetings.
for at in 8 15 47 60; do
  wait_fps_lines "$log" "$demo" "$at"
  shot="$work/scene-$at.xwd"
  # Once in many runs the shot came out nearly blank while the demo went on
  # drawing: a blank screen must stay blank over three shots to fail.
  for try in 1 2 3; do
    xwd -root -silent -out "$shot" || fail "screenshot at $at s"
    colours=$(count_colours "$shot")
    echo "screen at ${at} s: $colours colours"
    ((colours >= 8)) && break
    ((try < 3)) || fail "screen at $at s looks blank ($colours colours)"
    sleep 0.3
  done
done
wait_exit "$demo" 60
((status == 0)) || { cat "$log"; fail "run 1 exited with $status"; }
check_fps_lines "$log" 70

step "run 2: 320x240x24 screen, Escape ends the demo"
log="$work/run2.log"
wine quarvel.exe >"$log" 2>&1 &
demo=$!
wait_first_fps "$log" "$demo" >/dev/null
sleep 3
window=$(xdotool search --name '^Quarvel$' | head -1 || true)
[[ -n "$window" ]] && xdotool windowfocus "$window" 2>/dev/null || true
xdotool key Escape
wait_exit "$demo" 20
((status == 0)) || { cat "$log"; fail "run 2 exited with $status"; }
check_fps_lines "$log" 1
n=$(tr -d '\r' <"$log" | grep -cE '^\[[0-9.]+\]$' || true)
((n < 30)) || fail "run 2 went on for $n s after Escape"

step "run 3: 1024x768x24 screen, the mode cannot be set"
# Wine's desktop process belongs to one X display: start afresh on the new one.
wineserver -k || true
wineserver -w
start_x 1024x768x24
log="$work/run3.log"
wine quarvel.exe >"$log" 2>&1 &
demo=$!
text="Could not find a supported ddraw pixelformat mode"
box=""
for _ in $(seq 300); do
  box=$(xdotool search --name '^Error$' 2>/dev/null | head -1 || true)
  [[ -n "$box" ]] && break
  kill -0 "$demo" 2>/dev/null || break
  sleep 0.1
done
[[ -n "$box" ]] || { cat "$log"; fail "no message box appeared"; }
grep -qF "$text" "$log" || { cat "$log"; fail "the message was not \"$text\""; }
sleep 2
xdotool windowfocus "$box" 2>/dev/null || true
xdotool key Return
wait_exit "$demo" 20
((status == 255)) || { cat "$log"; fail "run 3 exited with $status, not 255"; }

step "run 4: 1024x768x24 screen, --window --scale 2 started from another folder"
log="$work/run4.log"
(cd "$work" && exec wine "$bin/quarvel.exe" --window --scale 2) >"$log" 2>&1 &
demo=$!
wait_fps_lines "$log" "$demo" 42  # the blobs, which reach every part of the picture
window=$(xdotool search --name '^Quarvel$' | head -1 || true)
[[ -n "$window" ]] || { cat "$log"; fail "run 4: no window named Quarvel"; }
# With a caption the X window is the client area; the frame belongs to the window manager.
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window client area ${WIDTH}x${HEIGHT} at ${X},${Y}"
[[ "${WIDTH}x${HEIGHT}" == 640x480 ]] || fail "run 4: the client area is ${WIDTH}x${HEIGHT}, not 640x480"
xwd -id "$window" -silent -out "$work/window.xwd" || fail "run 4: screenshot"
python3 "$root/scripts/x11-check-picture.py" "$work/window.xwd" --size 640x480 --outside 320x240 \
  --png "$work/window.png" || fail "run 4: the window does not show the scaled picture ($work/window.png)"
xdotool windowfocus "$window" 2>/dev/null || true
xdotool key Escape
wait_exit "$demo" 30
((status == 0)) || { cat "$log"; fail "run 4 exited with $status"; }
if tr -d '\r' <"$log" | grep -q '^error opening file'; then
  cat "$log"
  fail "run 4 did not find its data files next to quarvel.exe"
fi

step "the zip unpacked into a folder named outside any code page"
cd "$root"
scripts/package.sh zip >"$work/package.log" 2>&1 || { tail -20 "$work/package.log"; fail "the zip"; }
unpacked="$work/Übung ✓"
mkdir "$unpacked"
unzip -q "$root"/build/packages/quarvel-*-windows-x86_64.zip -d "$unpacked" || fail "unzip"
cd "$unpacked"
log="$work/zip-window.log"
wine quarvel.exe --window >"$log" 2>&1 &
demo=$!
wait_fps_lines "$log" "$demo" 3
window=$(xdotool search --name '^Quarvel$' | head -1 || true)
[[ -n "$window" ]] && xdotool windowfocus "$window" 2>/dev/null || true
xdotool key Escape
wait_exit "$demo" 30
((status == 0)) || { cat "$log"; fail "quarvel.exe --window from the zip exited with $status"; }
if tr -d '\r' <"$log" | grep -qE '^error opening file|data files not found'; then
  cat "$log"
  fail "quarvel.exe from the zip did not find its data"
fi
tr -d '\r' <"$log" | grep -qx tolvenaq || { cat "$log"; fail "quarvel.exe from the zip loaded no meshes"; }
# Five seconds of the demo, into a file whose name is outside the code page too.
wine quarvel-capture.exe --wav "Musik ✓.wav" --frames 0:299 >"$work/zip-capture.log" 2>&1 ||
  { cat "$work/zip-capture.log"; fail "quarvel-capture.exe --wav from the zip"; }
grep -q "not found" "$work/zip-capture.log" && { cat "$work/zip-capture.log"; fail "no data for quarvel-capture.exe"; }
python3 - "$unpacked/Musik ✓.wav" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
frames = (len(data) - 44) // 4
print(f"{frames} frames of music written")
if frames < 4 * 44100 or not any(data[44:]):
    sys.exit("the music was not written")
EOF
cd "$root"

step "all Windows checks passed"
