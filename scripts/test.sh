#!/usr/bin/env bash
# Builds the library and runs the whole suite twice: once as shipped, once
# under AddressSanitizer and UndefinedBehaviorSanitizer; then fuzzes every
# parser and decoder and the engine's calls for 20 seconds each, two at a
# time (clang, libFuzzer). Installs any missing Debian package first (run as
# root on a fresh machine).
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/packages.sh
ensure_packages cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsdl2-dev \
  liballegro4-dev imagemagick libgif-dev libpng-dev nlohmann-json3-dev libcli11-dev gifsicle xvfb \
  clang-14 clang-format-14 libclang-rt-14-dev emscripten chromium

jobs=$(nproc)

echo "== Release build and tests =="
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DANIMATE_WERROR=ON
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs"

echo "== Sanitizer build and tests =="
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DANIMATE_SANITIZE=ON -DANIMATE_BUILD_BENCH=OFF -DANIMATE_WERROR=ON
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

echo "== Fuzzing, 20 seconds a target, two at a time =="
fuzz/run.sh 20
