#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# and runs them for a bounded time (KOLT_FUZZ_SECONDS in all, 120 by default) from their
# seed corpora with their dictionaries: the loader, then the language server's message
# handler. A crash, a leak, a broken property or an input slower than 10 s fails the job
# and leaves the input in build-fuzz/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DBUILD_SHARED_LIBS=OFF -DKOLT_BUILD_TESTS=OFF \
    -DKOLT_BUILD_EXAMPLES=OFF -DKOLT_BUILD_FUZZERS=ON -DKOLT_SANITIZE=address,undefined -DKOLT_WERROR=ON >/dev/null
cmake --build build-fuzz -j2 >/dev/null

dir=build-fuzz/fuzz
log="$dir/fuzz.log"
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The loader gets two thirds of the time, the language server's message handler the rest.
total=${KOLT_FUZZ_SECONDS:-120}
cat "$dir/settings.dict" fuzz/lsp.dict >"$dir/lsp.dict"

# fuzz TARGET DICTIONARY SECONDS SEEDS...
fuzz() {
    local target=$1 dict=$2 seconds=$3
    shift 3
    local corpus="$dir/corpus-$target"
    rm -rf "$corpus"
    mkdir -p "$corpus"
    local status=0
    "$dir/$target" -dict="$dict" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
        -print_final_stats=1 -artifact_prefix="$dir/" "$corpus" "$@" >"$log" 2>&1 || status=$?
    if [[ $status -ne 0 ]]; then
        tail -n 80 "$log"
        echo "fuzzing $target failed; the input is in $dir/"
        exit "$status"
    fi
    local edges covered runs added
    edges=$(grep -o '([0-9]* inline 8-bit counters)' "$log" | grep -o '[0-9]*' | head -n 1)
    covered=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*')
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    added=$(find "$corpus" -type f | wc -l)
    echo "fuzz $target: $runs executions, $covered of $edges instrumented edges covered, $added inputs added to the corpus"
}

fuzz kolt-fuzz-load "$dir/settings.dict" $((total * 2 / 3)) "$dir/seeds"
fuzz kolt-fuzz-lsp "$dir/lsp.dict" $((total - total * 2 / 3)) fuzz/lsp-seeds
