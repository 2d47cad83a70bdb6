#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer, in a
# build folder of its own; any error or leak fails the job. Built with clang, so that
# the suite also runs compiled by a second compiler (the main build uses g++): code that
# leans on one compiler's choices, such as the order in which arguments are evaluated,
# fails here.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake -S . -B build-asan -DCMAKE_CXX_COMPILER=clang++-14 -DKOLT_SANITIZE=address,undefined -DKOLT_WERROR=ON >/dev/null
cmake --build build-asan -j2 >/dev/null
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j2
