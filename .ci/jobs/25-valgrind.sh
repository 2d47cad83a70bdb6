#!/usr/bin/env bash
# Every test binary and the example program of the main build under valgrind's memcheck:
# no error, no byte definitely or indirectly lost. Each binary runs once as a whole
# (ctest would start one valgrind per test case).
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake -S . -B build -DKOLT_WERROR=ON >/dev/null
cmake --build build -j2 >/dev/null
memcheck=(valgrind --quiet --error-exitcode=1 --leak-check=full --show-leak-kinds=definite,indirect
          --errors-for-leak-kinds=definite,indirect --track-origins=yes)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed=0
for test in build/tests/test_*; do
    [[ -x "$test" && -f "$test" ]] || continue
    start=$SECONDS
    if "${memcheck[@]}" "$test" >"$log" 2>&1; then
        echo "valgrind: $(basename "$test") clean ($(grep -m1 -o '[0-9]* tests\? from [0-9]* test suites\? ran' "$log"), $((SECONDS - start)) s)"
    else
        echo "valgrind: $(basename "$test") FAILED"
        cat "$log"
        failed=1
    fi
done
if "${memcheck[@]}" build/examples/kolt-print-settings examples/settings.xml >"$log" 2>&1; then
    echo "valgrind: kolt-print-settings clean"
else
    echo "valgrind: kolt-print-settings FAILED"
    cat "$log"
    failed=1
fi
exit $failed
