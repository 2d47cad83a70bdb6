#!/usr/bin/env bash
# Packaging: shared and static installs into a scratch prefix, the consumer example built
# against each with CMake and with pkg-config, the exported symbols, a subproject build,
# the Debian packages installed with dpkg, and the README's embedding snippet built
# against them. The consumer and the snippet must refuse a file that is not XML.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
settings=$root/examples/settings.xml
expected=$root/examples/consumer/expected-output.txt
# The SOVERSION is the project's major version (CMakeLists.txt); it names the SONAME and
# the library's package.
soversion=$(sed -n 's/^ *VERSION \([0-9]*\)\.[0-9]*\.[0-9]*$/\1/p' CMakeLists.txt | head -n 1)
[[ -n $soversion ]] || { echo "60-package: no project version in CMakeLists.txt" >&2; exit 1; }
packages=(kolt-settings libkoltsettings-dev "libkoltsettings$soversion")

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)

scratch=$(mktemp -d)
dpkg_installed=0
cleanup() {
    if [[ $dpkg_installed -eq 1 ]]; then
        "${sudo[@]}" dpkg --purge "${packages[@]}" >/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

step() { echo "--- $*"; }
fail() {
    echo "60-package: $*" >&2
    exit 1
}
expect_file() {
    [[ -e $1 ]] || fail "missing: $1"
}

# A pugixml.hpp that stops the compiler, first on the consumers' include path: the
# installed headers must not need pugixml.
mkdir -p "$scratch/no-pugixml"
echo '#error "an installed header includes pugixml"' >"$scratch/no-pugixml/pugixml.hpp"
consumer_flags="-O2 -Wall -Wextra -Werror -I$scratch/no-pugixml"

# A file that is not XML: a load that took it for success would let the checker run
# without its settings.
printf 'not XML at all\n' >"$scratch/not-xml.xml"

# run_consumer PROGRAM [VAR=VALUE...]: the program's output on the bundled settings file
# is the expected one, nothing is written on standard error, and it fails on a file
# that is not XML.
run_consumer() {
    local program=$1
    shift
    env "$@" "$program" "$settings" >"$scratch/out.txt" 2>"$scratch/err.txt" || fail "$program failed"
    [[ ! -s $scratch/err.txt ]] || fail "$program wrote on standard error: $(cat "$scratch/err.txt")"
    diff -u "$expected" "$scratch/out.txt" || fail "$program: unexpected output"
    if env "$@" "$program" "$scratch/not-xml.xml" >/dev/null 2>&1; then
        fail "$program accepts a file that is not XML"
    fi
}

# build_consumers NAME PREFIX PKG_CONFIG_FLAGS: the consumer example with find_package
# and with the Makefile, against PREFIX ("" for the system).
build_consumers() {
    local name=$1 prefix=$2 pc_flags=$3
    local cmake_dir=build-pkg-consumer-$name make_dir=build-pkg-consumer-$name-pc
    local pc_path=
    rm -rf "$cmake_dir" "$make_dir"
    if [[ -n $prefix ]]; then
        pc_path=$(dirname "$(find "$prefix" -name koltSettings.pc)")
    fi
    step "consumer with find_package ($name)"
    cmake -S examples/consumer -B "$cmake_dir" -DCMAKE_BUILD_TYPE=Release ${prefix:+-DCMAKE_PREFIX_PATH="$prefix"} \
        -DCMAKE_CXX_FLAGS="$consumer_flags" >/dev/null
    cmake --build "$cmake_dir" -j2 >/dev/null
    step "consumer with pkg-config ($name)"
    mkdir -p "$make_dir"
    PKG_CONFIG_PATH=$pc_path make -s -C "$make_dir" -f "$root/examples/consumer/Makefile" \
        PKG_CONFIG_FLAGS="$pc_flags" CXXFLAGS="$consumer_flags"
}

# build_library NAME CMAKE_ARGS...: configures and builds the library (no tests) in build-pkg-NAME.
build_library() {
    local name=$1
    shift
    step "library build ($name)"
    cmake -S . -B "build-pkg-$name" -DKOLT_WERROR=ON -DKOLT_BUILD_TESTS=OFF -DKOLT_BUILD_EXAMPLES=OFF "$@" >/dev/null
    cmake --build "build-pkg-$name" -j2 >/dev/null
}

# Shared library. Configured for /usr so that the same build makes the Debian packages;
# the scratch install only moves the prefix.
build_library shared -DBUILD_SHARED_LIBS=ON -DCMAKE_INSTALL_PREFIX=/usr
step "exported symbols"
bash scripts/check-exports.sh build-pkg-shared/libkoltSettings.so
prefix=$scratch/shared
cmake --install build-pkg-shared --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name libkoltSettings.so)")
for f in include/koltSettings/koltSettings.h include/koltSettings/settings/manager.h include/koltSettings/kolt.h \
    include/koltSettings/version.h share/koltSettings/examples/settings.xml; do
    expect_file "$prefix/$f"
