#!/usr/bin/env bash
# Makes the packages with CPack into build/packages/: the .deb (default preset), the Windows zip
# (mingw preset) and the web site's archive (web preset); all three unless some are named.
# Usage: scripts/package.sh [deb] [zip] [web]
set -euo pipefail
cd "$(dirname "$0")/.."

kinds=("$@")
((${#kinds[@]})) || kinds=(deb zip web)
mkdir -p build/packages

for kind in "${kinds[@]}"; do
  case "$kind" in
    deb) preset=default; scripts/setup.sh ;;
    zip)
      preset=mingw
      command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
        { echo "package.sh: the zip needs g++-mingw-w64-x86-64-posix and googletest" >&2; exit 1; }
      ;;
    web) preset=web; scripts/setup.sh --web ;;
    *) echo "usage: scripts/package.sh [deb] [zip] [web]" >&2; exit 2 ;;
  esac
  echo "== package.sh: $kind from the $preset preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  rm -rf "build/$preset/packages"
  (cd "build/$preset" && cpack >/dev/null) || { echo "package.sh: cpack failed in build/$preset" >&2; exit 1; }
  for file in "build/$preset"/packages/*.{deb,zip,tar.gz}; do
    [[ -f $file ]] || continue
    cp "$file" build/packages/
    echo "build/packages/${file##*/}"
  done
done
