#!/bin/sh
# Benchmark of LIST TRUNCATED at ERP scale: for each table count given
# (10,000 and 100,000 by default) forges a SYSTEM data file whose core
# dictionary describes user ERP with that many tables of COLUMNS columns
# (see forge_big_dict.cc), unloads the dictionary and scans the file (the
# scan listing BEXEXT.TXT then names the dictionary's own clusters, which
# no TAB$ row of ERP owns: LIST TRUNCATED puts each to the column test
# against every table of ERP), and times, each a fresh process:
#
#   list-truncated  OPEN, LIST TRUNCATED ERP TO erp_truncated.txt
#
# beside a page-cached `cat` of the dictionary files and the listing in the
# same run, with the ratio, the CPU seconds and the peak RSS. Linear time
# shows as a ratio that stays the same from one size to the next.
#
#   bench/run_truncated.sh [COLUMNS] [TABLES...]
#
# BEX_BENCH_BUILD (default build-bench; an existing build directory keeps
# its settings, BEX_BENCH is turned on) and BEX_BENCH_DIR (default
# /tmp/bex-trunc-bench) choose where to build and where the files go; the
# forged files are kept and reused. Not run by the tests.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-trunc-bench}
columns=${1:-20}
[ $# -gt 0 ] && shift
sizes=${*:-10000 100000}

if [ -f "$build/CMakeCache.txt" ]; then
  cmake -B "$build" -DBEX_BENCH=ON >/dev/null
else
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 bex forge_big_dict >/dev/null
bex=$build/bex

# seconds COMMAND...: wall-clock seconds of the command (output dropped).
seconds() {
  start=$(date +%s.%N)
  "$@" > /dev/null
  echo "$(date +%s.%N) - $start" | bc -l
}

for tables in $sizes; do
  dir=$work/$tables-$columns
  mkdir -p "$dir/BEXDICT"
  cd "$dir"
  if [ ! -f dict.dbf ]; then
    echo "forging $tables tables of $columns columns ..."
    "$build/forge_big_dict" dict.dbf "$tables" "$columns" > /dev/null
  fi
  echo dict.dbf > dict.cfg
  if [ ! -f BEXDICT/BEXEXT.TXT ]; then
    printf '%s\n' "OPEN dict.cfg" 'UNLOAD TABLE DICT$;' "SCAN DATABASE;" | "$bex" > prepare.out
  fi
  cat BEXDICT/BEX*.TXT > /dev/null  # into the page cache
  cat_s=$(seconds cat BEXDICT/BEX*.TXT)
  printf '%s\n' "OPEN dict.cfg" "LIST TRUNCATED ERP TO erp_truncated.txt" > run.in
  secs=$(seconds sh -c "/usr/bin/time -v '$bex' < run.in > run.out 2> run.time")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' run.time)
  cpu=$(sed -n 's/.*\(User\|System\) time (seconds): *//p' run.time | paste -sd+ | bc -l)
  awk -v n="$tables" -v s="$secs" -v c="$cat_s" -v cpu="$cpu" -v rss="$rss" \
      -v bytes="$(cat BEXDICT/BEX*.TXT | wc -c)" -v runs="$(wc -l < BEXDICT/BEXEXT.TXT)" 'BEGIN {
    printf "%7d tables: LIST TRUNCATED %7.2f s (cpu %6.2f s), cat of the %d bytes of dictionary files and listing (%d runs) %6.3f s: %6.1f times as long, peak RSS %d KB\n",
      n, s, cpu, bytes, runs, c, s / c, rss }'
  echo "         $(cat erp_truncated.txt | head -1)"
done
