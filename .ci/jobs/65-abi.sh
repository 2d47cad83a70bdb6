#!/usr/bin/env bash
# The binary interface against the committed baseline, tests/abi/<SONAME>.abi: abidiff
# fails on any change but added functions and the additions tests/abi/abi.suppr allows.
# An incompatible change passes only with a new SOVERSION, whose baseline is committed
# with it (docs/abi.md); a baseline rewritten in place must stay compatible with the
# baseline as its SONAME was first committed.
set -euo pipefail
cd "$(dirname "$0")/../.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scripts/update-abi-baseline.sh --output "$work/current.abi" >/dev/null
soname=$(sed -n "s/^<abi-corpus .*soname='\([^']*\)'.*/\1/p" "$work/current.abi")
baseline=tests/abi/$soname.abi
if [[ ! -f $baseline ]]; then
    echo "no baseline for $soname: a new SOVERSION commits its baseline (scripts/update-abi-baseline.sh)" >&2
    exit 1
fi

# compare OLD NEW WHAT: fails, with abidiff's report, unless NEW is compatible with OLD.
compare() {
    local status=0
    abidiff --no-added-syms --suppressions tests/abi/abi.suppr "$1" "$2" >"$work/report.txt" || status=$?
    if [[ $status -ne 0 ]]; then
        cat "$work/report.txt"
        echo "$3: incompatible with $soname (abidiff status $status); see docs/abi.md" >&2
        exit 1
    fi
}
compare "$baseline" "$work/current.abi" "this build"
echo "abi: the build matches $baseline"

# The baseline as the commit that added it holds it.
if added=$(git log --diff-filter=A -n 1 --format=%H -- "$baseline" 2>/dev/null) && [[ -n $added ]]; then
    git show "$added:$baseline" >"$work/first.abi"
    compare "$work/first.abi" "$baseline" "$baseline"
    echo "abi: $baseline is compatible with its first version (${added:0:12})"
else
    echo "abi: no history of $baseline here; its first version is not compared"
fi
