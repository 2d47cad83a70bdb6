#!/usr/bin/env bash
# The tree is clang-format clean.
set -euo pipefail
cd "$(dirname "$0")/../.."
files=$(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror $files
