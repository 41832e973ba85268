#!/bin/sh
# Times a whole update at several sizes of installation and, given a second build, runs
# the same update with it side by side and compares what the two left behind.
#
#   scripts/scale-bench.sh BUILD_DIR [OTHER_BUILD_DIR]
#
# For every scale in SCALES (default "30 300"; 3000 is about ten million records and
# needs some 6 GB of disk) it writes an installation with `pxdb sample --scale N` and the
# main job's update (scripts/sample-update.sh), then, for each build, installs the
# update into its own copy of the installation with pxupdate on the console and reports
#   - the time of every phase, taken from the timestamps of the texts the update shows
#     (backup, staging, migration, reset, rebuild, repairs, install); a build that writes
#     phase times (PX_PHASE_TIMES) adds the repairs one by one;
#   - the peak resident memory of pxupdate and of pkzip (kB).
# With two builds it then compares, byte for byte, every table, memo and index file,
# the entries of the backup archive (name, size, CRC; tested with `unzip -t` and
# `pkzip -t`) and the texts shown (the pacer's per-record texts left out), and prints
# "same" or what differs. It ends non-zero when something differs.
#
# BENCH_DUMP=1 also times `pxdb dump` of the largest table against shapelib's `dbfdump`
# (when installed). BENCH_DIR sets the work folder (default: a temporary one, removed at
# the end unless BENCH_KEEP=1).
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
BUILDS="$(cd "$1" && pwd)"
[ $# -ge 2 ] && BUILDS="$BUILDS $(cd "$2" && pwd)"
SCALES="${SCALES:-30 300}"
WORK="${BENCH_DIR:-$(mktemp -d)}"
mkdir -p "$WORK"
if [ "${BENCH_KEEP:-0}" != "1" ] && [ -z "${BENCH_DIR:-}" ]; then trap 'rm -rf "$WORK"' EXIT; fi
status=0

# Reads the update's console output, stamps each line with the seconds since the start
# and, at the end, prints the time of each phase as "NAME SECONDS" lines.
phases() {
  perl -MTime::HiRes=time -e '
    my $t0 = $ARGV[0]; shift @ARGV;
    my @order = qw(dialog backup staging migration reset rebuild repairs install);
    my (%sum, $cur, $since);
    sub phase_of {
      local $_ = shift;
      return "backup" if /^\[(Making Compulsory Backup|Zip \(Working\))/ || /^(Creating\/updating|  adding:|\d+ file\(s\))/;
      return "staging" if /^\[Updating ParVex\] (Please Wait|Copying PXUPD|Copying Setup Files)/;
      return "migration" if /^\[Updating ParVex\] (Opening Setup|Updating |Copying |Databases Updated)/;
      return "reset" if /Resetting INDEXDEF Paths/;
      return "rebuild" if /Rebuilding Index Files|Indexing |Preparing Array/;
      return "repairs" if /Housekeeping Routine/;
      return "install" if /Copying (EXE|DLL) files|Cleaning Up Temporary Area/;
      return $cur // "dialog";
    }
    open(my $log, ">", $ARGV[0]) or die;
    while (my $line = <STDIN>) {
      my $now = time - $t0;
      printf $log "%.3f %s", $now, $line;
      my $p = phase_of($line);
      if (!defined $cur || $p ne $cur) {
        $sum{$cur} += $now - $since if defined $cur;
        ($cur, $since) = ($p, $now);
      }
    }
    my $end = time - $t0;
    $sum{$cur} += $end - $since if defined $cur;
    printf "%s %.2f\n", $_, $sum{$_} // 0 for @order;
    printf "total %.2f\n", $end;
  ' "$@"
}

# run LABEL BUILD SCALE_DIR: installs the update with BUILD into a copy of the
# installation, kept as SCALE_DIR/LABEL.
run() {
  label="$1" tools="$2/tools" dir="$3"
  # Every build works in a folder of the same name, so that the texts naming it agree.
  inst="$dir/inst"
  rm -rf "$inst" "$dir/$label"
  cp -a "$dir/orig" "$inst"
  # pkzip is found in the installation folder first: this one notes its peak memory.
  printf '#!/bin/sh\nexec /usr/bin/time -f %%M -o "%s" "%s" "$@"\n' \
    "$dir/$label.pkzip-mem" "$tools/pkzip" > "$inst/pkzip"
  chmod +x "$inst/pkzip"
  t0="$(perl -MTime::HiRes=time -e 'printf "%.6f", time')"
  (cd "$inst" && PX_DRIVES="D=$dir/upd" PX_UI=console PX_UPDATE_FROM='D:\' PX_PHASE_TIMES=1 \
    /usr/bin/time -f %M -o "$dir/$label.mem" "$tools/pxupdate" </dev/null 2>"$dir/$label.err") |
    phases "$t0" "$dir/$label.log" > "$dir/$label.phases"
  rm -f "$inst/pkzip"
  mv "$inst" "$dir/$label"
}

# The figures of one run as one line.
report() {
  label="$1" dir="$2"
  own="$(awk '$1 == "phase" && $4 > m { m = $4 } END { print m + 0 }' "$dir/$label.err")"
  all="$(tail -n 1 "$dir/$label.mem")"
  zip="$(tail -n 1 "$dir/$label.pkzip-mem" 2>/dev/null || echo -)"
  # Without a phase timer only the larger of pxupdate and pkzip is known.
  [ "$own" = "0" ] && own="<=$all"
  printf '%-8s %-6s' "$scale" "$label"
  awk '{ printf " %9s", $2 }' "$dir/$label.phases"
  printf ' %11s %10s\n' "$own" "$zip"
  timers="$(awk '$1 == "phase" { printf " %s=%s", $2, $3 }' "$dir/$label.err")"
  [ -n "$timers" ] && printf '%-15s timers:%s\n' "" "$timers"
  return 0
}

# Everything the update left that the two builds must agree on.
compare() {
  dir="$1"
  a="$dir/new" b="$dir/old"
  differs=""
  for f in "$a"/*.dbf "$a"/*.dbt "$a"/*.ntx "$b"/*.dbf "$b"/*.dbt "$b"/*.ntx; do
    n="$(basename "$f")"
    cmp -s "$a/$n" "$b/$n" || differs="$differs $n"
  done
  for s in new old; do
    unzip -v "$dir/$s"/backup/*.zip | awk '$7 ~ /^[0-9a-f]{8}$/ { print $1, $7, $8 }' | sort > "$dir/$s.crcs"
    unzip -tq "$dir/$s"/backup/*.zip >/dev/null || differs="$differs unzip-t($s)"
    "$dir/$s.tools/pkzip" -t "$dir/$s"/backup/*.zip >/dev/null || differs="$differs pkzip-t($s)"
    grep -v 'CLEANUP (cqass) [0-9]' "$dir/$s.log" | cut -d' ' -f2- > "$dir/$s.texts"
  done
  cmp -s "$dir/new.crcs" "$dir/old.crcs" || differs="$differs backup-entries"
  cmp -s "$dir/new.texts" "$dir/old.texts" || differs="$differs shown-texts"
  if [ -z "$differs" ]; then
    echo "scale $scale: tables, memos, indexes, backup entries and shown texts the same"
  else
    echo "scale $scale: DIFFERENT:$differs"
    status=1
  fi
}

printf '%-8s %-6s %9s %9s %9s %9s %9s %9s %9s %9s %9s %11s %10s\n' scale build dialog backup \
  staging migration reset rebuild repairs install total pxupdate-kB pkzip-kB
for scale in $SCALES; do
  dir="$WORK/scale$scale"
  first="${BUILDS%% *}"
  if [ ! -f "$dir/upd/PXUPD.zip" ]; then
    rm -rf "$dir"
    mkdir -p "$dir"
    "$first/tools/pxdb" sample "$dir/orig" --scale "$scale" >/dev/null
    printf '#!/bin/sh\ndate > px-started\n' > "$dir/orig/PX"
    chmod +x "$dir/orig/PX"
    "$here/sample-update.sh" "$first/tools/pxdb" "$dir/orig" "$dir/upd" "$dir/stage" >/dev/null
  fi
  label=new
  for build in $BUILDS; do
    ln -sfn "$build/tools" "$dir/$label.tools"
    run "$label" "$build" "$dir"
    report "$label" "$dir"
    label=old
  done
  [ "$BUILDS" != "$first" ] && compare "$dir"
  if [ "${BENCH_DUMP:-0}" = "1" ]; then
    big="$(ls -S "$dir/orig"/*.dbf | head -n 1)"
    for build in $BUILDS; do
      /usr/bin/time -f "%e s  pxdb dump $(basename "$big") ($build)" \
        "$build/tools/pxdb" dump "$big" >/dev/null
    done
    if command -v dbfdump >/dev/null; then
      /usr/bin/time -f "%e s  dbfdump $(basename "$big")" dbfdump "$big" >/dev/null
    fi
  fi
  # The copies of the installation are large; the generated one is kept for the next run.
  rm -rf "$dir/new" "$dir/old"
done
# Growth against scale 300 (about ten times the records at 3000): a phase that grows
# more than twelve times grows faster than the records.
for big in $SCALES; do
  [ "$big" -gt 300 ] 2>/dev/null || continue
  for label in new old; do
    a="$WORK/scale300/$label.phases" b="$WORK/scale$big/$label.phases"
    [ -f "$a" ] && [ -f "$b" ] || continue
    printf 'scale %s / 300 (%s):' "$big" "$label"
    awk 'NR == FNR { t[$1] = $2; next }
         t[$1] > 0.05 { printf " %s %.1fx", $1, $2 / t[$1] }' "$a" "$b"
    echo
  done
done
exit $status
