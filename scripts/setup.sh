#!/bin/sh
# Installs the Debian packages the project needs (only those missing), then configures
# and builds into a build folder.
#
#   scripts/setup.sh [BUILD_DIR [CMAKE_OPTIONS...]]      (default BUILD_DIR: build)
set -eu
cd "$(dirname "$0")/.."

PACKAGES="build-essential cmake ninja-build pkg-config ccache googletest libgtest-dev \
libgmock-dev libbenchmark-dev libwxgtk3.2-dev libzip-dev nlohmann-json3-dev libcli11-dev \
xvfb xdotool clang libclang-rt-14-dev zip unzip"

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
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR"
