#!/usr/bin/env bash
# Builds the benchmark and runs it once on the bundled example as a smoke test: every
# workload and query must run; no timing is judged here.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build-bench-ci -DKOLT_BUILD_BENCH=ON -DKOLT_BUILD_TESTS=OFF -DKOLT_BUILD_EXAMPLES=OFF \
    -DKOLT_WERROR=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench-ci -j2 --target kolt-bench
build-bench-ci/bench/kolt-bench --rounds 1 --csv build-bench-ci/bench-smoke.csv \
    --queries example example=examples/settings.xml --benchmark-arg --benchmark_min_time=0.01
# One line of medians for the one file, none of them missing.
[[ $(wc -l <build-bench-ci/bench-smoke.csv) -eq 2 ]]
! grep -qi nan build-bench-ci/bench-smoke.csv
