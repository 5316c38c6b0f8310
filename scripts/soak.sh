#!/usr/bin/env bash
# Soak: plays one long headless match (no GIF) in a Release build and in an
# AddressSanitizer build, and fails when the Release process's resident
# memory grows after warm-up by 1 MiB or more, or when the sanitizers report.
# A developer's tool, not run by CI: about a minute once built.
#   bash scripts/soak.sh            # 20000 frames
#   SOAK_FRAMES=5000 bash scripts/soak.sh
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/packages.sh
ensure_packages cmake make g++ pkg-config libsdl2-dev libgif-dev libpng-dev nlohmann-json3-dev \
  libcli11-dev

frames=${SOAK_FRAMES:-20000}
limit_kib=1024
interval=0.2  # the Release run lasts seconds, not minutes: sample often
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
launcher=()
if command -v ccache > /dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

build() {  # build DIR CMAKE-ARGS...
  local dir=$1; shift
  echo "== Building $dir =="
  cmake -S . -B "$dir" -DANIMATE_BUILD_TESTS=OFF -DANIMATE_BUILD_BENCH=OFF "${launcher[@]}" "$@" > /dev/null
  cmake --build "$dir" -j"$jobs" --target animate-demo > "$dir/soak-build.log" 2>&1 ||
    { tail -20 "$dir/soak-build.log"; exit 1; }
}

# play DIR NAME: runs the demo and samples VmRSS with the frame log's length,
# so that warm-up is a point in the match (10% of the frames) whatever the
# speed of the build. Sets wall, rss_warm, rss_end, hwm, status.
play() {
  local dir=$1 name=$2 out="$1/soak-out" samples="$1/soak-rss.txt"
  rm -rf "$out" && mkdir -p "$out"
  : > "$samples"
  local start; start=$(date +%s.%N)
  "$dir/tools/demo/animate-demo" --frames "$frames" --out "$out" --seed 1 --no-gif --quiet \
    2> "$dir/soak-stderr.txt" &
  local pid=$! rss hwm_now lines
  hwm=0
  while rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2> /dev/null) && [ -n "$rss" ]; do
    hwm_now=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2> /dev/null || echo 0)
    [ -n "$hwm_now" ] && hwm=$hwm_now
    lines=0
    [ -f "$out/frames.csv" ] && lines=$(wc -l < "$out/frames.csv")
    echo "$(date +%s.%N) $((lines > 0 ? lines - 1 : 0)) $rss" >> "$samples"
    sleep "$interval"
  done
  status=0
  wait "$pid" || status=$?
  wall=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {printf "%.1f", e - s}')
  # Warm-up: the first sample once a tenth of the frames are logged (the log
  # is buffered, so a little later than that); the end: the last sample.
  rss_warm=$(awk -v f=$((frames / 10)) '$2 >= f {print $3; exit}' "$samples")
  rss_end=$(awk 'END {print $3}' "$samples")
  if [ -z "$rss_warm" ]; then
    echo "$name: no sample after 10% of the frames (status $status); see $dir/soak-stderr.txt"
    rss_warm=$rss_end
  fi
  printf '%-8s %d frames in %s s, status %d; RSS %d KiB at warm-up, %d KiB at the end (%+d KiB), peak %d KiB; %d samples\n' \
    "$name" "$frames" "$wall" "$status" "$rss_warm" "$rss_end" $((rss_end - rss_warm)) "$hwm" \
    "$(wc -l < "$samples")"
}

build build-soak -DCMAKE_BUILD_TYPE=Release
build build-soak-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DANIMATE_SANITIZE=ON

echo "== Playing $frames frames =="
failed=0
play build-soak Release
growth=$((rss_end - rss_warm))
if [ "$status" -ne 0 ]; then
  echo "Release: the demo failed:"; tail -5 build-soak/soak-stderr.txt; failed=1
fi
if [ "$growth" -ge "$limit_kib" ]; then
  echo "Release: resident memory grew by $growth KiB after warm-up (limit: under $limit_kib KiB)"; failed=1
fi

# The sanitized run's RSS is shown, not judged: its quarantine holds freed
# blocks on purpose.
ASAN_OPTIONS=detect_leaks=1:${ASAN_OPTIONS:-} UBSAN_OPTIONS=print_stacktrace=1:${UBSAN_OPTIONS:-} \
  play build-soak-asan ASan
reports=$(grep -E "ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:" build-soak-asan/soak-stderr.txt || true)
if [ "$status" -ne 0 ] || [ -n "$reports" ]; then
  echo "ASan: status $status; reports:"; echo "${reports:-(none; see build-soak-asan/soak-stderr.txt)}"
  failed=1
else
  echo "ASan: status 0, no AddressSanitizer, LeakSanitizer or UBSan report"
fi

if [ "$failed" -ne 0 ]; then echo "soak: FAILED"; exit 1; fi
echo "soak: passed (growth $growth KiB, under $limit_kib KiB)"
