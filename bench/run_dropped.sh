#!/bin/sh
# Benchmark of LIST DROPPED at ERP scale: for each table count (10,000 and
# 100,000 by default) forges a SYSTEM data file whose dictionary describes
# user ERP (see forge_big_dict.cc) with every second table dropped with
# PURGE (its OBJ$, TAB$, IND$ and COL$ rows marked deleted), runs the
# bootstrap once, then in one run times `cat` of the dictionary files LIST
# DROPPED reads (the live OBJ$ file for its look-ups and the three files of
# deleted rows, page cached) and LIST DROPPED ERP TO dropped.sql in a fresh
# bex process. Linear time shows as a like ratio to cat at each size. The
# figures are indicative on a shared machine. Not run by the tests.
#
#   bench/run_dropped.sh [COLUMNS] [TABLES...]
#
# BEX_BENCH_BUILD (default build-bench) and BEX_BENCH_DIR (default
# /tmp/bex-dropped-bench) choose where to build and where the files go; a
# build directory that is already configured is only built (it must have
# BEX_BENCH on).
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-dropped-bench}
columns=${1:-20}
[ $# -gt 0 ] && shift
sizes=${*:-10000 100000}

[ -f "$build/build.ninja" ] ||
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF >/dev/null
ninja -C "$build" -j2 bex forge_big_dict >/dev/null
bex=$build/bex

. "$src/bench/cat_time.sh"

for tables in $sizes; do
  dir=$work/$tables
  mkdir -p "$dir/BEXDICT"
  cd "$dir"
  "$build/forge_big_dict" dict.dbf "$tables" "$columns" 2 > /dev/null
  echo dict.dbf > dict.cfg
  printf 'OPEN dict.cfg\nUNLOAD TABLE DICT$;\n' | "$bex" > dict.out
  files="BEXDICT/BEXOBJ.TXT BEXDICT/BEXOBJDEL.TXT BEXDICT/BEXTABDEL.TXT BEXDICT/BEXCOLDEL.TXT"
  cat_s=$(catTime $files)
  t0=$(now)
  echo "LIST DROPPED ERP TO dropped.sql" | "$bex" > list.out
  t1=$(now)
  secs=$(echo "$t1 - $t0" | bc -l)
  listed=$(grep -c '^ UNLOAD TABLE ERP\.' dropped.sql || true)
  awk -v n="$tables" -v d="$listed" -v s="$secs" -v c="$cat_s" -v b="$(cat $files | wc -c)" 'BEGIN {
    printf "%7d tables, %6d dropped listed: LIST DROPPED %7.3f s, cat of %d bytes %6.3f s, ratio %6.1f, %.2f us per table\n",
      n, d, s, b, c, s / c, s * 1e6 / n }'
done
