#!/usr/bin/env bash
# Builds the fuzzers when needed and runs each for SECONDS, two at a time,
# then prints executions, coverage and findings per target.
#
#   fuzz/run.sh [--merge] SECONDS [TARGET...]
#
# Every run starts from the kept corpus (fuzz/corpus/<target>) and the
# saved regressions. The fuzzers work in a scratch copy,
# build-fuzz/corpus/<target>, and never write a tracked file. With
# --merge, what a run found that adds coverage is folded into the kept
# corpus afterwards (libFuzzer -merge=1, minimised), so that the next
# campaign starts where this one ended; commit the result.
#
# Crashes, leaks, timeouts and out-of-memory inputs go to
# build-fuzz/findings/<target>/; keep the ones worth keeping in
# fuzz/regressions/<target>/ once fixed. Exits 1 when any target found
# something.
set -euo pipefail
cd "$(dirname "$0")/.."

merge=0
if [ "${1:-}" = --merge ]; then
  merge=1
  shift
fi
seconds=${1:?usage: fuzz/run.sh [--merge] SECONDS [TARGET...]}
shift
jobs=${FUZZ_JOBS:-2}
build=build-fuzz

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DANIMATE_FUZZ=ON -DANIMATE_BUILD_TESTS=OFF -DANIMATE_BUILD_BENCH=OFF -DANIMATE_WERROR=ON \
    -DANIMATE_BUILD_TOOLS=OFF >/dev/null
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  IFS=';' read -r -a targets <"$build/fuzz/targets.txt"
fi
build_targets=()
for t in "${targets[@]}"; do build_targets+=("fuzz_$t"); done
cmake --build "$build" -j"$jobs" --target "${build_targets[@]}" >/dev/null

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Inputs past these lengths only make a run slower: a call sequence this
# long already holds dozens of paints, a manifest this long dozens of frames.
max_len() {
  case $1 in
    engine) echo 600 ;;
    manifest) echo 1500 ;;
    *) echo 4096 ;;
  esac
}

# Readers of one format share its dictionary.
dictionary() {
  case $1 in
    anx_inspect) echo multi_anim ;;
    pack_bmp) echo dib_file ;;
    *) echo "$1" ;;
  esac
}

run_one() {
  local t=$1
  local corpus="$build/corpus/$t" findings="$build/findings/$t" log="$build/logs/$t.log"
  rm -rf "$findings"
  mkdir -p "$corpus" "$findings" "$build/logs"
  [ -d "fuzz/corpus/$t" ] && cp -n fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
  local dict=() words
  words=fuzz/dictionaries/$(dictionary "$t").dict
  [ -f "$words" ] && dict=(-dict="$words")
  local inputs=("$corpus")
  [ -d "fuzz/regressions/$t" ] && inputs+=("fuzz/regressions/$t")
  # -timeout: an input running this long is a hang, a finding like a crash.
  # The processor time it had goes beside the log: on a shared machine the
  # executions per processor second say more than those per second.
  local TIMEFORMAT=%U+%S
  { time "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -max_len="$(max_len "$t")" -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" \
      "${inputs[@]}" >"$log" 2>&1 || true; } 2>"$build/logs/$t.cpu"
}

# The kept corpus again, minimised over itself and what this run added:
# each input there reaches code the others do not. Edges alone decide
# (-use_counters=0): keeping every hit count that differs would keep
# thousands of inputs, and a campaign finds the counts again quickly.
merge_one() {
  local t=$1 merged="$build/merged/$t"
  rm -rf "$merged"
  mkdir -p "$merged" "fuzz/corpus/$t"
  if "$build/fuzz/fuzz_$t" -merge=1 -use_counters=0 -max_len="$(max_len "$t")" -timeout=25 -rss_limit_mb=2048 \
       "$merged" "fuzz/corpus/$t" "$build/corpus/$t" >"$build/logs/$t.merge.log" 2>&1; then
    rm -rf "fuzz/corpus/$t"
    mv "$merged" "fuzz/corpus/$t"
  else
    echo "  merge of $t failed: see $build/logs/$t.merge.log"
  fi
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
printf '\n%-14s %12s %9s %9s %7s %7s %8s\n' target executions exec/s "per cpu s" cov ft findings
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
  cpu=$(awk -F+ '{ printf "%.2f", $1 + $2 }' "$build/logs/$t.cpu" 2>/dev/null || true)
  per_cpu=$(awk -v n="${execs:-0}" -v c="${cpu:-0}" 'BEGIN { if (c > 0) printf "%d", n / c; else print "?" }')
  printf '%-14s %12s %9s %9s %7s %7s %8s\n' "$t" "${execs:-?}" "${rate:-?}" "$per_cpu" "${cov:-?}" "${ft:-?}" "$found"
  if [ "$found" -ne 0 ]; then
    status=1
    failed=$((failed + 1))
    echo "  see $log and $build/findings/$t/"
  else
    passed=$((passed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"

if [ "$merge" -eq 1 ]; then
  # Two at a time, as the runs.
  for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    merge_one "$t" &
  done
  wait
  echo "kept corpus: $(du -sk fuzz/corpus | cut -f1) kB in $(find fuzz/corpus -type f | wc -l) inputs"
fi
exit $status
