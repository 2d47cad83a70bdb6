#!/usr/bin/env bash
# The tests that need a user who cannot read every file (an unreadable settings file:
# the library's result and kolt-settings' KT002), which skip themselves when run as
# root. CI runs as root: they run here as user 65534, from copies in a scratch folder
# that user may read, since the clone itself may be closed to it. Skipping fails the job.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake -S . -B build -DKOLT_WERROR=ON >/dev/null
cmake --build build -j2 --target test_load kolt-settings >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/tests/test_load build/tools/kolt-settings tools/tests/test_cli.py "$work/"
cp -P build/libkoltSettings.so* "$work/" 2>/dev/null || true # a shared build's library
mkdir "$work/tmp"
as=()
if [[ $(id -u) -eq 0 ]]; then
    chmod 755 "$work"
    chown 65534:65534 "$work/tmp"
    as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    if ! "${as[@]}" test -x "$work"; then
        echo "user 65534 cannot enter $work: point TMPDIR to a folder every user can enter" >&2
        exit 1
    fi
fi
unprivileged() {
    (cd "$work" && "${as[@]}" env -i PATH=/usr/bin:/bin TMPDIR="$work/tmp" LD_LIBRARY_PATH="$work" "$@")
}

failed=0
# run LABEL PATTERN COMMAND...: the command's output must match PATTERN and say nothing of a skip.
run() {
    local label=$1 pattern=$2 out
    shift 2
    if out=$(unprivileged "$@" 2>&1) && grep -qE "$pattern" <<<"$out" && ! grep -qiE 'skip' <<<"$out"; then
        echo "$label: passed as user $(unprivileged id -u)"
    else
        echo "$label: FAILED, skipped or not run"
        echo "$out"
        failed=1
    fi
}
run "library, unreadable file" '^\[  PASSED  \] 1 test' \
    ./test_load --gtest_filter='LoadFile.UnreadableFileIsADocumentWithoutElements'
run "kolt-settings, KT002" '^Ran 1 test' \
    python3 test_cli.py --tool ./kolt-settings --examples . --docs . --help-text . --dtd . \
    ExitCodes.test_unreadable_file
exit $failed
