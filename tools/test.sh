#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test twice: in
# the normal build (build/) and in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/). Both runs always happen; the
# script exits non-zero when anything fails in either.
#   TAMARIND_BUILD_DIR       the normal build folder (default build/)
#   TAMARIND_ASAN_BUILD_DIR  the sanitizer build folder (default build-asan/)
#   TAMARIND_SANITIZE=0      skips the sanitizer run
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAMARIND_BUILD_DIR:-$root/build}"
asan="${TAMARIND_ASAN_BUILD_DIR:-$root/build-asan}"
"$root/tools/deps.sh"

# Widget tests use Qt's offscreen platform; the few that need a real X server
# start their own Xvfb through xvfb-run (see tests/CMakeLists.txt).
run_tests() {
  (cd "$1" && ctest --output-on-failure --parallel "$(nproc)" --timeout 900)
}

status=0
SECONDS=0
echo "== normal build: $build"
if TAMARIND_BUILD_DIR="$build" "$root/tools/build.sh" && run_tests "$build"; then
  echo "== normal build: all tests passed (${SECONDS} s)"
else
  echo "== normal build: FAILED (${SECONDS} s)"
  status=1
fi

if [ "${TAMARIND_SANITIZE:-1}" != 0 ]; then
  SECONDS=0
  echo "== sanitizer build: $asan"
  # The sanitizer options are set on every run, so a folder configured
  # otherwise before is put right.
  if cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTAMARIND_SANITIZE=ON -DTAMARIND_BENCH=OFF -DTAMARIND_FUZZ=OFF >/dev/null &&
     cmake --build "$asan" --parallel "$(nproc)" && run_tests "$asan"; then
    echo "== sanitizer build: all tests passed (${SECONDS} s)"
  else
    echo "== sanitizer build: FAILED (${SECONDS} s)"
    status=1
  fi
fi
exit $status
