# Cross-building the Windows programs with Debian's mingw-w64 (x86_64, POSIX threads).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Every program is linked statically (the C and C++ runtimes and winpthread too), so a
# .exe runs on a Windows machine with no DLL beside it. Libraries built for Windows are
# found only under CMAKE_FIND_ROOT_PATH (the mingw sysroot, plus the folders a build adds
# to PX_WIN_DEPS_DIR), never among the host's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PX_MINGW_PREFIX}-windres)
set(CMAKE_AR ${PX_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${PX_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Where the cross-built libraries (libzip, GoogleTest) are installed; a build passes it.
# The checks CMake compiles while it configures see it too.
set(PX_WIN_DEPS_DIR "" CACHE PATH "Folder of the cross-built dependencies")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PX_WIN_DEPS_DIR)
set(CMAKE_FIND_ROOT_PATH /usr/${PX_MINGW_PREFIX})
if(PX_WIN_DEPS_DIR)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${PX_WIN_DEPS_DIR})
  # pkg-config looks at the cross-built libraries' .pc files only.
  set(ENV{PKG_CONFIG_LIBDIR}
      "${PX_WIN_DEPS_DIR}/lib/pkgconfig:/usr/${PX_MINGW_PREFIX}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine on the build machine.
find_program(PX_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(PX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PX_WINE})
endif()
