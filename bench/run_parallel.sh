#!/bin/sh
# Benchmark of the parallel UNLOAD: the heap table of big_table.sh (object
# 90001, about 2 GiB of 8 KB blocks by default) unloaded to a text file
# with THREADS 1, 2 and 4, through the segment header's extent map and
# through the full scan with two threads, beside `cat` of the data file
# (page cached) in the same run. Reports MB/s of data file (the best of
# BEX_BENCH_REPEAT runs to /dev/null, default 3), the ratio to cat and to
# one thread, the peak RSS of bex, and checks that every parallel file
# equals the one-thread file. Print `uptime` first: the
# figures mean little on a loaded machine.
#
#   bench/run_parallel.sh [rows]
#
# BEX_BENCH_BUILD and BEX_BENCH_DIR as for run_unload.sh. Not run by the
# tests.
set -eu
rows=${1:-10750000}
. "$(dirname "$0")/big_table.sh"
columns="COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER"

now() { date +%s.%N; }
uptime
cat big.dbf > /dev/null  # into the page cache
t0=$(now)
cat big.dbf > /dev/null
t1=$(now)
cat_s=$(echo "$t1 - $t0" | bc -l)
echo "data file: $bytes bytes; cat to /dev/null: $(printf '%.3f' "$cat_s") s ($(echo "$bytes / $cat_s / 1000000" | bc) MB/s)"

one_s=""
repeat=${BEX_BENCH_REPEAT:-3}
# run NAME THREADS TARGET [STATEMENT...]: bex unloads to TARGET; secs and
# rss of the run.
run() {
  name=$1 threads=$2 target=$3
  shift 3
  printf '%s\n' "OPEN big.cfg" "SET THREADS $threads" "$@" "UNLOAD OBJECT 90001 $columns TO $target;" > "$name.sql"
  t0=$(now)
  /usr/bin/time -v "$build/bex" < "$name.sql" > "$name.out" 2> "$name.time"
  t1=$(now)
  secs=$(echo "$t1 - $t0" | bc -l)
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$name.time")
}
# unload NAME THREADS [STATEMENT...]: the file NAME.txt once (compared with
# the one-thread file), then the best of BEX_BENCH_REPEAT runs to
# /dev/null: the system's write-back of 2 GB of text would otherwise be
# timed with whichever run follows it.
unload() {
  name=$1 threads=$2
  shift 2
  rm -f "$name.txt"
  run "$name" "$threads" "$name.txt" "$@"
  same=""
  [ "$name" = one ] || { cmp -s one.txt "$name.txt" && same="same file as one thread" || same="FILE DIFFERS"; }
  [ "$name" = one ] || rm -f "$name.txt"
  sync
  ln -sf /dev/null null.txt
  best="" peak=0
  for i in $(seq "$repeat"); do
    run "$name" "$threads" null.txt "$@"
    if [ -z "$best" ] || [ "$(echo "$secs < $best" | bc -l)" = 1 ]; then best=$secs; fi
    [ "$rss" -gt "$peak" ] && peak=$rss
  done
  [ -n "$one_s" ] || one_s=$best
  awk -v n="$name" -v t="$threads" -v s="$best" -v b="$bytes" -v c="$cat_s" -v o="$one_s" -v rss="$peak" -v same="$same" \
      'BEGIN { printf "%-10s THREADS %d: %6.2f s, %6.1f MB/s, %4.2f times cat, %4.2f x one thread, peak RSS %d KB %s\n",
                      n, t, s, b / s / 1e6, s / c, o / s, rss, same }'
}

unload one 1
unload two 2
unload four 4
unload scan-two 2 "CORRUPT FILE 9 BLOCK 2"
rm -f one.txt
