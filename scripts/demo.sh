#!/usr/bin/env bash
# Builds the library, its tools and the match demo in Release, then plays the
# match headless. Installs any missing Debian package first (run as root on a
# fresh machine). Extra arguments go to the demo (e.g. --frames 600, --window).
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/packages.sh
ensure_packages cmake make g++ pkg-config libsdl2-dev libgif-dev libpng-dev nlohmann-json3-dev \
  libcli11-dev

jobs=$(nproc)
echo "== Building (Release) =="
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DANIMATE_BUILD_TESTS=OFF -DANIMATE_BUILD_BENCH=OFF > /dev/null
cmake --build build/demo -j"$jobs" --target animate-demo anxpack anxinfo

echo "== Playing the match =="
./build/demo/tools/demo/animate-demo --out out "$@"

case " $* " in
  *" --window "*) ;;
  *) echo
     echo "The match:        out/match.gif"
     echo "Its last picture: out/last-frame.png"
     echo "Paint figures:    out/frames.csv"
     echo "Watch it live:    bash scripts/demo.sh --window" ;;
esac
