#!/usr/bin/env bash
# Same bits everywhere: the whole demo's frame and sound hashes from quarvel-capture built for
# node (WebAssembly) and for Windows (run under Wine) must equal the native build's. Under node
# the maths and music tests run too: the mixer's simd128 kernels against the reference.
set -euo pipefail

cd "$(dirname "$0")/.."
work=$(mktemp -d /tmp/quarvel-hashes.XXXXXX)

source .ci/common.sh  # fail, step, need_packages, build_preset

cleanup() {  # the logs stay; the Wine prefix (700 MB) goes
  if [[ -n "${WINEPREFIX:-}" ]]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
}
trap cleanup EXIT

# --- tools -------------------------------------------------------------------
need_packages cmake ninja-build python3 emscripten nodejs googletest g++-mingw-w64-x86-64-posix \
  wine wine64

# Compares a run's hashes with the native run's: the first differing frame and its scene.
compare() {  # compare NAME FILE
  python3 - "$work/native.txt" "$2" "$1" <<'EOF'
import sys
native, other, name = open(sys.argv[1]).read().splitlines(), open(sys.argv[2]).read().splitlines(), sys.argv[3]
# Scene starts at 60 frames a second, as the whole-demo test pins them.
def scene(frame):
    for first, title in ((4801, "the end frame"), (3301, "scene 4, greetings"),
                         (2401, "scene 3, blobs"), (900, "scene 2, ray tracer")):
        if frame >= first:
            return title
    return "scene 1, star"
for a, b in zip(native, other):
    if a != b:
        what = a.split()[0]
        if what == "sound":
            sys.exit(f"{name}: the sound differs from the native build's ({b} against {a})")
        frame = int(what)
        differing = sum(x != y for x, y in zip(native, other))
        sys.exit(f"{name}: frame {frame} ({scene(frame)}) is the first of {differing} lines "
                 f"that differ from the native build's ({b} against {a})")
if len(native) != len(other):
    sys.exit(f"{name}: {len(other)} lines against the native build's {len(native)}")
print(f"{name}: all {len(native) - 1} frames and the sound equal the native build's")
EOF
}

seconds() { date +%s.%N; }
elapsed() { python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.1f} s')" "$@"; }

# Every run is the whole demo at 60 frames a second, as the golden test runs it.
# --- native ------------------------------------------------------------------
step "native quarvel-capture"
[[ -f build/default/CMakeCache.txt ]] || scripts/setup.sh
build_preset default quarvel-capture
start=$(seconds)
build/default/bin/quarvel-capture --data data --hashes "$work/native.txt" >"$work/native.log" 2>&1 ||
  { tail -20 "$work/native.log"; fail "the native run"; }
echo "native run: $(elapsed "$start" "$(seconds)")"

# --- node --------------------------------------------------------------------
step "quarvel-capture, the maths tests and the music tests for node"
build_preset web-node
ctest --preset web-node >"$work/node-ctest.log" 2>&1 ||
  { tail -40 "$work/node-ctest.log"; fail "the maths or music tests under node"; }
grep "tests passed" "$work/node-ctest.log"
start=$(seconds)
node --no-experimental-fetch build/web-node/bin/quarvel-capture.js --data data \
  --hashes "$work/node.txt" >"$work/node.log" 2>&1 || { tail -c 2000 "$work/node.log"; fail "the node run"; }
echo "node run: $(elapsed "$start" "$(seconds)")"
compare node "$work/node.txt"

# --- Windows under Wine --------------------------------------------------------
# The Windows check has built the mingw preset and run its tests; build it here if it has not.
step "quarvel-capture.exe under Wine"
if [[ ! -f build/mingw/bin/quarvel-capture.exe ]]; then
  build_preset mingw quarvel-capture
fi
export WINEPREFIX="$work/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no runtime installers popping up
export WINEARCH=win64
wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot -i"; }
wineserver -w
start=$(seconds)
wine build/mingw/bin/quarvel-capture.exe --data data --hashes "$work/windows.txt" \
  </dev/null >"$work/windows.log" 2>&1 || { tail -20 "$work/windows.log"; fail "the Wine run"; }
echo "Wine run: $(elapsed "$start" "$(seconds)")"
compare Windows "$work/windows.txt"

step "node and Windows show and play what the native build does"
