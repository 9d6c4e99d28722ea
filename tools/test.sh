#!/usr/bin/env bash
# Installs what is missing, builds what the tests need and runs every test
# twice in one build folder (build/): against the program's code as the
# program is built, then against a second build of the program's code with
# AddressSanitizer and UndefinedBehaviorSanitizer. The tests' own code is
# compiled once for both. Both runs always happen; the script exits non-zero
# when anything fails in either, and ends with the time each phase took.
#   TAMARIND_BUILD_DIR   the build folder (default build/)
#   TAMARIND_SANITIZE=0  skips the sanitizer run
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAMARIND_BUILD_DIR:-$root/build}"

# Each phase's wall-clock time and processor time (user + system of every
# process it ran), printed at the end. The processor time hardly depends on
# what else the machine is doing.
ticks=$(getconf CLK_TCK)
phases=()
children_ticks() {
  local stat
  read -r -a stat </proc/$$/stat
  echo $((stat[15] + stat[16]))
}
# phase <name> <command...>: runs the command and notes its times.
phase() {
  local name=$1 start=$SECONDS cpu status=0
  shift
  cpu=$(children_ticks)
  "$@" || status=$?
  phases+=("$(printf '%-16s %5d s %6d s' "$name" $((SECONDS - start)) \
                $(( ($(children_ticks) - cpu) / ticks )))")
  return $status
}

# The sanitizer twins (targets ending in _sanitized; their tests are named
# "sanitized." and labelled sanitizer, the others normal) are configured in
# the build folder; a folder configured without them before is put right.
# Only what ctest runs is built (targets tamarind_tests and
# tamarind_sanitizer_tests): the benchmark programs are left to tools/build.sh.
configure() {
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DTAMARIND_SANITIZER_TESTS=ON >/dev/null
  elif ! grep -qx 'TAMARIND_SANITIZER_TESTS:BOOL=ON' "$build/CMakeCache.txt"; then
    cmake -S "$root" -B "$build" -DTAMARIND_SANITIZER_TESTS=ON >/dev/null
  fi
}
build_target() {
  configure && cmake --build "$build" --parallel "$(nproc)" --target "$1"
}

# Widget tests use Qt's offscreen platform; the few that need a real X server
# start their own Xvfb through xvfb-run (see tests/CMakeLists.txt).
# Twice as many tests as processors at a time: many of them spend part of
# their time waiting for an X server, cupsd or a child process.
# run_tests <ctest options...>
run_tests() {
  (cd "$build" && ctest --output-on-failure --parallel "$(( $(nproc) * 2 ))" --timeout 900 "$@")
}

status=0
total=$SECONDS
total_cpu=$(children_ticks)
phase deps "$root/tools/deps.sh"

echo "== normal build: $build"
if phase "normal build" build_target tamarind_tests &&
   phase "normal tests" run_tests --label-regex normal; then
  echo "== normal build: all tests passed"
else
  echo "== normal build: FAILED"
  status=1
fi

if [ "${TAMARIND_SANITIZE:-1}" != 0 ]; then
  echo "== sanitizer build: $build"
  if phase "sanitizer build" build_target tamarind_sanitizer_tests &&
     phase "sanitizer tests" run_tests --label-regex sanitizer; then
    echo "== sanitizer build: all tests passed"
  else
    echo "== sanitizer build: FAILED"
    status=1
  fi
fi

echo "== times                 wall    processor"
printf '%s\n' "${phases[@]}"
printf '%-16s %5d s %6d s\n' total $((SECONDS - total)) \
  $(( ($(children_ticks) - total_cpu) / ticks ))
exit $status
