#!/bin/sh
# Benchmark of UNLOAD OBJECT: forges a heap table (object 90001 in one 8 KB
# block file: NUMBER, VARCHAR2, VARCHAR2 of 100-200 bytes, DATE, NUMBER;
# 10,750,000 rows by default, about 2 GiB of blocks), then in one run times
# `cat` of the data file to /dev/null (page cached) and UNLOAD OBJECT of the
# table to a text file, through the segment header's extent map and again
# through the full scan (segment header marked corrupt), and once more in
# OUTPUT_STYLE CSV through the extent map. Reports rows/s,
# MB/s of data file, the ratio to cat and the peak RSS of bex.
#
#   bench/run_unload.sh [rows]
#
# BEX_BENCH_BUILD (default build-bench) and BEX_BENCH_DIR (default
# /tmp/bex-unload-bench) choose where to build and where the files go. The
# forged file is kept and reused while the row count stays the same. Not
# run by the tests.
set -eu
rows=${1:-10750000}
. "$(dirname "$0")/big_table.sh"
columns="COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER"

now() { date +%s.%N; }

cat big.dbf > /dev/null  # bring the file into the page cache
t0=$(now)
cat big.dbf > /dev/null
t1=$(now)
cat_s=$(echo "$t1 - $t0" | bc -l)

# run NAME STATEMENTS: one bex run, timed, with its peak RSS.
run() {
  name=$1
  shift
  printf '%s\n' "$@" > "$name.sql"
  rm -f big.txt
  t0=$(now)
  /usr/bin/time -v "$build/bex" < "$name.sql" > "$name.out" 2> "$name.time"
  t1=$(now)
  secs=$(echo "$t1 - $t0" | bc -l)
  got=$(sed -n 's/^Sucessfully unload \([0-9]*\) rows.*/\1/p' "$name.out")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$name.time")
  user=$(sed -n 's/.*User time (seconds): *//p' "$name.time")
  sys=$(sed -n 's/.*System time (seconds): *//p' "$name.time")
  out=$(stat -c %s big.txt)
  awk -v n="$name" -v rows="$got" -v s="$secs" -v b="$bytes" -v c="$cat_s" -v rss="$rss" -v out="$out" \
      -v u="$user" -v k="$sys" 'BEGIN {
    printf "%-10s %9d rows in %6.2f s: %5.2f M rows/s, %6.1f MB/s of data file; %4.1f times as long as cat\n",
      n, rows, s, rows / s / 1e6, b / s / 1e6, s / c
    printf "%-10s cpu %5.2f s user + %5.2f s system (%5.2f M rows per user second), text %6.1f MB, peak RSS %d KB\n",
      "", u, k, rows / u / 1e6, out / 1e6, rss }'
}

echo "data file: $bytes bytes; cat to /dev/null: $(printf '%.3f' "$cat_s") s ($(echo "$bytes / $cat_s / 1000000" | bc) MB/s)"
echo "load average: $(cut -d" " -f1-3 /proc/loadavg), $(nproc) cores"
run extent-map "OPEN big.cfg" "UNLOAD OBJECT 90001 $columns TO big.txt;"
run full-scan "OPEN big.cfg" "CORRUPT FILE 9 BLOCK 2" "UNLOAD OBJECT 90001 $columns TO big.txt;"
run csv "OPEN big.cfg" "SET OUTPUT_STYLE CSV" "UNLOAD OBJECT 90001 $columns TO big.txt;"
