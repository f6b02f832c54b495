#!/bin/bash
# Installs what is missing, builds (the benchmarks too), starts the private
# server, runs every test plain and then under AddressSanitizer (with leak
# checks) and UndefinedBehaviorSanitizer, runs the fuzz targets for a short
# fixed time, and stops the server. The exit code is the tests' verdict.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ZT_ROOT"

# It takes no arguments: an argument is named rather than dropped.
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
  echo "usage: bash scripts/test.sh   (every test, plain and under the sanitizers, then the fuzz targets;"
  echo "       ZT_FUZZ_SECONDS sets the seconds of each fuzz target)"
  exit 0
fi
if [ $# -gt 0 ]; then
  echo "test.sh: unexpected argument '$1': the test command takes none (bash scripts/test.sh --help)" >&2
  exit 2
fi

zt_setup || zt_fail "installing the packages"
# The tests mostly wait on the server: they run as many at once as
# CTEST_PARALLEL_LEVEL says, by default one per processor, whatever
# CMAKE_BUILD_PARALLEL_LEVEL allows the builds.
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"
# The benchmarks are built with the plain build (not run) so that they
# keep building.
zt_build "$ZT_ROOT/build" "" -DZT_BENCH=ON || zt_fail "building in $ZT_ROOT/build"
zt_build "$ZT_ROOT/build/asan" "" -DZT_SANITIZE=ON || zt_fail "building under the sanitizers in $ZT_ROOT/build/asan"

trap zt_server_stop EXIT
trap 'exit 130' INT TERM
zt_server_start || exit 1

verdict=0
echo "== tests"
ctest --test-dir "$ZT_ROOT/build" --output-on-failure --timeout 300 || verdict=1
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# The tests of the scripts (label "script") run the scripts, which build
# and run the plain build whatever the test's build: they run once, above.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$ZT_ROOT/build/asan" --output-on-failure --timeout 600 -LE script || verdict=1
echo "== fuzz targets, ${ZT_FUZZ_SECONDS} seconds each"
zt_fuzz || verdict=1
# The last lines are what a reader of a failed run sees first: name the
# failed tests again, and what the server logged if it went down.
if [ "$verdict" != 0 ]; then
  echo "== failed"
  for run in build build/asan; do
    failed="$ZT_ROOT/$run/Testing/Temporary/LastTestsFailed.log"
    [ -s "$failed" ] && sed "s|^|$run: |" "$failed"
  done
  grep -E "signal|Assertion|ERROR" "$ZT_SERVER_DIR/error.log" | tail -n 20
fi
exit $verdict
