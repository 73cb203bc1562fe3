#!/usr/bin/env bash
# Runs the map page's tests in headless Chromium: installs the test's npm packages (package-lock.json,
# with npm ci) into WORK_DIR once per lock file, then runs node's test runner on map-page.test.mjs.
# Usage: run-browser-tests.sh LUMOMAP_TOOL WORK_DIR
# Exits 77, which CTest reports as skipped, when node, npm or chromium is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$2
export LUMOMAP_TOOL=$1 LUMOMAP_SOURCE_DIR=${here%/tests/browser}
export LUMOMAP_CHROMIUM=${LUMOMAP_CHROMIUM:-$(command -v chromium || true)}
if ! command -v node >/dev/null || ! command -v npm >/dev/null || [ ! -x "$LUMOMAP_CHROMIUM" ]; then
    echo "skipped: the browser tests need node, npm and chromium"
    exit 77
fi
mkdir -p "$work"
if ! cmp -s "$here/package-lock.json" "$work/package-lock.json" || [ ! -d "$work/node_modules/puppeteer-core" ]; then
    cp "$here/package.json" "$here/package-lock.json" "$work/"
    (cd "$work" && npm ci --no-audit --no-fund --loglevel=error)
fi
cp "$here/map-page.test.mjs" "$work/"
cd "$work"
exec node --test --test-reporter=spec map-page.test.mjs
