#!/usr/bin/env bash
# Builds the fuzzers when needed and runs each for SECONDS, two at a time,
# then prints executions, coverage and findings per target.
#
#   fuzz/run.sh SECONDS [TARGET...]
#
# Working corpora stay in build-fuzz/corpus/<target> between runs; each run
# also reads the generated seeds and the saved regressions. Crashes, leaks,
# timeouts and out-of-memory inputs go to build-fuzz/findings/<target>/;
# keep the ones worth keeping in fuzz/regressions/<target>/ once fixed.
# Exits 1 when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(dib_file frame_decode encode find_rects multi_anim)
fi
jobs=${FUZZ_JOBS:-2}
build=build-fuzz

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DANIMATE_FUZZ=ON -DANIMATE_BUILD_TESTS=OFF -DANIMATE_BUILD_BENCH=OFF -DANIMATE_WERROR=ON \
    -DANIMATE_BUILD_TOOLS=OFF >/dev/null
fi
build_targets=(fuzz_seeds)
for t in "${targets[@]}"; do build_targets+=("fuzz_$t"); done
cmake --build "$build" -j"$jobs" --target "${build_targets[@]}" >/dev/null
rm -rf "$build/seeds"
"$build/fuzz/fuzz_seeds" "$build/seeds"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
  local t=$1
  local corpus="$build/corpus/$t" findings="$build/findings/$t" log="$build/logs/$t.log"
  rm -rf "$findings"
  mkdir -p "$corpus" "$findings" "$build/logs" "$build/seeds/$t"
  local dict=()
  [ -f "fuzz/dictionaries/$t.dict" ] && dict=(-dict="fuzz/dictionaries/$t.dict")
  local inputs=("$corpus" "$build/seeds/$t")
  [ -d "fuzz/regressions/$t" ] && inputs+=("fuzz/regressions/$t")
  # -timeout: an input running this long is a hang, a finding like a crash.
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" "${inputs[@]}" \
    >"$log" 2>&1 || true
}

for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  echo "fuzzing $t for ${seconds}s"
  run_one "$t" &
done
wait

status=0
passed=0
failed=0
printf '\n%-14s %12s %9s %7s %7s %8s\n' target executions exec/s cov ft findings
for t in "${targets[@]}"; do
  log="$build/logs/$t.log"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  found=$(find "$build/findings/$t" -maxdepth 1 -type f \
            \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  if grep -q -e '^==[0-9]*==ERROR' -e 'finding:' -e 'deadly signal' "$log"; then
    found=$((found > 0 ? found : 1))
  fi
  printf '%-14s %12s %9s %7s %7s %8s\n' "$t" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$found"
  if [ "$found" -ne 0 ]; then
    status=1
    failed=$((failed + 1))
    echo "  see $log and $build/findings/$t/"
  else
    passed=$((passed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
exit $status
