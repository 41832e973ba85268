#!/bin/sh
# Sets everything up and runs every test: once in the normal build (Release, so that
# every run proves the optimised build compiles warning-free), once in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
cd "$(dirname "$0")/.."
JOBS="${PX_TEST_JOBS:-2}"

scripts/setup.sh build -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build --output-on-failure -j "$JOBS"

scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DPX_SANITIZE=ON -DPX_BENCH=OFF
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-asan --output-on-failure -j "$JOBS"
echo "All tests passed."
