#!/usr/bin/env bash
# Installs the dependencies, then builds and runs every test in the Qt 6 and the Qt 5.15 build.
# This is the README's test command and what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

run_suite() {
    local build_dir=$1
    shift
    echo "=== $build_dir: $*"
    scripts/build.sh "$build_dir" -DLUMOMAP_WARNINGS_AS_ERRORS=ON "$@"
    ctest --test-dir "$build_dir" --output-on-failure --timeout 600
}

run_suite build/ci-qt6 -DLUMOMAP_QT_MAJOR=6
run_suite build/ci-qt5 -DLUMOMAP_QT_MAJOR=5
echo "=== all test suites passed"
