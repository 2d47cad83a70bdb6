#!/usr/bin/env bash
# kolt-settings and the DTD, beyond the ctest run: the tests that need python3, xmllint,
# nvim and pre-commit were not left out, nor the validation of SARIF logs against the
# schema; larger and adversarial generated files pass the DTD, the checker and the dump's
# round trip; an installed program holds no path of the build machine and finds its
# example and DTD; the installed XML catalog finds the DTD.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build
tool=$build/tools/kolt-settings
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "tests that need python3 and xmllint are registered"
registered=$(ctest --test-dir "$build" -N -L tools | grep -cE 'kolt_settings_cli|kolt_dtd_corpus|kolt_wellformed_corpus' || true)
if [[ "$registered" -ne 3 ]]; then
    echo "expected the tests kolt_settings_cli, kolt_dtd_corpus and kolt_wellformed_corpus; is python3 or xmllint missing?" >&2
    exit 1
fi
registered=$(ctest --test-dir "$build" -N -L tools | grep -cE 'kolt_review|kolt_pre_commit_hook' || true)
if [[ "$registered" -ne 2 ]]; then
    echo "expected the tests kolt_review and kolt_pre_commit_hook; is pre-commit or git missing?" >&2
    exit 1
fi
registered=$(ctest --test-dir "$build" -N -L lsp | grep -cE 'kolt_lsp_protocol|kolt_lsp_neovim' || true)
if [[ "$registered" -ne 2 ]]; then
    echo "expected the tests kolt_lsp_protocol and kolt_lsp_neovim; is python3 or nvim missing?" >&2
    exit 1
fi

echo "the command-line tests validate every SARIF log against the SARIF 2.1.0 schema (../shared), not skipping it"
KOLT_REQUIRE_SARIF_SCHEMA=1 ctest --test-dir "$build" -R '^kolt_settings_cli$' -V >"$work/cli.log" 2>&1 || {
    tail -n 40 "$work/cli.log" >&2
    exit 1
}
grep -oE '[1-9][0-9]* SARIF logs validated' "$work/cli.log" | sed 's/^/  /'

echo "the checked-in DTD is the generated one"
"$tool" vocabulary --dtd | diff -u schema/koltSettings.dtd -

# Each file: the DTD accepts it (unless its lists are prefix-named), the check finds no
# error (random picks repeat items: warnings are counted, not refused), and its XML dump,
# with origins or without, loads back into the same state.
roundtrip() {
    local file=$1 dtd=$2
    if [[ "$dtd" == yes ]]; then
        xmllint --noout --dtdvalid schema/koltSettings.dtd "$file"
    fi
    "$tool" check --format=gnu "$file" 2>"$file.check" || { cat "$file.check" >&2; exit 1; }
    "$tool" dump --xml "$file" >"$file.dump.xml"
    cmp <("$tool" dump --json "$file") <("$tool" dump --json "$file.dump.xml")
    # Origins are comments, which loading does not see.
    "$tool" dump --xml --origins "$file" >"$file.origins.xml"
    cmp <("$tool" dump --json "$file") <("$tool" dump --json "$file.origins.xml")
    if [[ "$dtd" == yes ]]; then
        xmllint --noout --dtdvalid schema/koltSettings.dtd "$file.dump.xml"
    fi
    echo "  $(basename "$file"): $(stat -c %s "$file") bytes, $(grep -c ': warning: ' "$file.check" || true) warnings"
}
echo "generated files"
gen=scripts/gen-settings.py
export KOLT_SETTINGS=$tool # the vocabulary the generator follows
python3 $gen --mb 5 --seed ci1 -o "$work/pretty.xml"
python3 $gen --mb 5 --seed ci2 --compact -o "$work/compact.xml"
python3 $gen --records 2000 --seed ci3 --worst-entities 5 --worst-len 200000 -o "$work/entities.xml"
python3 $gen --records 0 --many-reports 20000 -o "$work/reports.xml"
python3 $gen --records 1000 --many-lists 2000 --many-lists-all -o "$work/prefixed.xml"
for f in pretty compact entities reports; do
    roundtrip "$work/$f.xml" yes
done
roundtrip "$work/prefixed.xml" no

echo "an installed program holds no path of the build machine, finds its example and the DTD the example declares"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
if strings "$work/prefix/bin/kolt-settings" | grep -F "$PWD"; then
    echo "the installed program holds a path of the build machine" >&2
    exit 1
fi
example="$work/prefix/share/koltSettings/examples/settings.xml"
xmllint --noout --valid "$example"
(cd "$work" && prefix/bin/kolt-settings check "$example" && prefix/bin/kolt-settings dump --json >example.json)
python3 -c 'import json, sys; assert json.load(open(sys.argv[1]))["reports"]' "$work/example.json"
# The installed copy, not the source tree's: spoil it and look for it in what dump, with
# no FILE, lets the loader say.
sed -i 's|</Settings>|<Stray/></Settings>|' "$example"
spoiled=$(cd "$work" && prefix/bin/kolt-settings dump 2>&1 >/dev/null || true)
if grep -qF "$(realpath "$example")" <<<"$spoiled"; then
    echo "  the installed example is the one used"
else
    echo "the installed program does not use the installed example" >&2
    exit 1
fi

echo "the installed catalog finds the DTD by its public identifier"
catalog="$work/prefix/share/koltSettings/catalog.xml"
printf '<?xml version="1.0"?>\n<!DOCTYPE Settings PUBLIC "%s" "nowhere/koltSettings.dtd">\n%s\n' \
    "-//koltSettings//DTD Settings 1.0//EN" '<Settings><RunType TypeOfRun="Check"/></Settings>' >"$work/by-catalog.xml"
if xmllint --noout --valid "$work/by-catalog.xml" 2>/dev/null; then
    echo "the DTD was found without the catalog: the check proves nothing" >&2
    exit 1
fi
if ! XML_CATALOG_FILES=$catalog xmllint --catalogs --noout --valid "$work/by-catalog.xml" 2>"$work/xmllint.log"; then
    grep -v SGML_CATALOG_FILES "$work/xmllint.log" >&2
    echo "the installed catalog does not lead xmllint to the DTD" >&2
    exit 1
fi
echo "  valid through the catalog"
