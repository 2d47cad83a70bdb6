#!/usr/bin/env bash
# Builds the libFuzzer target with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# and runs it for a bounded time (KOLT_FUZZ_SECONDS, 120 by default) from the seed corpus
# with the generated dictionary. A crash, a leak, a broken property or an input slower
# than 10 s fails the job and leaves the input in build-fuzz/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DBUILD_SHARED_LIBS=OFF -DKOLT_BUILD_TESTS=OFF \
    -DKOLT_BUILD_EXAMPLES=OFF -DKOLT_BUILD_FUZZERS=ON -DKOLT_SANITIZE=address,undefined -DKOLT_WERROR=ON >/dev/null
cmake --build build-fuzz -j2 >/dev/null

dir=build-fuzz/fuzz
rm -rf "$dir/corpus"
mkdir -p "$dir/corpus"
log="$dir/fuzz.log"
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
"$dir/kolt-fuzz-load" -dict="$dir/settings.dict" -max_total_time="${KOLT_FUZZ_SECONDS:-120}" -timeout=10 \
    -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1 -artifact_prefix="$dir/" \
    "$dir/corpus" "$dir/seeds" >"$log" 2>&1 || status=$?
if [[ $status -ne 0 ]]; then
    tail -n 80 "$log"
    echo "fuzzing failed; the input is in $dir/"
    exit "$status"
fi
edges=$(grep -o '([0-9]* inline 8-bit counters)' "$log" | grep -o '[0-9]*' | head -n 1)
covered=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*')
runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
corpus=$(find "$dir/corpus" -type f | wc -l)
echo "fuzz: $runs executions, $covered of $edges instrumented edges covered (library and entry point), $corpus inputs added to the corpus"
