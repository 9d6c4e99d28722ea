#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Exits non-zero when anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAMARIND_BUILD_DIR:-$root/build}"
"$root/tools/deps.sh"
"$root/tools/build.sh"
cd "$build"
# Widget tests use Qt's offscreen platform; the few that need a real X server
# start their own Xvfb through xvfb-run (see tests/CMakeLists.txt).
ctest --output-on-failure --parallel "$(nproc)" --timeout 900
