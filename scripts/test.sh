#!/bin/sh
# Sets everything up and runs every test in three stages:
#   native     the normal build (Release, so that every run proves the optimised build
#              compiles warning-free);
#   sanitizer  a build with AddressSanitizer and UndefinedBehaviorSanitizer;
#   wine       the Windows build (scripts/build-windows.sh, tests included) with its test
#              programs run under Wine in a fresh prefix, and the Windows programs
#              checked against the native build's (tests/windows_programs_test.sh).
# The time of every stage is printed at the end, also when a stage fails.
# PX_TEST_WINE=0 leaves the Wine stage out (for a quick run on Linux alone).
set -eu
cd "$(dirname "$0")/.."
JOBS="${PX_TEST_JOBS:-2}"

TIMES=""
STAGE=""
STAGE_START=0
begin() {
  STAGE="$1"
  STAGE_START=$(date +%s)
  echo "=== Stage $STAGE"
}
end() {
  TIMES="$TIMES$(printf '%-10s %4d min %02d s' "$STAGE" $((($(date +%s) - STAGE_START) / 60)) \
    $((($(date +%s) - STAGE_START) % 60)))
"
  STAGE=""
}
report() {
  code=$?
  [ -n "$STAGE" ] && TIMES="$TIMES$(printf '%-10s failed after %d s' "$STAGE" \
    $(($(date +%s) - STAGE_START)))
"
  printf '=== Stage times\n%s' "$TIMES"
  exit $code
}
trap report EXIT

begin native
scripts/setup.sh build -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build --output-on-failure -j "$JOBS"
end

begin sanitizer
scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DPX_SANITIZE=ON -DPX_BENCH=OFF
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-asan --output-on-failure -j "$JOBS"
end

if [ "${PX_TEST_WINE:-1}" != "0" ]; then
  begin wine
  PX_WIN_TARGETS=all scripts/build-windows.sh build-win -DPX_NATIVE_BUILD_DIR="$(pwd)/build"
  # A fresh prefix for every run: its server (left running by the last run) goes first.
  WINEPREFIX="$(pwd)/build-win/wineprefix"
  export WINEPREFIX
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  echo "Making the Wine prefix $WINEPREFIX"
  WINEDEBUG=-all wineboot -i >/dev/null 2>&1 || true
  ctest --test-dir build-win --output-on-failure -j "$JOBS"
  end
fi
echo "All tests passed."
