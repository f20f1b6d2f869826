#!/usr/bin/env bash
# Builds the browser version of Quarvel and serves it on http://127.0.0.1:8000/ (or the port given).
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8000}

scripts/setup.sh --web
cmake --preset web >/dev/null
cmake --build --preset web

echo
echo "Quarvel is at http://127.0.0.1:$port/ (Ctrl+C stops the server)"
# Debian's own python3: its standard library knows the WebAssembly file type.
exec /usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web/site
