#!/usr/bin/env bash
# Writes the fuzzer's seed corpus into the folder named first: every document of the
# golden cases, the bundled example and the hand-made seeds of fuzz/seeds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: seed-corpus.sh OUTPUT_DIR}
mkdir -p "$out"
for cases in "$root"/tests/golden/*.cases; do
    # Each "--- xml" section up to the next "--- " or "=== " line is one document.
    awk -v prefix="$out/$(basename "$cases" .cases)-" '
        /^--- xml$/ { if (file) close(file); file = prefix (++n) ".xml"; printf "" > file; next }
        /^(---|===) / { if (file) close(file); file = ""; next }
        file { print > file }
    ' "$cases"
done
cp "$root"/examples/*.xml "$root"/fuzz/seeds/* "$out"/
