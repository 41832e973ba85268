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

"$(dirname "$0")/sample-update.sh" "$PXDB" "$INST" "$UPD" "$STAGE"

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
echo "== update.log: the section this run added"
if [ -f "$INST/update.log" ]; then
  tr -d '\r' < "$INST/update.log" |
    awk '/^==== Update started /{n=0} {l[n++]=$0} END{for(i=0;i<n;i++) print "  " l[i]}'
else
  echo "  (no update.log)"
fi
