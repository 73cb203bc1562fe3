#!/usr/bin/env bash
# Compares the shared libraries of a build with their ABI descriptions in abi/ (libabigail), or records
# the descriptions anew.
#
#   scripts/abi-check.sh BUILD                    fails when BUILD's libraries break the recorded ABI
#   scripts/abi-check.sh --update BUILD           records in abi/ the libraries of BUILD that have a new
#                                                 SONAME or no description yet
#   scripts/abi-check.sh --update --force BUILD   records every library, also under the recorded SONAME
#
# Only the libraries in the configuration the packages ship are checked and recorded: Qt 6, g++,
# without tests (and fuzz targets). They are recorded from a RelWithDebInfo build of the libraries
# alone (scripts/build-abi.sh build/abi), and checked in such a build or in the package build itself
# (scripts/package.sh: Release with Debian's flags, which include -g), which describes the same ABI;
# CI checks its package build. The descriptions are read from the debug information, and another Qt,
# compiler or build type describes other types; a build with tests exports internals for them
# (LUMOMAP_AUTOTEST_EXPORT) that no package has, so it is refused.
#
# The check fails when a function or variable of the public API is gone, or when a type it uses has
# changed (size, layout, members, virtual functions): changes that break hosts built against the
# recorded libraries. New functions and variables are compatible; the report lists them, and they
# enter abi/ with the next --update.
#
# --update belongs with a deliberate ABI change, which takes a new SOVERSION (the project's major
# version in CMakeLists.txt), or with a new library, which has no description to break. It leaves a
# description alone while its library's SONAME is the recorded one, and refuses when that leaves
# nothing to record, unless --force is given (to record compatible additions, or after a change of
# abi/lumomap.suppr).
# Suppressions: abi/lumomap.suppr keeps the descriptions to the public API (classes named Lumo*).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage() {
    echo "usage: scripts/abi-check.sh [--update [--force]] BUILD" >&2
    exit 2
}
update=0
force=0
while [ $# -gt 1 ]; do
    case $1 in
        --update) update=1 ;;
        --force) force=1 ;;
        *) usage ;;
    esac
    shift
done
[ $# -eq 1 ] || usage
[ $force -eq 0 ] || [ $update -eq 1 ] || usage
build=$(realpath "$1") || exit 2

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
compiler=$(sed -n 's/^set(CMAKE_CXX_COMPILER_ID "\(.*\)")$/\1/p' \
    "$build"/CMakeFiles/*/CMakeCXXCompiler.cmake 2>/dev/null)
build_type=$(cache_value CMAKE_BUILD_TYPE)
# The package build: Release, with the debug information of Debian's flags (stripped only when packed).
package_build=0
if [ "$build_type" = Release ] && [[ " $(cache_value CMAKE_CXX_FLAGS) " == *" -g "* ]]; then
    package_build=1
fi
if [ "$build_type" != RelWithDebInfo ] && { [ $package_build -eq 0 ] || [ $update -eq 1 ]; }; then
    echo "abi-check: $build is neither a RelWithDebInfo build nor, to check only, the package build" \
        "(scripts/package.sh)" >&2
    exit 2
fi
if [ "$(cache_value LUMOMAP_QT_MAJOR)" != 6 ] || [ "$compiler" != GNU ] \
    || [ "$(cache_value LUMOMAP_SANITIZE)" != OFF ] || [ "$(cache_value LUMOMAP_BUILD_TESTS)" != OFF ] \
    || [ "$(cache_value LUMOMAP_BUILD_FUZZ)" != OFF ]; then
    echo "abi-check: $build is not a Qt 6 g++ build without sanitizers, tests and fuzz targets" \
        "(make one with scripts/build-abi.sh)" >&2
    exit 2
fi

suppressions=$root/abi/lumomap.suppr
headers=(--headers-dir "$root/include" --headers-dir "$build/include" --drop-private-types)
libraries=("$build/libLumoMap.so" "$build/render/libLumoMapRender.so" "$build/output/libLumoMapOutput.so")
soname() { readelf -d "$1" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p'; }
recorded_soname() { sed -n "s/.*<abi-corpus [^>]*soname='\([^']*\)'.*/\1/p" "$1" | head -n 1; }
description() { echo "$root/abi/$(basename "$1" .so).abi"; }

for library in "${libraries[@]}"; do
    if [ ! -f "$library" ]; then
        echo "abi-check: $library is missing; the check needs a build of every library" \
            "(LUMOMAP_BUILD_RENDER and LUMOMAP_BUILD_OUTPUT on)" >&2
        exit 2
    fi
done

if [ $update -eq 1 ]; then
    record=()
    for library in "${libraries[@]}"; do
        abi=$(description "$library")
        if [ -f "$abi" ] && [ "$(soname "$library")" = "$(recorded_soname "$abi")" ] && [ $force -eq 0 ]; then
            echo "abi-check: $(soname "$library") is the SONAME recorded in $abi; left as it is"
        else
            record+=("$library")
        fi
    done
    if [ ${#record[@]} -eq 0 ]; then
        echo "abi-check: every SONAME is recorded in abi/ already; an ABI change takes a new SOVERSION" \
            "(the major version in CMakeLists.txt), or --force to record compatible additions" >&2
        exit 1
    fi
    for library in "${record[@]}"; do
        abi=$(description "$library")
        # The build names sources relative to the source folder (cmake/LumoMapCompilerOptions.cmake);
        # without locations, compilation folders and corpus paths, two builds of one source, in any
        # folders, give the same description.
        abidw "${headers[@]}" --suppressions "$suppressions" --no-corpus-path --no-comp-dir-path \
            --no-show-locs --no-elf-needed --type-id-style hash --out-file "$abi.new" "$(realpath "$library")" \
            && mv "$abi.new" "$abi" || { rm -f "$abi.new"; exit 2; }
        echo "abi-check: recorded $(soname "$library") in $abi"
    done
    exit 0
fi

status=0
for library in "${libraries[@]}"; do
    abi=$(description "$library")
    name=$(soname "$library")
    if [ ! -f "$abi" ]; then
        echo "abi-check: $abi is missing; record it with scripts/abi-check.sh --update $1" >&2
        exit 2
    fi
    if [ "$name" != "$(recorded_soname "$abi")" ]; then
        echo "abi-check: the build makes $name, abi/ records $(recorded_soname "$abi"): record the new ABI" \
            "with scripts/abi-check.sh --update $1"
        status=1
        continue
    fi
    # Additions left aside, any change that remains breaks hosts built against the recorded library.
    # (The recorded descriptions carry no source locations, which abidiff's --headers-dir filter needs;
    # the suppressions alone keep both sides to the public API.)
    diff_args=(--suppressions "$suppressions" "$abi" "$(realpath "$library")")
    report=$(abidiff --no-added-syms "${diff_args[@]}")
    result=$?
    if [ $((result & 3)) -ne 0 ]; then
        echo "$report"
        echo "abi-check: abidiff failed on $name (exit status $result)" >&2
        exit 2
    elif [ $result -ne 0 ]; then
        echo "$report"
        echo "abi-check: $name breaks the ABI recorded in $abi"
        status=1
    else
        report=$(abidiff "${diff_args[@]}")
        if [ $? -ne 0 ]; then
            echo "$report"
            echo "abi-check: $name adds to the recorded ABI, compatibly"
        else
            echo "abi-check: $name has the recorded ABI"
        fi
    fi
done
exit $status
