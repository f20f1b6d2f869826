#!/usr/bin/env bash
# Installs what building, testing and running Quarvel need on Debian, skipping what is there.
# Usage: scripts/setup.sh [--ci] [--clang] [--web]
#   --ci adds clang 14, the virtual X server and its tools; --clang adds clang 14 alone;
#   --web gives only what the browser build needs.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev
          libbenchmark-dev libsdl2-dev libpng-dev ffmpeg help2man)
extra=()
for option in "$@"; do
  case "$option" in
    --ci) extra+=(clang-14 xvfb xauth xdotool x11-utils x11-apps python3) ;;
    --clang) extra+=(clang-14) ;;
    --web) packages=(cmake ninja-build emscripten python3) ;;
    *) echo "usage: scripts/setup.sh [--ci] [--clang] [--web]" >&2; exit 2 ;;
  esac
done
packages+=("${extra[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "Please install as root: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
