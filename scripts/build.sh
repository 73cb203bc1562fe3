#!/usr/bin/env bash
# Configures and builds one variant of LumoMap.
# Usage: scripts/build.sh BUILD_DIR [extra cmake arguments...]
# Example: scripts/build.sh build/qt5 -DLUMOMAP_QT_MAJOR=5
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:?usage: scripts/build.sh BUILD_DIR [cmake arguments...]}
shift
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build_dir" --parallel "$(nproc)"
