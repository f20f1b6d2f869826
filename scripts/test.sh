#!/usr/bin/env bash
# Builds Quarvel with warnings as errors and runs the whole test suite.
# Usage: scripts/test.sh [PRESET] [ctest arguments...]   (preset: default, debug, asan, tsan, clang)
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-default}"
shift || true
if [[ $preset == clang ]]; then scripts/setup.sh --clang; else scripts/setup.sh; fi
cmake --preset "$preset" -DQUARVEL_WERROR=ON >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" --timeout 600 "$@"
