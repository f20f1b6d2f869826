#!/usr/bin/env bash
# Browser check: builds the web preset, then watches the page in headless Chromium in real time.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
work=$(mktemp -d /tmp/quarvel-web.XXXXXX)

source .ci/common.sh  # fail, step, need_packages, build_preset

# --- tools -------------------------------------------------------------------
need_packages cmake ninja-build emscripten chromium python3 python3-websocket python3-pil python3-numpy

# --- build -------------------------------------------------------------------
step "configuring and building the web preset"
build_preset web
# The browser is served the site as the archive holds it.
step "packing the site and unpacking the archive"
scripts/package.sh web >"$work/package.log" 2>&1 || { tail -20 "$work/package.log"; fail "the web archive"; }
site="$work/site"
mkdir -p "$site"
tar -xzf "$root"/build/packages/quarvel-web-*.tar.gz -C "$site" || fail "unpacking the web archive"
for file in index.html quarvel.js quarvel.wasm quarvel.data; do
  [[ -s "$site/$file" ]] || fail "$file is not in the web archive"
done
ls -l "$site"

# The headless capture draws the reference frames; reuse a default build if there is one.
step "building quarvel-capture for the reference frames"
[[ -f build/default/CMakeCache.txt ]] || scripts/setup.sh
build_preset default quarvel-capture

# --- the page in headless Chromium ---------------------------------------------
step "the page in headless Chromium (screenshots in $work)"
/usr/bin/python3 .ci/web_check.py --site "$site" --capture "$root/build/default/bin/quarvel-capture" \
  --data "$root/build/default/bin" --out "$work" || fail "the browser check"
step "all browser checks passed"
