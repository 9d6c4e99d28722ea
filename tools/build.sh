#!/usr/bin/env bash
# Configures (once) and builds Tamarind into build/ with CMake and Ninja.
# Ninja rebuilds only what changed, so a second run is quick.
#   TAMARIND_BUILD_DIR     the build folder (default build/)
#   TAMARIND_BUILD_TYPE    the CMake build type when configuring (RelWithDebInfo)
#   TAMARIND_BUILD_TARGET  builds only this target (default: everything)
# Further arguments go to CMake when it configures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAMARIND_BUILD_DIR:-$root/build}"
type="${TAMARIND_BUILD_TYPE:-RelWithDebInfo}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@"
fi
cmake --build "$build" --parallel "$(nproc)" ${TAMARIND_BUILD_TARGET:+--target "$TAMARIND_BUILD_TARGET"}
