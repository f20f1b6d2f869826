#!/usr/bin/env bash
# Whole-process CPU time (user + sys) of xmrender against a peer renderer for 60 s of the dense
# 32-channel module from densegen: linear interpolation, 44.1 kHz stereo 16-bit.
# Usage: scripts/bench-xmrender.sh [RUNS]   (median of RUNS runs each, default 7)
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-7}"
command -v openmpt123 >/dev/null || {
  echo "The peer renderer is missing: apt-get install openmpt123 (used only here)." >&2
  exit 1
}
cmake --preset default >/dev/null
cmake --build --preset default --target densegen xmrender >/dev/null
bin=$(pwd)/build/default/bin

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/densegen" "$work/dense.xm"

# User + sys seconds of one command.
cpu_seconds() {
  local TIMEFORMAT='%3U %3S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f\n", $1 + $2 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The two renderers take turns, so that a change in the machine's load touches both alike.
# --filter 2: linear interpolation; --repeat -1 with --end-time 60: exactly 60 s, looping if
# the song is shorter; --no-float and --dither 0: plain 16-bit samples.
for ((i = 0; i < runs; i++)); do
  cpu_seconds "$bin/xmrender" "$work/dense.xm" "$work/ours.wav" --seconds 60 >>"$work/ours.times"
  cpu_seconds openmpt123 --batch --quiet --force --samplerate 44100 --channels 2 --no-float \
    --dither 0 --filter 2 --repeat -1 --end-time 60 -o "$work/peer.wav" "$work/dense.xm" \
    >>"$work/peer.times"
done
ours=$(median <"$work/ours.times")
peer=$(median <"$work/peer.times")

echo "60 s of a dense 32-channel module, median CPU (user + sys) of $runs runs:"
echo "  xmrender    ${ours} s ($(stat -c %s "$work/ours.wav") bytes)"
echo "  peer        ${peer} s ($(stat -c %s "$work/peer.wav") bytes)"
awk -v a="$ours" -v b="$peer" 'BEGIN { printf "  xmrender is %.2fx faster than the peer\n", b / a }'