done
for f in "libkoltSettings.so.$soversion" cmake/koltSettings/koltSettingsConfig.cmake \
    cmake/koltSettings/koltSettingsConfigVersion.cmake pkgconfig/koltSettings.pc; do
    expect_file "$libdir/$f"
done
expect_file "$prefix/share/koltSettings/schema/koltSettings.dtd"
readelf -d "$libdir/libkoltSettings.so" | grep -q "SONAME.*\[libkoltSettings\.so\.$soversion\]" ||
    fail "SONAME is not libkoltSettings.so.$soversion"
build_consumers shared "$prefix" ""
run_consumer build-pkg-consumer-shared/settings-consumer
run_consumer build-pkg-consumer-shared-pc/settings-consumer LD_LIBRARY_PATH="$libdir"

# Static library: consumers link pugixml themselves, and carry no koltSettings dependency.
build_library static -DBUILD_SHARED_LIBS=OFF
prefix=$scratch/static
cmake --install build-pkg-static --prefix "$prefix" >/dev/null
expect_file "$(dirname "$(find "$prefix" -name koltSettings.pc)")/../libkoltSettings.a"
build_consumers static "$prefix" --static
for program in build-pkg-consumer-static/settings-consumer build-pkg-consumer-static-pc/settings-consumer; do
    if readelf -d "$program" | grep -q 'NEEDED.*libkoltSettings'; then
        fail "$program needs libkoltSettings.so"
    fi
    run_consumer "$program"
done

step "subproject build"
rm -rf build-pkg-subproject
cmake -S tests/subproject -B build-pkg-subproject -DKOLT_SOURCE_DIR="$root" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build build-pkg-subproject -j2 >/dev/null
run_consumer build-pkg-subproject/embedded-consumer

step "Debian packages"
rm -f build-pkg-shared/*.deb
(cd build-pkg-shared && cpack -G DEB >/dev/null)
debs=()
for p in "${packages[@]}"; do
    deb=$(ls build-pkg-shared/"${p}"_*.deb)
    dpkg-deb --field "$deb" Package Version Depends
    debs+=("$deb")
done
dpkg-deb --field build-pkg-shared/libkoltsettings"$soversion"_*.deb Depends | grep -q 'libpugixml1v5' ||
    fail "libkoltsettings$soversion does not depend on libpugixml1v5"
dpkg-deb --field build-pkg-shared/libkoltsettings-dev_*.deb Depends | grep -q "libkoltsettings$soversion (= " ||
    fail "libkoltsettings-dev does not depend on its library package"
"${sudo[@]}" dpkg -i "${debs[@]}" >/dev/null
dpkg_installed=1
system_library=$(dpkg -L "libkoltsettings$soversion" | grep "/libkoltSettings\.so\.$soversion\$") ||
    fail "libkoltsettings$soversion lacks the library"
bash scripts/check-exports.sh "$system_library"
if [[ -e $scratch/shared/bin/kolt-settings ]]; then
    expect_file /usr/bin/kolt-settings
fi
build_consumers system "" ""
run_consumer build-pkg-consumer-system/settings-consumer
run_consumer build-pkg-consumer-system-pc/settings-consumer

step "README embedding snippet"
snippet=build-pkg-readme
rm -rf "$snippet"
mkdir -p "$snippet"
printf 'cmake_minimum_required(VERSION 3.16)\nproject(readme_snippet LANGUAGES CXX)\n' >"$snippet/CMakeLists.txt"
awk -v cm="$snippet/CMakeLists.txt" -v cpp="$snippet/checker.cpp" '
    /^## /     { section = ($0 == "## Embedding") }
    /^```$/    { block = ""; next }
    section && /^```cmake$/ { block = cm; next }
    section && /^```cpp$/   { block = cpp; next }
    block != "" { print >> block }' README.md
[[ -s $snippet/checker.cpp ]] || fail "README.md has no C++ snippet under \"## Embedding\""
grep -q 'koltSettings::koltSettings' "$snippet/CMakeLists.txt" || fail "README.md has no CMake snippet under \"## Embedding\""
cmake -S "$snippet" -B "$snippet/build" -DCMAKE_CXX_FLAGS="$consumer_flags" >/dev/null
cmake --build "$snippet/build" >/dev/null
"$snippet/build/checker" "$settings" >"$scratch/out.txt" || fail "the README snippet failed"
[[ -s $scratch/out.txt ]] || fail "the README snippet printed nothing"
if "$snippet/build/checker" "$scratch/not-xml.xml" >/dev/null 2>&1; then
    fail "the README snippet accepts a file that is not XML"
fi
