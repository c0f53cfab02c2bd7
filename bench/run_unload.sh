#!/bin/sh
# Benchmark of UNLOAD OBJECT: forges a heap table (object 90001 in one 8 KB
# block file: NUMBER, VARCHAR2, VARCHAR2 of 100-200 bytes, DATE, NUMBER;
# 10,750,000 rows by default, about 2 GiB of blocks), then in one run times
# `cat` of the data file to /dev/null (page cached) and UNLOAD OBJECT of the
# table on one thread, through the segment header's extent map and again
# through the full scan (segment header marked corrupt), and once more in
# OUTPUT_STYLE CSV through the extent map. Each route runs
# BEX_BENCH_REPEAT times (default 3) to a new text file (the last one
# removed and written back first, so that no run waits for the write-back
# of the one before) and as many times to /dev/null. Reports, for the best
# run of each: rows/s, MB/s of data file, the ratio to cat, the CPU seconds
# and the peak RSS of bex; the slowest run beside it; and the ratio of the
# file to /dev/null: what the kernel's copy into the page cache adds.
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

# once NAME TARGET STATEMENTS: one bex run unloading to TARGET, timed: secs,
# got (rows), rss, user and sys.
once() {
  name=$1 target=$2
  shift 2
  printf '%s\n' "$@" "UNLOAD OBJECT 90001 $columns TO $target;" > "$name.sql"
  t0=$(now)
  /usr/bin/time -v "$build/bex" < "$name.sql" > "$name.out" 2> "$name.time"
  t1=$(now)
  secs=$(echo "$t1 - $t0" | bc -l)
  got=$(sed -n 's/^Sucessfully unload \([0-9]*\) rows.*/\1/p' "$name.out")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$name.time")
  user=$(sed -n 's/.*User time (seconds): *//p' "$name.time")
  sys=$(sed -n 's/.*System time (seconds): *//p' "$name.time")
}

# best NAME TARGET STATEMENTS: the best of repeat runs (and the slowest):
# best, worst, and the best run's got, rss, user and sys; out, the size of
# big.txt, when written. A file target is removed, and the system's dirty pages written
# back, before each run.
best() {
  name=$1 target=$2
  shift 2
  best="" worst=""
  for i in $(seq "$repeat"); do
    if [ "$target" = big.txt ]; then rm -f big.txt; sync; fi
    once "$name" "$target" "$@"
    if [ -z "$best" ] || [ "$(echo "$secs < $best" | bc -l)" = 1 ]; then
      best=$secs b_got=$got b_rss=$rss b_user=$user b_sys=$sys
    fi
    if [ -z "$worst" ] || [ "$(echo "$secs > $worst" | bc -l)" = 1 ]; then worst=$secs; fi
  done
  [ "$target" != big.txt ] || out=$(stat -c %s big.txt)
}

# report NAME TARGET: the line of the best run.
report() {
  awk -v n="$1" -v t="$2" -v rows="$b_got" -v s="$best" -v w="$worst" -v b="$bytes" -v c="$cat_s" -v rss="$b_rss" \
      -v out="$out" -v u="$b_user" -v k="$b_sys" 'BEGIN {
    printf "%-10s to %-9s %9d rows in %5.2f s (slowest %5.2f): %5.2f M rows/s, %6.1f MB/s of data file, %4.2f times cat\n",
      n, t, rows, s, w, rows / s / 1e6, b / s / 1e6, s / c
    printf "%-10s cpu %5.2f s user + %5.2f s system, text %6.1f MB, peak RSS %d KB\n", "", u, k, out / 1e6, rss }'
}

# run NAME STATEMENTS: the route to a file and to /dev/null, and the ratio.
run() {
  name=$1
  shift
  best "$name" big.txt "$@"
  report "$name" file
  to_file=$best
  rm -f big.txt
  ln -sf /dev/null null.txt
  best "$name" null.txt "$@"
  report "$name" /dev/null
  awk -v f="$to_file" -v z="$best" 'BEGIN { printf "%-10s to a file %4.2f times as long as to /dev/null\n", "", f / z }'
}

repeat=${BEX_BENCH_REPEAT:-3}
echo "data file: $bytes bytes; cat to /dev/null: $(printf '%.3f' "$cat_s") s ($(echo "$bytes / $cat_s / 1000000" | bc) MB/s)"
echo "load average: $(cut -d" " -f1-3 /proc/loadavg), $(nproc) cores"
run extent-map "OPEN big.cfg"
run full-scan "OPEN big.cfg" "CORRUPT FILE 9 BLOCK 2"
run csv "OPEN big.cfg" "SET OUTPUT_STYLE CSV"
