#!/bin/sh
# pxdb.exe under Wine, called as the Linux pxdb is: arguments that are Linux paths go
# over in their Windows form (Z: is the machine's root; pxdb.exe would take "/x" for an
# option) and the output comes back with Unix line ends.
#
#   PX_WINE_BUILD=BUILD_DIR PX_WINE_TOOLS=TOOLS_DIR tests/wine_pxdb.sh ARGUMENTS...
set -eu
for a in "$@"; do
  case "$a" in
    /*) a="Z:$(printf '%s' "$a" | tr / '\\')" ;;
  esac
  set -- "$@" "$a"
  shift
done
sh "$(dirname "$0")/wine_run.sh" "$PX_WINE_BUILD" "$PX_WINE_TOOLS/pxdb.exe" "$@" | tr -d '\r'
