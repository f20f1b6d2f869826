# Shared by the CI scripts (sourced): installing the Debian packages a check needs, and
# configuring and building a preset with the log's tail on failure. The sourcing script sets
# `work` (a scratch folder) and may define its own `fail` and `step`.

if ! declare -F fail >/dev/null; then
  fail() {
    echo "${0##*/}: FAILED: $*" >&2
    exit 1
  }
fi
if ! declare -F step >/dev/null; then
  step() { echo "== ${0##*/}: $*"; }
fi

# need_packages PACKAGE... : installs those that are missing, with their recommended packages
# (as the checks were tried here: fonts, Mesa).
need_packages() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  step "installing ${missing[*]}"
  apt-get update -qq || fail "apt-get update"
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}" \
    >"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log"; fail "installing ${missing[*]}"; }
}

# build_preset PRESET [TARGET...] : configures PRESET with warnings as errors and builds the
# targets given, or everything.
build_preset() {
  local preset=$1 targets=()
  shift
  (($#)) && targets=(--target "$@")
  cmake --preset "$preset" -DQUARVEL_WERROR=ON >"$work/configure-$preset.log" 2>&1 ||
    { tail -30 "$work/configure-$preset.log"; fail "configure of the $preset preset"; }
  cmake --build --preset "$preset" -j2 "${targets[@]}" >"$work/build-$preset.log" 2>&1 ||
    { grep -E "error|FAILED" "$work/build-$preset.log" | head -40; fail "build of the $preset preset"; }
}
