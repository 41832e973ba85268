#!/bin/sh
# Installs the Debian packages the project needs (only those missing), then configures
# and builds into a build folder (RelWithDebInfo unless told otherwise).
#
#   scripts/setup.sh [BUILD_DIR [CMAKE_OPTIONS...]]      (default BUILD_DIR: build)
set -eu
cd "$(dirname "$0")/.."

PACKAGES="build-essential cmake ninja-build pkg-config ccache googletest libgtest-dev \
libgmock-dev libbenchmark-dev libwxgtk3.2-dev libzip-dev nlohmann-json3-dev libcli11-dev \
xvfb xdotool openbox clang libclang-rt-14-dev zip unzip shapelib python3"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  SUDO=""
  if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

BUILD_DIR="${1:-build}"
[ $# -gt 0 ] && shift
# A new build folder is RelWithDebInfo unless the options name a build type; one that
# has a build type keeps it (scripts/test.sh builds "build" as Release, and the demo
# then reuses that build instead of building everything again).
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=..*' "$BUILD_DIR/CMakeCache.txt" 2>/dev/null; then
  set -- -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake -S . -B "$BUILD_DIR" -G Ninja "$@" >/dev/null
cmake --build "$BUILD_DIR"
