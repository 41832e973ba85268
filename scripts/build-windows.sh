#!/bin/sh
# Cross-builds the Windows programs (pxupdate.exe, pxdb.exe, pkzip.exe and its copy
# pkzip25.exe) with Debian's mingw-w64 into BUILD_DIR/tools.
#
#   scripts/build-windows.sh [--package] [BUILD_DIR [CMAKE_OPTIONS...]]   (default build-win)
#
# Installs the Debian packages it needs (only those missing). The libraries come from
# Debian: zlib from libz-mingw-w64-dev; libzip cross-built from Debian's own source
# package; GoogleTest from /usr/src/googletest; nlohmann-json and CLI11 as headers.
# libzip and GoogleTest are built once into the deps folder (BUILD_DIR/deps, or the
# folder PX_WIN_DEPS names, so several build folders can share one) and reused after.
#
# --package also writes BUILD_DIR/parvex-update-win64.zip: the four programs and a
# README.txt for the person who installs them.
#
# Environment: PX_WIN_DEPS (deps folder), PX_WIN_TARGETS (what to build, default the
# programs; "all" builds the tests too), PX_WIN_JOBS (parallel jobs, default 2).
set -eu
cd "$(dirname "$0")/.."
SRC="$(pwd)"

PACKAGE=0
if [ "${1:-}" = "--package" ]; then
  PACKAGE=1
  shift
fi
BUILD_DIR="${1:-build-win}"
[ $# -gt 0 ] && shift
mkdir -p "$BUILD_DIR"
BUILD_DIR="$(cd "$BUILD_DIR" && pwd)"
DEPS="${PX_WIN_DEPS:-$BUILD_DIR/deps}"
mkdir -p "$DEPS"
DEPS="$(cd "$DEPS" && pwd)"
JOBS="${PX_WIN_JOBS:-2}"
TOOLCHAIN="$SRC/cmake/mingw-w64-x86_64.cmake"

PACKAGES="g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 dpkg-dev cmake ninja-build \
pkg-config googletest nlohmann-json3-dev libcli11-dev zip unzip ca-certificates"
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

# --- libzip, from Debian's source package -------------------------------------------
# The source list is enabled for these two apt calls only: a private list file, lists
# folder and cache, so the machine's apt configuration and state stay as they were.
LIBZIP_STAMP="$DEPS/libzip.done"
if [ ! -f "$LIBZIP_STAMP" ] || [ ! -f "$DEPS/lib/libzip.a" ]; then
  echo "== libzip: fetching Debian's source package"
  APT_DIR="$DEPS/apt"
  rm -rf "$APT_DIR" "$DEPS/src/libzip"
  mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial" "$DEPS/src/libzip"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
    "http://deb.debian.org/debian bookworm main" > "$APT_DIR/sources.list"
  apt_src() {
    $SUDO apt-get -o "Dir::Etc::sourcelist=$APT_DIR/sources.list" -o Dir::Etc::sourceparts=- \
      -o "Dir::State::Lists=$APT_DIR/lists" -o "Dir::Cache=$APT_DIR/cache" \
      -o APT::Sandbox::User=root "$@"
  }
  apt_src update -qq
  (cd "$DEPS/src/libzip" && apt_src source -qq libzip)
  rm -rf "$APT_DIR"
  LIBZIP_SRC="$(find "$DEPS/src/libzip" -mindepth 1 -maxdepth 1 -type d -name 'libzip-*' | head -n 1)"
  if [ -z "$LIBZIP_SRC" ]; then
    echo "libzip's source package could not be fetched" >&2
    exit 1
  fi
  echo "== libzip: building $(basename "$LIBZIP_SRC") for Windows"
  # Traditional PKWARE encryption is built in; AES uses Windows' own BCrypt.
  cmake -S "$LIBZIP_SRC" -B "$DEPS/src/libzip-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$DEPS" -DBUILD_SHARED_LIBS=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_WINDOWS_CRYPTO=ON -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >/dev/null
  cmake --build "$DEPS/src/libzip-build" -j "$JOBS" >/dev/null
  cmake --install "$DEPS/src/libzip-build" >/dev/null
  grep -q 'HAVE_CRYPTO' "$DEPS/src/libzip-build/config.h" || {
    echo "libzip was built without a crypto backend: AES archives would not open" >&2
    exit 1
  }
  basename "$LIBZIP_SRC" > "$LIBZIP_STAMP"
fi

# --- GoogleTest, from /usr/src/googletest --------------------------------------------
if [ ! -f "$DEPS/gtest.done" ]; then
  echo "== GoogleTest: building for Windows"
  cmake -S /usr/src/googletest -B "$DEPS/src/gtest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$DEPS" -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=ON \
    >/dev/null
  cmake --build "$DEPS/src/gtest-build" -j "$JOBS" >/dev/null
  cmake --install "$DEPS/src/gtest-build" >/dev/null
  touch "$DEPS/gtest.done"
fi

# --- nlohmann-json and CLI11: header-only ----------------------------------------------
# Their headers are copied into a folder of their own, so the cross build sees these two
# and nothing else of the host's /usr/include. A small package file tells CMake.
HDR="$DEPS/headers"
if [ ! -f "$DEPS/headers.done" ]; then
  rm -rf "$HDR"
  mkdir -p "$HDR/include" "$DEPS/lib/cmake/CLI11" "$DEPS/lib/cmake/nlohmann_json"
  cp -r /usr/include/CLI /usr/include/nlohmann "$HDR/include/"
  cat > "$DEPS/lib/cmake/CLI11/CLI11Config.cmake" <<EOF
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "$HDR/include")
endif()
EOF
  cat > "$DEPS/lib/cmake/nlohmann_json/nlohmann_jsonConfig.cmake" <<EOF
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "$HDR/include")
endif()
EOF
  touch "$DEPS/headers.done"
fi

# --- the project -------------------------------------------------------------------
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=..*' "$BUILD_DIR/CMakeCache.txt" 2>/dev/null; then
  set -- -DCMAKE_BUILD_TYPE=Release "$@"
fi
echo "== Configuring $BUILD_DIR"
cmake -S "$SRC" -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
  -DPX_WIN_DEPS_DIR="$DEPS" -DPX_WITH_WX=OFF -DPX_BENCH=OFF "$@" >/dev/null
TARGETS="${PX_WIN_TARGETS:-pxupdate pxdb pkzip}"
echo "== Building $TARGETS"
if [ "$TARGETS" = "all" ]; then
  cmake --build "$BUILD_DIR" -j "$JOBS"
else
  # shellcheck disable=SC2086
  cmake --build "$BUILD_DIR" -j "$JOBS" --target $TARGETS
fi
ls -l "$BUILD_DIR/tools/"*.exe

if [ "$PACKAGE" = "1" ]; then
  PKG="$BUILD_DIR/package"
  rm -rf "$PKG" "$BUILD_DIR/parvex-update-win64.zip"
  mkdir -p "$PKG"
  for p in pxupdate pxdb pkzip pkzip25; do cp "$BUILD_DIR/tools/$p.exe" "$PKG/"; done
  # Windows readers expect CR LF line ends.
  sed 's/$/\r/' "$SRC/tools/windows-readme.txt" > "$PKG/README.txt"
  (cd "$PKG" && zip -q -X -9 "$BUILD_DIR/parvex-update-win64.zip" \
    pxupdate.exe pxdb.exe pkzip.exe pkzip25.exe README.txt)
  rm -rf "$PKG"
  echo "== Wrote $BUILD_DIR/parvex-update-win64.zip"
  unzip -l "$BUILD_DIR/parvex-update-win64.zip"
fi
