#!/usr/bin/env bash
# Builds the library and the match for WebAssembly (Debian's emscripten) into
# build/web/ (index.html, animate-match.js, animate-match.wasm) and serves the
# folder on 127.0.0.1. Installs any missing Debian package first (run as root
# on a fresh machine).
#   bash scripts/web.sh                 build, then serve on http://127.0.0.1:8000/
#   bash scripts/web.sh --port 8080     serve on another port
#   bash scripts/web.sh --build-only    build and stop
#   bash scripts/web.sh --out DIR       the page's folder (its build tree: DIR-build)
set -euo pipefail
cd "$(dirname "$0")/.."

site=build/web
port=8000
serve=1
while [ $# -gt 0 ]; do
  case "$1" in
    --build-only) serve=0 ;;
    --out) site=$2; shift ;;
    --port) port=$2; shift ;;
    *) echo "usage: $0 [--build-only] [--out DIR] [--port N]" >&2; exit 2 ;;
  esac
  shift
done

source scripts/packages.sh
ensure_packages cmake make emscripten nlohmann-json3-dev python3

# Debian's emscripten runs its node tools against the packaged modules.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
mkdir -p "$site"
site=$(cd "$site" && pwd)
echo "== Building for WebAssembly (Release) =="
emcmake cmake -S . -B "$site-build" -DCMAKE_BUILD_TYPE=Release -DANIMATE_WEB_SITE_DIR="$site" > /dev/null
cmake --build "$site-build" -j"$(nproc)"
echo "built $site: $(cd "$site" && ls index.html page.js animate-match.js animate-match.wasm | tr '\n' ' ')"

[ "$serve" = 1 ] || exit 0
echo "== Serving =="
echo "the match: http://127.0.0.1:$port/ (Ctrl-C stops)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port"
