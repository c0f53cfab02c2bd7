#!/bin/sh
# Benchmark of SQL over the 2 GiB table of bench/big_table.sh (object 90001,
# no dictionary: the table objd_90001 of the scan's listing, its columns
# guessed). In one run, best of three and the spread of each, the whole bex
# process every time:
#   cat of big.dbf to /dev/null (page cached), SCAN DATABASE, UNLOAD OBJECT
#   of the table as text through the scan's listing (the same blocks the
#   queries read), SELECT COUNT(*), SELECT SUM(<a NUMBER column>), the exact
#   bex_sum of the same column, and SELECT * ... LIMIT 10 (its own time: the
#   process less a process that only OPENs).
# Targets: COUNT no slower than SCAN DATABASE, SUM within 1.5 times UNLOAD
# text, LIMIT 10 under 50 ms. Prints the load average beside the figures:
# on a shared machine they are only as good as it is idle.
#
#   bench/run_sql.sh [rows]
#
# BEX_BENCH_BUILD (default build-bench) and BEX_BENCH_DIR (default
# /tmp/bex-unload-bench) as for run_unload.sh; the statements run in
# BEX_BENCH_DIR/sql, whose listing stays out of the other benchmarks' way.
# Not run by the tests.
set -eu
rows=${1:-10750000}
. "$(dirname "$0")/big_table.sh"
mkdir -p "$work/sql"
cd "$work/sql"
echo "$work/big.dbf" > big.cfg
columns="COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER"

now() { date +%s.%N; }

# best NAME COMMAND...: runs the command three times; prints the best time
# and the spread (slowest less best), and keeps the best in $best.
best() {
  name=$1
  shift
  times=""
  for i in 1 2 3; do
    t0=$(now)
    "$@"
    t1=$(now)
    times="$times $(echo "$t1 - $t0" | bc -l)"
  done
  best=$(printf '%s\n' $times | sort -g | head -1)
  spread=$(printf '%s\n' $times | sort -g | awk 'NR == 1 {lo = $1} {hi = $1} END {print hi - lo}')
  printf '%-22s best %8.3f s, spread %6.3f s   (load %s)\n' "$name" "$best" "$spread" "$(cut -d' ' -f1-3 /proc/loadavg)"
}

# bex STATEMENT...: one bex run of the statements after OPEN.
bex() {
  printf '%s\n' "OPEN big.cfg" "$@" > run.sql
  "$build/bex" < run.sql > run.out 2>&1
}
cat_file() { cat "$work/big.dbf" > /dev/null; }
unload_text() {
  bex "UNLOAD OBJECT 90001 $columns TO big.txt;"
  rm -f big.txt
}

echo "data file: $bytes bytes; $(nproc) cores"
cat "$work/big.dbf" > /dev/null
best cat cat_file
best "SCAN DATABASE" bex "SCAN DATABASE"
scan=$best
best "UNLOAD OBJECT text" unload_text
unload=$best
best "SELECT COUNT(*)" bex "SQL -o csv SELECT COUNT(*) FROM objd_90001;"
count=$best
echo "  answer: $(tail -n 2 run.out | head -n 1 | sed 's/^BEX> //')"
best "SELECT SUM(COL1)" bex "SQL -o csv SELECT SUM(col1) FROM objd_90001;"
sum=$best
echo "  answer: $(tail -n 2 run.out | head -n 1 | sed 's/^BEX> //')"
best "SELECT bex_sum(COL1)" bex "SQL -o csv SELECT bex_sum(col1) FROM objd_90001;"
echo "  answer: $(tail -n 2 run.out | head -n 1 | sed 's/^BEX> //')"
# A bex process costs tens of milliseconds before any statement (loading,
# start-up, OPEN): the query's own time is the difference to OPEN alone.
best "OPEN alone" bex
open=$best
best "SELECT * LIMIT 10" bex "SQL -o csv SELECT * FROM objd_90001 LIMIT 10;"
limit=$(echo "$best - $open" | bc -l)
echo "  answer: $(grep -c '^[0-9]' run.out) rows; the query alone: $(printf '%.0f' "$(echo "$limit * 1000" | bc -l)") ms"
awk -v c="$count" -v s="$scan" -v m="$sum" -v u="$unload" -v l="$limit" 'BEGIN {
  printf "COUNT / SCAN DATABASE %.2f (target <= 1): %s\n", c / s, c <= s ? "met" : "missed"
  printf "SUM / UNLOAD text     %.2f (target <= 1.5): %s\n", m / u, m <= 1.5 * u ? "met" : "missed"
  printf "LIMIT 10 (the query)  %.0f ms (target < 50): %s\n", l * 1000, l < 0.05 ? "met" : "missed" }'
