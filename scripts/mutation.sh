#!/usr/bin/env bash
# Mutation check of the library's unit tests: from a fixed seed, makes N
# small changes to the library's sources (a comparison flipped, a + 1
# dropped or added, a constant changed by one, a condition negated, a
# statement removed), one at a time, and reports for each whether a test
# failed (killed), the suite passed (survived) or the build failed (not
# counted), then the killed share. Every file is restored, even when
# interrupted. A developer's tool, not part of CI.
#
#   scripts/mutation.sh [N] [SEED] [--matrix FILE] [--only 3,17]
#                                        defaults: 50 mutants, seed 1
#
# --matrix runs every test of each mutant and appends the failed ones to
# FILE, one JSON line a mutant: which tests catch what. --only runs just the
# listed mutants of that N and SEED (the sample depends on both).
#
# It builds only the GoogleTest binary in build/mutation and runs its tests
# (CTest label "unit"), each with a timeout; the tools, examples, installs,
# consumer builds and the browser test are left out.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-50}
seed=${2:-1}
build=build/mutation
jobs=${MUTATION_JOBS:-$(nproc)}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DANIMATE_BUILD_TOOLS=ON -DANIMATE_BUILD_TESTS=ON \
  -DANIMATE_BUILD_BENCH=OFF >/dev/null
exec python3 scripts/mutation.py --root . --build "$build" --count "$count" --seed "$seed" --jobs "$jobs" "${@:3}"
