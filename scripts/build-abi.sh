#!/usr/bin/env bash
# Builds the three shared libraries in the configuration the packages ship, for the ABI check and for
# recording abi/ (scripts/abi-check.sh): Qt 6, g++, tests off, so that the test-only exports of
# developer builds are absent; RelWithDebInfo, since the descriptions are read from the debug
# information. The tool, the examples and the tests are not built.
# Usage: scripts/build-abi.sh BUILD_DIR [extra cmake arguments...]   (CI adds -DLUMOMAP_WARNINGS_AS_ERRORS=ON)
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:?usage: scripts/build-abi.sh BUILD_DIR [cmake arguments...]}
shift
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
    -DLUMOMAP_QT_MAJOR=6 -DLUMOMAP_BUILD_TESTS=OFF -DLUMOMAP_BUILD_TOOLS=OFF -DLUMOMAP_BUILD_EXAMPLES=OFF \
    -DLUMOMAP_BUILD_RENDER=ON -DLUMOMAP_BUILD_OUTPUT=ON "$@"
cmake --build "$build_dir" --parallel "$(nproc)" --target LumoMap LumoMapRender LumoMapOutput
