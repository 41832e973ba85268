#!/bin/sh
# The Windows programs under Wine, as the people who install updates use them:
#   1. pxdb.exe sample writes the same files, byte for byte, as the Linux pxdb sample
#      (the tables' last-update dates, bytes 1 to 3 of a .dbf, aside);
#   2. two pxdb.exe processes: one holds a record lock (pxdb lock), the other is refused
#      that record and gets the others; a table open in one cannot be opened exclusively
#      in the other (DOS error 32, the sharing violation);
#   3. pxupdate.exe with the console applies an update made with pxdb mkupdate to an
#      installation made with pxdb sample, and pxdb check --catalogue passes afterwards.
#
#   tests/windows_programs_test.sh BUILD_DIR WINDOWS_TOOLS_DIR [LINUX_BUILD_DIR]
#
# Without the Linux build the comparison is left out (and says so).
set -eu
BUILD="$1"
TOOLS="$2"
NATIVE="${3:-}"
HERE="$(cd "$(dirname "$0")" && pwd)"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
failures=0

# A Linux path as the Windows programs see it under Wine.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
# pxdb.exe under Wine.
wpxdb() { sh "$HERE/wine_run.sh" "$BUILD" "$TOOLS/pxdb.exe" "$@"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# --- 1. The same sample installation from both builds ------------------------------
if [ -n "$NATIVE" ] && [ -x "$NATIVE/tools/pxdb" ]; then
  "$NATIVE/tools/pxdb" sample "$WORK/linux" >/dev/null
  wpxdb sample "$(winpath "$WORK/win")" >/dev/null
  (cd "$WORK/linux" && find . -type f | sort) >"$WORK/linux.list"
  (cd "$WORK/win" && find . -type f | sort) >"$WORK/win.list"
  if ! cmp -s "$WORK/linux.list" "$WORK/win.list"; then
    fail "the two builds wrote different files:"
    diff "$WORK/linux.list" "$WORK/win.list" || true
  fi
  # A table's bytes 1 to 3 are the date of its last update: set to the same.
  masked() {
    case "$1" in
      *.dbf | *.DBF) { head -c 1 "$1"; printf '\000\000\000'; tail -c +5 "$1"; } ;;
      *) cat "$1" ;;
    esac
  }
  same=0
  differ=0
  while read -r f; do
    [ -f "$WORK/win/$f" ] || continue
    masked "$WORK/linux/$f" >"$WORK/a"
    masked "$WORK/win/$f" >"$WORK/b"
    if cmp -s "$WORK/a" "$WORK/b"; then
      same=$((same + 1))
    else
      differ=$((differ + 1))
      fail "$f differs: $(cmp "$WORK/a" "$WORK/b" 2>&1 | head -n 1)"
    fi
  done <"$WORK/linux.list"
  [ "$differ" = 0 ] && pass "pxdb sample: $same files byte-identical between the Linux and Windows builds"
else
  echo "skipped: the comparison with the Linux build (no Linux pxdb under '$NATIVE')"
fi

# --- 2. Two pxdb.exe processes on one table --------------------------------------------
mkdir -p "$WORK/lock"
cd "$WORK/lock"
wpxdb create t NAME:C:8 >/dev/null
printf '{"NAME":"one"}\n{"NAME":"two"}\n' | wpxdb append t.dbf >/dev/null
wpxdb lock t.dbf 2 20 >holder.out 2>holder.err &
holder=$!
for _ in $(seq 600); do
  grep -q 'locked record 2' holder.out 2>/dev/null && break
  sleep 0.1
done
if ! grep -q 'locked record 2 of t.dbf' holder.out; then
  fail "pxdb.exe lock did not report its lock: $(cat holder.out holder.err)"
else
  code=0
  wpxdb lock t.dbf 2 0 >other.out 2>other.err || code=$?
  if [ "$code" = 1 ] && grep -q 'record 2 is locked by another workstation' other.err; then
    pass "a second pxdb.exe is refused the record the first holds"
  else
    fail "the second pxdb.exe got record 2 (exit $code): $(cat other.out other.err)"
  fi
  if wpxdb lock t.dbf 1 0 >/dev/null 2>&1; then
    pass "the second pxdb.exe locks another record"
  else
    fail "the second pxdb.exe could not lock record 1"
  fi
  code=0
  printf '{"NAME":"three"}\n' | wpxdb append t.dbf >/dev/null 2>other.err || code=$?
  if [ "$code" = 1 ] && grep -q 'DOS Error 32' other.err; then
    pass "an exclusive open of a table open elsewhere fails with the sharing error"
  else
    fail "the exclusive open beside the holder gave exit $code: $(cat other.err)"
  fi
fi
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true
cd "$WORK"

# --- 3. pxupdate.exe applies an update to a sample installation -----------------------
INST="$WORK/parvex"
UPD="$WORK/update"
# The update is made with pxdb.exe too, called by sample-update.sh through wine_pxdb.sh.
wpxdb sample "$(winpath "$INST")" >/dev/null
PX_WINE_BUILD="$BUILD" PX_WINE_TOOLS="$TOOLS" \
  sh "$HERE/../scripts/sample-update.sh" "$HERE/wine_pxdb.sh" "$INST" "$UPD" "$WORK/stage" >/dev/null
code=0
(cd "$INST" && PX_UI=console PX_UPDATE_FROM="$(winpath "$UPD")\\" \
  sh "$HERE/wine_run.sh" "$BUILD" "$TOOLS/pxupdate.exe" </dev/null >"$WORK/update.out" 2>&1) ||
  code=$?
if [ "$code" = 0 ] && wpxdb struct "$(winpath "$INST/customer.dbf")" | grep -q BALANCE; then
  pass "pxupdate.exe applied the update (customer has its new field)"
else
  fail "pxupdate.exe (exit $code):"
  tail -n 20 "$WORK/update.out"
fi
if wpxdb check --catalogue "$(winpath "$INST")" >"$WORK/check.out" 2>&1; then
  pass "pxdb.exe check --catalogue passes after the update"
else
  fail "pxdb.exe check --catalogue:"
  tail -n 20 "$WORK/check.out"
fi

[ "$failures" = 0 ] || exit 1
echo "All checks of the Windows programs passed."
