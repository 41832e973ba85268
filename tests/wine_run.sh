#!/bin/sh
# Runs a Windows program under Wine in the build folder's own prefix:
#
#   tests/wine_run.sh BUILD_DIR PROGRAM.exe [ARGUMENTS...]
#
# The prefix BUILD_DIR/wineprefix is made on first use (under a lock, as the test
# programs start in parallel), with a drive D: of its own; Wine's own messages are
# switched off. The prefix's
# server is kept running for two minutes after its last program ends, so that the next
# program starts in a fraction of a second instead of several. The program's exit code
# is this script's.
set -eu
build="$1"
shift
WINEPREFIX="$build/wineprefix"
WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX WINEDEBUG
if [ -x /usr/lib/wine/wine64 ]; then
  WINE=/usr/lib/wine/wine64
  WINELOADER="${WINELOADER:-$WINE}"
  export WINELOADER
else
  WINE="$(command -v wine64 || command -v wine)"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$build"
  flock "$build/wineprefix.lock" sh -c \
    "[ -f '$WINEPREFIX/system.reg' ] || '$WINE' wineboot -i >/dev/null 2>&1 || true"
fi
# Drive D: is a folder of the build for the tests whose update folder is that drive.
mkdir -p "$build/wine-drive-d"
ln -sfn "$build/wine-drive-d" "$WINEPREFIX/dosdevices/d:"
PX_TEST_DRIVE_D="$build/wine-drive-d"
export PX_TEST_DRIVE_D
SERVER=/usr/lib/wine/wineserver64
[ -x "$SERVER" ] || SERVER="$(command -v wineserver)"
# (Its output goes nowhere: a server holding the caller's output would keep a test
# runner waiting for the end of that output until the server ends.)
"$SERVER" -p120 </dev/null >/dev/null 2>&1 || true
# The prefix's services start with the first program of a session and keep the
# standard handles it had for as long as the session lasts; a first program without
# output starts them, so that they do not hold the caller's output open either.
"$WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
exec "$WINE" "$@"
