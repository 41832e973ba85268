#!/bin/sh
# The main job on an already built tree: generates a sample installation, makes an
# update for it, previews it with pxdb preview, installs it with pxupdate and prints
# what changed.
#
#   scripts/main-job.sh [BUILD_DIR]
#
# The update (PXUPD.zip, password "tamrok") widens customer's NAME, drops its FAX, adds
# a number and a memo field; ships glastype with the records it brings; adds a table
# promo and a catalogue that knows it. pxupdate shows its windows when a display is
# available (press OK: the dialog already reads D:\, which is mapped to the update
# folder); otherwise it runs on the console and PX_UPDATE_FROM answers its dialog.
#
# PX_DEMO_SCALE sets the size of the installation (default 1, about 4,000 records);
# PX_DEMO_KEEP=1 keeps the folders afterwards.
set -eu
BUILD_DIR="$(cd "${1:-build}" && pwd)"
TOOLS="$BUILD_DIR/tools"
PXDB="$TOOLS/pxdb"
SCALE="${PX_DEMO_SCALE:-1}"

WORK="$(mktemp -d)"
if [ "${PX_DEMO_KEEP:-0}" = "1" ]; then
  echo "Folders kept in $WORK"
else
  trap 'rm -rf "$WORK"' EXIT
fi
INST="$WORK/parvex"   # the installation
UPD="$WORK/update"    # the update folder, drive D:
STAGE="$WORK/stage"   # what goes into the update archive
mkdir -p "$UPD" "$STAGE"

echo "== Sample installation (scale $SCALE) in $INST"
"$PXDB" sample "$INST" --scale "$SCALE"
# The main application: a stand-in that notes that it was started.
printf '#!/bin/sh\ndate > px-started\n' > "$INST/PX"
chmod +x "$INST/PX"

# Fields of a table as pxdb create takes them, with awk filtering the lines of struct.
fields() { "$PXDB" struct "$1" | awk "$2"; }

echo "== Update folder $UPD"
# customer: NAME widened to 50, FAX dropped, BALANCE and HISTORY added.
# shellcheck disable=SC2046
"$PXDB" create "$STAGE/customer.dbf" \
  $(fields "$INST/customer.dbf" \
    '$1 != "FAX" { l = ($1 == "NAME") ? 50 : $3; printf "%s:%s:%s:%s\n", $1, $2, l, $4 }') \
  BALANCE:N:12:2 HISTORY:M:10 >/dev/null
# glastype: the new price list, which replaces the installed one (BRING_RECS).
# shellcheck disable=SC2046
"$PXDB" create "$STAGE/glastype.dbf" \
  $(fields "$INST/glastype.dbf" '{ printf "%s:%s:%s:%s\n", $1, $2, $3, $4 }') >/dev/null
printf '%s\n' \
  '{"CODE":"4CL","DESC":"4mm clear float","CATEGORY":"FLT","THICK":4,"PRICE":38.5}' \
  '{"CODE":"6LAM","DESC":"6.38mm laminated safety","CATEGORY":"LAM","THICK":6.38,"PRICE":96,"SAFETY":true}' \
  '{"CODE":"10TGH","DESC":"10mm toughened","CATEGORY":"TGH","THICK":10,"PRICE":145,"SAFETY":true}' \
  | "$PXDB" append "$STAGE/glastype.dbf" >/dev/null
# promo: a new table with its records.
"$PXDB" create "$STAGE/promo.dbf" CODE:C:6 DESC:C:30 DISCOUNT:N:5:2 >/dev/null
printf '%s\n' \
  '{"CODE":"SPRING","DESC":"Spring screens offer","DISCOUNT":10}' \
  '{"CODE":"WINTER","DESC":"Winter double glazing","DISCOUNT":7.5}' \
  | "$PXDB" append "$STAGE/promo.dbf" >/dev/null
# indexdef: the installed catalogue plus the new alias.
# shellcheck disable=SC2046
"$PXDB" create "$STAGE/indexdef.dbf" \
  $(fields "$INST/indexdef.dbf" '{ printf "%s:%s:%s:%s\n", $1, $2, $3, $4 }') >/dev/null
"$PXDB" dump "$INST/indexdef.dbf" | "$PXDB" append "$STAGE/indexdef.dbf" >/dev/null
echo '{"DB_ALIAS":"PROMO","DB_NAME":"promo","IN_NAME":"promocod","IN_STR":"CODE"}' \
  | "$PXDB" append "$STAGE/indexdef.dbf" >/dev/null
# updatdef: the tables of the update.
"$PXDB" create "$STAGE/updatdef.dbf" DB_NAME:C:12 PATH:C:40 BRING_RECS:L:1 >/dev/null
printf '%s\n' \
  '{"DB_NAME":"customer","BRING_RECS":false}' \
  '{"DB_NAME":"glastype","BRING_RECS":true}' \
  '{"DB_NAME":"promo","BRING_RECS":false}' \
  '{"DB_NAME":"indexdef","BRING_RECS":true}' \
  | "$PXDB" append "$STAGE/updatdef.dbf" >/dev/null
"$PXDB" mkupdate "$UPD/PXUPD.zip" tamrok "$STAGE"/*.dbf "$STAGE"/*.dbt
ls -l "$UPD/PXUPD.zip"

MIGRATED="customer glastype promo indexdef"
REPAIRED="cqass"  # its rows without a quote code are removed by the repairs
count() { if [ -f "$INST/$1.dbf" ]; then "$PXDB" count "$INST/$1.dbf"; else echo "-"; fi; }
for t in $MIGRATED $REPAIRED; do eval "before_$t=\$(count $t)"; done

echo "== pxdb preview (what the update will do; changes nothing)"
if "$PXDB" preview "$UPD" --folder "$INST"; then
  echo "preview: nothing would be lost, nothing is in use"
else
  echo "preview: the update would lose values or finds tables in use (exit code 1)"
fi

echo "== pxupdate"
export PX_DRIVES="D=$UPD"
cd "$INST"
if { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ "${PX_UI:-}" != "console" ]; then
  echo "The update dialog reads D:\\ (the update folder): press OK."
  "$TOOLS/pxupdate"
else
  PX_UI=console PX_UPDATE_FROM='D:\' "$TOOLS/pxupdate" </dev/null
fi

echo "== Summary"
printf '%-10s %10s %10s\n' table before after
for t in $MIGRATED; do
  eval "b=\$before_$t"
  printf '%-10s %10s %10s\n' "$t" "$b" "$(count "$t")"
done
for t in $REPAIRED; do
  eval "b=\$before_$t"
  printf '%-10s %10s %10s  (repaired)\n' "$t" "$b" "$(count "$t")"
done
echo "customer now:"
"$PXDB" struct "$INST/customer.dbf" | sed 's/^/  /'
echo "indexes:"
"$PXDB" check --catalogue "$INST" | sed 's/^/  /'
echo "backup:"
for z in "$INST"/backup/*.zip; do
  printf '  %s, %s bytes, ' "backup/$(basename "$z")" "$(wc -c < "$z")"
  "$TOOLS/pkzip" -t "$z" | tail -n 1
done
if [ -f "$INST/px-started" ]; then echo "main application started"; else echo "main application NOT started"; fi
