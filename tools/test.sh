#!/usr/bin/env bash
# Installs what is missing, builds what the tests need and runs every test
# twice: in the normal build (build/) and in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/). Both runs always happen; the
# script exits non-zero when anything fails in either, and ends with the time
# each phase took.
#   TAMARIND_BUILD_DIR       the normal build folder (default build/)
#   TAMARIND_ASAN_BUILD_DIR  the sanitizer build folder (default build-asan/)
#   TAMARIND_SANITIZE=0      skips the sanitizer run
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAMARIND_BUILD_DIR:-$root/build}"
asan="${TAMARIND_ASAN_BUILD_DIR:-$root/build-asan}"

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

# Widget tests use Qt's offscreen platform; the few that need a real X server
# start their own Xvfb through xvfb-run (see tests/CMakeLists.txt).
# Twice as many tests as processors at a time: many of them spend part of
# their time waiting for an X server, cupsd or a child process.
run_tests() {
  (cd "$1" && ctest --output-on-failure --parallel "$(( $(nproc) * 2 ))" --timeout 900)
}

# Only what ctest runs is built (target tamarind_tests): the benchmark
# programs are left to tools/build.sh.
build_normal() {
  TAMARIND_BUILD_DIR="$build" TAMARIND_BUILD_TARGET=tamarind_tests "$root/tools/build.sh"
}
# The sanitizer options are set on every run, so a folder configured
# otherwise before is put right.
build_sanitized() {
  cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTAMARIND_SANITIZE=ON -DTAMARIND_BENCH=OFF -DTAMARIND_FUZZ=OFF >/dev/null &&
    cmake --build "$asan" --parallel "$(nproc)" --target tamarind_tests
}

status=0
total=$SECONDS
total_cpu=$(children_ticks)
phase deps "$root/tools/deps.sh"

echo "== normal build: $build"
if phase "normal build" build_normal && phase "normal tests" run_tests "$build"; then
  echo "== normal build: all tests passed"
else
  echo "== normal build: FAILED"
  status=1
fi

if [ "${TAMARIND_SANITIZE:-1}" != 0 ]; then
  echo "== sanitizer build: $asan"
  if phase "sanitizer build" build_sanitized && phase "sanitizer tests" run_tests "$asan"; then
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
