#!/usr/bin/env bash
# Builds a Release tree with the benchmark program and runs it: generates the maps (three sizes of the
# current format, one legacy map), measures load and save beside Qt's XML classes over the same bytes,
# counts instructions with callgrind, and prints a Markdown report (progress goes to stderr).
#
# Usage: scripts/bench.sh [benchmark arguments...]
#   Without arguments it runs everything: --repetitions 5 --callgrind.
#   With arguments they replace those defaults; see `scripts/bench.sh --help`.
#   Examples: scripts/bench.sh --maps small --repetitions 3
#             scripts/bench.sh --callgrind --work-dir /tmp/lumomap-bench --report /tmp/bench.md
# Environment: LUMOMAP_QT_MAJOR=5 builds and runs against Qt 5.15 (default 6);
#              BENCH_BUILD_DIR overrides the build directory (default build/bench-qt<major>).
set -euo pipefail
cd "$(dirname "$0")/.."

qt_major=${LUMOMAP_QT_MAJOR:-6}
build_dir=${BENCH_BUILD_DIR:-build/bench-qt${qt_major}}

scripts/build.sh "$build_dir" -DCMAKE_BUILD_TYPE=Release -DLUMOMAP_QT_MAJOR="$qt_major" \
    -DLUMOMAP_BUILD_BENCH=ON -DLUMOMAP_BUILD_TESTS=OFF -DLUMOMAP_BUILD_TOOLS=OFF \
    -DLUMOMAP_BUILD_EXAMPLES=OFF -DLUMOMAP_WARNINGS_AS_ERRORS=ON >&2

if [ $# -eq 0 ]; then
    set -- --repetitions 5
    if command -v valgrind >/dev/null; then
        set -- "$@" --callgrind
    else
        echo "valgrind not found: instruction counts skipped" >&2
    fi
fi
source_revision=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
if ! git diff --quiet HEAD -- include model persistence cmake 2>/dev/null; then
    source_revision="$source_revision with uncommitted library changes"
fi
exec "$build_dir/bench/lumomap-bench" --source "commit $source_revision" "$@"
