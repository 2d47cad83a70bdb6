#!/usr/bin/env bash
# Usage: scripts/update-abi-baseline.sh [--output FILE]
# Builds the shared library as it is released (g++, RelWithDebInfo, no sanitizer) in
# build-abi/ and writes the ABI of its public interface, as abidw reads it from the debug
# information and the public headers, to tests/abi/<SONAME>.abi (or FILE). Commit the
# baseline in the commit that changes the SOVERSION, or after an added function or field
# (docs/abi.md). Needs abidw (Debian package abigail-tools).
set -euo pipefail
cd "$(dirname "$0")/.."

output=
if [[ ${1:-} == --output && $# -eq 2 ]]; then
    output=$2
elif [[ $# -ne 0 ]]; then
    echo "usage: $0 [--output FILE]" >&2
    exit 2
fi

build=build-abi
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_SHARED_LIBS=ON \
    -DKOLT_SANITIZE= -DKOLT_BUILD_TESTS=OFF -DKOLT_BUILD_EXAMPLES=OFF -DKOLT_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j2 --target koltSettings >/dev/null
library=$(readlink -f "$build/libkoltSettings.so")
soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]$/\1/p')
[[ -n $soname ]] || { echo "$library has no SONAME" >&2; exit 1; }
output=${output:-tests/abi/$soname.abi}

# Locations and build paths are left out: the baseline changes only with the interface.
abidw --headers-dir include --drop-private-types --exported-interfaces-only --suppressions tests/abi/abi.suppr \
    --no-show-locs --no-comp-dir-path --no-corpus-path --type-id-style hash --out-file "$output" "$library"
echo "$output: ABI of $soname"
