#!/usr/bin/env bash
# Installs the Debian packages the build needs; with --ci, also those of every CI job.
# Only packages that dpkg reports missing are installed, after one apt-get update.
set -euo pipefail

# libxml2-dev: the strict XML check of the tools; nlohmann-json3-dev: the language server's
# messages (the library needs pugixml only)
packages=(cmake make g++ pkg-config libpugixml-dev libgtest-dev libgmock-dev libxml2-dev nlohmann-json3-dev)
if [[ "${1:-}" == "--ci" ]]; then
    packages+=(clang-format)
    # tools job: xmllint for the DTD and well-formedness checks, python3 for the command-line tests,
    # python3-jsonschema to validate their SARIF logs
    packages+=(libxml2-utils python3 python3-jsonschema)
    # language server: its end-to-end test runs in headless Neovim
    packages+=(neovim)
    # the pre-commit hook is tried, offline, on a scratch git repository
    packages+=(pre-commit git)
    # packaging job: dpkg-shlibdeps for cpack, and file, which cpack runs on each binary
    packages+=(dpkg-dev file)
    # reliability jobs: fuzzing with clang, valgrind
    packages+=(clang-14 libclang-rt-14-dev valgrind)
    # benchmark job: Google Benchmark (and libxml2, already listed, for the comparison)
    packages+=(libbenchmark-dev)
    # docs job: the API reference; ABI job: abidw and abidiff
    packages+=(doxygen abigail-tools)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
