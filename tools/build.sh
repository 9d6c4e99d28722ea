#!/usr/bin/env bash
# Configures (once) and builds Tamarind into build/ with CMake and Ninja.
# Ninja rebuilds only what changed, so a second run is quick.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAMARIND_BUILD_DIR:-$root/build}"
type="${TAMARIND_BUILD_TYPE:-RelWithDebInfo}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@"
fi
cmake --build "$build" --parallel "$(nproc)"
