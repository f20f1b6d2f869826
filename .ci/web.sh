#!/usr/bin/env bash
# Browser check: builds the web preset, then watches the page in headless Chromium in real time.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
work=$(mktemp -d /tmp/quarvel-web.XXXXXX)

fail() {
  echo "web.sh: FAILED: $*" >&2
  exit 1
}
step() { echo "== web.sh: $*"; }

# --- tools -------------------------------------------------------------------
packages=(cmake ninja-build emscripten chromium python3 python3-websocket python3-pil python3-numpy)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# With the recommended packages, as the check was tried here (fonts, Mesa).
if ((${#missing[@]})); then
  step "installing ${missing[*]}"
  apt-get update -qq || fail "apt-get update"
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}" \
    >"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log"; fail "installing ${missing[*]}"; }
fi

# --- build -------------------------------------------------------------------
step "configuring and building the web preset"
cmake --preset web -DQUARVEL_WERROR=ON >"$work/configure.log" 2>&1 ||
  { tail -30 "$work/configure.log"; fail "configure of the web preset"; }
cmake --build --preset web -j2 >"$work/build.log" 2>&1 ||
  { grep -E "error|FAILED" "$work/build.log" | head -40; fail "build of the web preset"; }
site="$root/build/web/site"
for file in index.html quarvel.js quarvel.wasm quarvel.data; do
  [[ -s "$site/$file" ]] || fail "$file is not in $site"
done
ls -l "$site"

# The headless capture draws the reference frames; reuse a default build if there is one.
step "building quarvel-capture for the reference frames"
if [[ ! -f build/default/CMakeCache.txt ]]; then
  scripts/setup.sh
  cmake --preset default >"$work/capture-configure.log" 2>&1 ||
    { tail -30 "$work/capture-configure.log"; fail "configure of the default preset"; }
fi
cmake --build --preset default -j2 --target quarvel-capture >"$work/capture-build.log" 2>&1 ||
  { grep -E "error|FAILED" "$work/capture-build.log" | head -40; fail "build of quarvel-capture"; }

# --- the page in headless Chromium ---------------------------------------------
step "the page in headless Chromium (screenshots in $work)"
/usr/bin/python3 .ci/web_check.py --site "$site" --capture "$root/build/default/bin/quarvel-capture" \
  --data "$root/build/default/bin" --out "$work" || fail "the browser check"
step "all browser checks passed"
