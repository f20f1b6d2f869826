#!/usr/bin/env bash
# AArch64 check: cross build with Debian's g++-aarch64-linux-gnu, then the tests of the subsystems
# with lane kernels and the whole-run comparison of every target with the reference under qemu-user.
set -euo pipefail

cd "$(dirname "$0")/.."
work=$(mktemp -d /tmp/quarvel-aarch64.XXXXXX)

source .ci/common.sh  # fail, step, need_packages, build_preset

# --- tools -------------------------------------------------------------------
need_packages cmake ninja-build googletest g++-aarch64-linux-gnu qemu-user

# --- build -------------------------------------------------------------------
targets=(raytrace_tests effects_tests raster_tests music_tests driver_tests)
step "configuring and building the aarch64 preset (${targets[*]})"
build_preset aarch64 "${targets[@]}"

# --- tests under qemu --------------------------------------------------------
# Every test of those executables, the pinned whole-demo hashes included (about five minutes).
step "running ${targets[*]} under qemu-aarch64"
labels=$(
  IFS='|'
  echo "${targets[*]}"
)
ctest --preset aarch64 -L "^($labels)\$" -j2 --timeout 1200 || fail "tests under qemu-aarch64"
step "passed"
