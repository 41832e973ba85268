#!/bin/sh
# The main job on an already built tree: creates a sample table with the table tool and
# shows it.
set -eu
BUILD_DIR="$(cd "${1:-build}" && pwd)"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
PXDB="$BUILD_DIR/tools/pxdb"
"$PXDB" create customer.dbf CODE:C:8 NAME:C:30 BALANCE:N:10:2 SINCE:D:8 ACTIVE:L:1
printf '%s\n' \
  '{"CODE":"SMITH01","NAME":"Smith Aluminium","BALANCE":1234.5,"SINCE":"20190301","ACTIVE":true}' \
  '{"CODE":"JONES02","NAME":"Jones Glass","BALANCE":"-17.25","SINCE":"20211115","ACTIVE":false}' \
  | "$PXDB" append customer.dbf
"$PXDB" struct customer.dbf
"$PXDB" count customer.dbf
"$PXDB" dump customer.dbf
