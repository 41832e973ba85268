#!/bin/sh
# Makes the main job's update for an installation: writes the tables of the update into
# STAGE and packs them into UPD/PXUPD.zip (password "tamrok").
#
#   scripts/sample-update.sh PXDB INST UPD STAGE
#
# customer: NAME widened, FAX dropped, a number and a memo field added; glastype with the
# records it brings; a new table promo; the installed catalogue plus the alias PROMO.
set -eu
PXDB="$1"
INST="$2"
UPD="$3"
STAGE="$4"
mkdir -p "$UPD" "$STAGE"

# Fields of a table as pxdb create takes them, with awk filtering the lines of struct.
fields() { "$PXDB" struct "$1" | awk "$2"; }

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
