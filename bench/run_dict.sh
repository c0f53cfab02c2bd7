#!/bin/sh
# Benchmark of the dictionary at ERP scale: forges a SYSTEM data file whose
# core dictionary describes user ERP with TABLES empty tables of COLUMNS
# columns each (100,000 and 20 by default: 2,000,000 columns; see
# forge_big_dict.cc), then in one run times `cat` of the dictionary files
# to /dev/null (page cached) and these bex runs, each a fresh process:
#
#   dict$       OPEN, UNLOAD TABLE DICT$ (also against cat of the SYSTEM file)
#   list-table  LIST TABLE ERP TO erp.sql
#   list-ddl    LIST DDL ERP TO erp_ddl.sql
#   road        LIST TABLE ERP TO road.sql and @road.sql: every UNLOAD TABLE
#               line over the empty tables (each writes its control file and
#               CREATE TABLE script, removed again as the table is empty)
#
# Reports seconds, the ratio to cat of the dictionary files and the peak RSS
# of each, and checks the line counts of the LIST files.
#
#   bench/run_dict.sh [TABLES] [COLUMNS]
#
# BEX_BENCH_BUILD (default build-bench) and BEX_BENCH_DIR (default
# /tmp/bex-dict-bench) choose where to build and where the files go; the
# forged file is kept and reused while its size stays the same.
# BEX_BENCH_BEX times another bex binary on the same files (an older build,
# for figures before a change); BEX_BENCH_ROAD=N runs only the first N lines
# of the road (the LIST of the road is then not timed). Not run by the tests.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-dict-bench}
tables=${1:-100000}
columns=${2:-20}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF >/dev/null
ninja -C "$build" -j2 bex forge_big_dict >/dev/null
bex=${BEX_BENCH_BEX:-$build/bex}
mkdir -p "$work"
cd "$work"
if [ ! -f dict.dbf ] || [ "$(cat dict.size 2>/dev/null)" != "$tables $columns" ]; then
  echo "forging $tables tables of $columns columns ..."
  "$build/forge_big_dict" dict.dbf "$tables" "$columns"
  echo "$tables $columns" > dict.size
fi
echo dict.dbf > dict.cfg
mkdir -p BEXDICT

. "$src/bench/cat_time.sh"

# run NAME STATEMENTS...: one bex run in the working directory, timed
# (secs) with its peak RSS (rss, KB); the console output goes to NAME.out.
run() {
  name=$1
  shift
  printf '%s\n' "$@" > "$name.in"
  t0=$(now)
  /usr/bin/time -v "$bex" < "$name.in" > "$name.out" 2> "$name.time"
  t1=$(now)
  secs=$(echo "$t1 - $t0" | bc -l)
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$name.time")
  cpu=$(sed -n 's/.*\(User\|System\) time (seconds): *//p' "$name.time" | paste -sd+ | bc -l)
}

# report NAME: the figures of the last run (cpu: user and system seconds).
report() {
  awk -v n="$1" -v s="$secs" -v c="$cat_s" -v cpu="$cpu" -v rss="$rss" 'BEGIN {
    printf "%-10s %8.2f s (cpu %7.2f s), %8.1f times as long as cat of the dictionary files, peak RSS %6d KB\n",
      n, s, cpu, s / c, rss }'
}

sys_s=$(catTime dict.dbf)
run 'dict$' "OPEN dict.cfg" 'UNLOAD TABLE DICT$;'
cat_s=$(catTime BEXDICT/BEX*.TXT)
echo "SYSTEM file: $(stat -c %s dict.dbf) bytes, cat $(printf '%.3f' "$sys_s") s;" \
  "dictionary files: $(cat BEXDICT/BEX*.TXT | wc -c) bytes, cat $(printf '%.3f' "$cat_s") s"
report 'dict$'
awk -v s="$secs" -v c="$sys_s" 'BEGIN { printf "%-10s %8.1f times as long as cat of the SYSTEM file\n", "", s / c }'

run list-table "LIST TABLE ERP TO erp.sql"
report list-table
run list-ddl "LIST DDL ERP TO erp_ddl.sql"
report list-ddl
echo "LIST TABLE: $(wc -l < erp.sql) lines; LIST DDL: $(grep -c '^CREATE TABLE' erp_ddl.sql) tables," \
  "$(grep -c '^ "' erp_ddl.sql) columns"

# The road runs in a directory of its own, where its files come and go.
rm -rf road
mkdir road
ln -s ../BEXDICT road/BEXDICT
cd road
echo ../dict.dbf > road.cfg
if [ -n "${BEX_BENCH_ROAD:-}" ]; then
  head -n "$BEX_BENCH_ROAD" ../erp.sql > road.sql
  run road "OPEN road.cfg" "@road.sql"
else
  run road "OPEN road.cfg" "LIST TABLE ERP TO road.sql" "@road.sql"
fi
report road
echo "road: $(grep -c '^ UNLOAD TABLE' road.sql) UNLOAD lines, $(grep -c '^Sucessfully unload 0 rows' road.out) unloads"
cd ..
rm -rf road
