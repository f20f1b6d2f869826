#!/usr/bin/env bash
# Bounded fuzz run: builds the libFuzzer targets (clang, address and undefined-behaviour
# sanitizers), writes the seed corpora and runs each target for SECONDS (default 120).
# Exits non-zero on any crash, leak, timeout or out-of-memory.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-120}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi

missing=()
for pkg in clang-14 libclang-rt-14-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    "${missing[@]}"
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target fuzz_xm fuzz_mesh fuzz_make_seeds

build=build/fuzz
work="$build/fuzz-run"
mkdir -p "$work/artifacts"
"$build/bin/fuzz_make_seeds" "$work/seeds"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"

status=0
# run_target NAME MAX_LEN DICTIONARY SEEDS
run_target() {
  local name="$1" max_len="$2" dict="$3" seeds="$4"
  local corpus="$work/corpus/$name"
  mkdir -p "$corpus"
  echo "== $name: ${seconds}s"
  if ! "$build/bin/$name" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=512 \
      -max_len="$max_len" -dict="$dict" -detect_leaks=1 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/$name-" "$corpus" "$seeds"; then
    echo "== $name FAILED: see $work/artifacts/" >&2
    status=1
  fi
}

run_target fuzz_xm 16384 fuzz/xm.dict "$work/seeds/xm"
run_target fuzz_mesh 32768 fuzz/mesh.dict "$work/seeds/mesh"
exit "$status"
