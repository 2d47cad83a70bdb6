#!/usr/bin/env bash
# Managers loading in several threads at once, built with ThreadSanitizer. Each test runs
# in a fresh process (so the threads race to fill the permitted-use tables), ten times.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake -S . -B build-tsan -DKOLT_SANITIZE=thread -DKOLT_WERROR=ON -DKOLT_BUILD_EXAMPLES=OFF >/dev/null
cmake --build build-tsan -j2 --target test_concurrency >/dev/null
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
ctest --test-dir build-tsan -L concurrency --repeat until-fail:10 --output-on-failure -j2
