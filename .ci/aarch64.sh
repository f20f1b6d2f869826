#!/usr/bin/env bash
# AArch64 check: cross build with Debian's g++-aarch64-linux-gnu, then the tests of the subsystems
# with lane kernels and the whole-run comparison of every target with the reference under qemu-user.
set -euo pipefail

cd "$(dirname "$0")/.."
work=$(mktemp -d /tmp/quarvel-aarch64.XXXXXX)

fail() {
  echo "aarch64.sh: FAILED: $*" >&2
  exit 1
}
step() { echo "== aarch64.sh: $*"; }

# --- tools -------------------------------------------------------------------
packages=(cmake ninja-build googletest g++-aarch64-linux-gnu qemu-user)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  step "installing ${missing[*]}"
  apt-get update -qq || fail "apt-get update"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" \
    >"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log"; fail "installing ${missing[*]}"; }
fi

# --- build -------------------------------------------------------------------
targets=(raytrace_tests effects_tests raster_tests music_tests driver_tests)
step "configuring and building the aarch64 preset (${targets[*]})"
cmake --preset aarch64 -DQUARVEL_WERROR=ON >"$work/configure.log" 2>&1 ||
  { tail -30 "$work/configure.log"; fail "configure of the aarch64 preset"; }
cmake --build --preset aarch64 -j2 --target "${targets[@]}" >"$work/build.log" 2>&1 ||
  { grep -E "error|FAILED" "$work/build.log" | head -40; fail "build of the aarch64 preset"; }

# --- tests under qemu --------------------------------------------------------
# Every test of those executables, the pinned whole-demo hashes included (about five minutes).
step "running ${targets[*]} under qemu-aarch64"
labels=$(
  IFS='|'
  echo "${targets[*]}"
)
ctest --preset aarch64 -L "^($labels)\$" -j2 --timeout 1200 || fail "tests under qemu-aarch64"
step "passed"
