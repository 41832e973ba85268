#!/bin/sh
# Makes the seed files of the memo, ntx and archive fuzz targets with the project's own
# tools (pxdb create/append/index/mkupdate, pkzip) and writes them into
# tests/fuzz/seeds/. Run after a change of a file format; the seeds are committed.
#
#   scripts/make_fuzz_seeds.sh [BUILD_DIR]      (default: build)
set -eu
cd "$(dirname "$0")/.."
ROOT="$(pwd)"
BUILD_DIR="$(cd "${1:-build}" && pwd)"
PXDB="$BUILD_DIR/tools/pxdb"
PKZIP="$BUILD_DIR/tools/pkzip"
SEEDS="$ROOT/tests/fuzz/seeds"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

# A 4-byte little-endian length, as fuzz_util.h SplitInput reads it.
le32() {
  n=$1
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((n & 255)) $(((n >> 8) & 255)) \
    $(((n >> 16) & 255)) $(((n >> 24) & 255)))"
}
# pair OUT FIRST SECOND: the two files joined as one split input.
pair() {
  { le32 "$(wc -c < "$2")"; cat "$2" "$3"; } > "$1"
}
# fixed_only OUT NTX: an index for the fuzz target's own fixed table (empty table part).
fixed_only() {
  { le32 0; cat "$2"; } > "$1"
}

# --- memo: a table and its memo file ---
mkdir -p "$SEEDS/memo"
"$PXDB" create notes.dbf ID:N:4 NOTE:M:10 TITLE:C:8 EXTRA:M:10
printf '%s\n' \
  '{"ID":1,"NOTE":"short","TITLE":"one","EXTRA":""}' \
  '{"ID":2,"NOTE":"'"$(printf '%0700d' 0)"'","TITLE":"two","EXTRA":"x"}' \
  '{"ID":3,"NOTE":"","TITLE":"three","EXTRA":"line 1\r\nline 2"}' \
  | "$PXDB" append notes.dbf
pair "$SEEDS/memo/notes.bin" notes.dbf notes.dbt
"$PXDB" create empty.dbf NOTE:M:10
pair "$SEEDS/memo/empty.bin" empty.dbf empty.dbt

# --- ntx: indexes on the fixed table, and small tables with their indexes ---
mkdir -p "$SEEDS/ntx"
"$PXDB" create keys.dbf CODE:C:5 NAME:C:12 BAL:N:8:2 DUE:D:8 FLAG:L:1
i=1
names="SMITH JONES MILLER BROWN SMITH WILSON TAYLOR ANDERSON"
while [ $i -le 150 ]; do
  name=$(echo $names | cut -d' ' -f$((i % 8 + 1)))
  bal=$(awk "BEGIN { printf \"%.2f\", ($i * 37) % 1000 + $i / 4.0 }")
  due=$(date -u -d "2024-01-01 + $((i * 3)) days" +%Y%m%d)
  flag=false; [ $((i % 2)) -eq 1 ] && flag=true
  printf '{"CODE":"C%04d","NAME":"%s","BAL":%s,"DUE":"%s","FLAG":%s}\n' \
    $i "$name" "$bal" "$due" "$flag"
  i=$((i + 1))
done | "$PXDB" append keys.dbf
"$PXDB" index keys.dbf code.ntx "CODE" >/dev/null
"$PXDB" index keys.dbf name.ntx "UPPER(NAME)+CODE" >/dev/null
"$PXDB" index keys.dbf bal.ntx "BAL" >/dev/null
"$PXDB" index keys.dbf due.ntx "DUE" >/dev/null
"$PXDB" index keys.dbf uname.ntx "NAME" --unique >/dev/null
for n in code name bal due uname; do fixed_only "$SEEDS/ntx/fixed_$n.bin" $n.ntx; done
"$PXDB" create small.dbf CODE:C:5 NAME:C:12 BAL:N:8:2 DUE:D:8 FLAG:L:1
printf '%s\n' \
  '{"CODE":"C0003","NAME":"JONES","BAL":1.5,"DUE":"20240101","FLAG":true}' \
  '{"CODE":"C0001","NAME":"SMITH","BAL":-2,"DUE":"","FLAG":false}' \
  '{"CODE":"C0002","NAME":"BROWN","BAL":3,"DUE":"20231231","FLAG":true}' \
  | "$PXDB" append small.dbf
"$PXDB" index small.dbf small.ntx "NAME" >/dev/null
pair "$SEEDS/ntx/small_name.bin" small.dbf small.ntx
"$PXDB" index small.dbf smallc.ntx "CODE" --unique >/dev/null
pair "$SEEDS/ntx/small_code.bin" small.dbf smallc.ntx

# --- archive: update archives with the fuzz target's password, and a plain one ---
mkdir -p "$SEEDS/archive"
printf 'setup line\r\n' > readme.txt
"$PXDB" mkupdate update.zip pxsecret small.dbf readme.txt >/dev/null
cp update.zip "$SEEDS/archive/update.zip"
"$PXDB" mkupdate memo.zip pxsecret notes.dbf notes.dbt >/dev/null
cp memo.zip "$SEEDS/archive/memo.zip"
"$PKZIP" plain.zip readme.txt small.dbf >/dev/null
cp plain.zip "$SEEDS/archive/plain.zip"
echo "seeds written to $SEEDS"
