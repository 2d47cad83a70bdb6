#!/usr/bin/env bash
# Usage: scripts/check-exports.sh LIBRARY.so [PATTERNS]
# Compares the dynamic symbols LIBRARY.so defines (nm -D --defined-only, demangled) with
# the glob patterns of PATTERNS (default tests/abi/exported-symbols.txt). Fails on a
# symbol no pattern allows, and on a pattern that no symbol matches any more.
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 ]]; then
    echo "usage: $0 LIBRARY.so [PATTERNS]" >&2
    exit 2
fi
library=$1
patterns_file=${2:-$(dirname "$0")/../tests/abi/exported-symbols.txt}
nm=${NM:-nm}

mapfile -t patterns < <(grep -Ev '^[[:space:]]*(#|$)' "$patterns_file")
# "ADDRESS TYPE NAME"; a demangled NAME may hold spaces.
symbols_text=$("$nm" -D --defined-only -C "$library" | cut -d' ' -f3- | sort -u)
mapfile -t symbols <<<"$symbols_text"
if [[ -z $symbols_text ]]; then
    echo "$library: no dynamic symbol defined" >&2
    exit 1
fi

failed=0
used=()
for symbol in "${symbols[@]}"; do
    allowed=0
    for i in "${!patterns[@]}"; do
        # case, not [[ ]]: there "*(" would start an extended pattern.
        case $symbol in
        ${patterns[i]})
            allowed=1
            used[i]=1
            ;;
        esac
    done
    if [[ $allowed -eq 0 ]]; then
        echo "unexpected export: $symbol" >&2
        failed=1
    fi
done
for i in "${!patterns[@]}"; do
    if [[ -z ${used[i]:-} ]]; then
        echo "no export matches: ${patterns[i]}" >&2
        failed=1
    fi
done

if [[ $failed -ne 0 ]]; then
    echo "$library: exported symbols differ from $patterns_file" >&2
    exit 1
fi
echo "$library: ${#symbols[@]} exported symbols, all expected (${#patterns[@]} patterns)"
