#!/bin/sh
# Benchmark of bex recover: on the 2 GiB heap table of run_unload.sh (object
# 90001, no dictionary, so recover guesses its columns), times in one run
# `cat` of the file (page cached), `bex recover --threads 2`, and the road
# by hand: SCAN DATABASE, then the parallel UNLOAD OBJECT with the right
# column types and THREADS 2, then `cat` of the data file it wrote. Prints
# the seconds of each and the ratio of recover to the road by hand.
#
#   bench/run_recover.sh [rows]
#
# BEX_BENCH_BUILD and BEX_BENCH_DIR as for run_unload.sh. Not run by the
# tests.
set -eu
rows=${1:-10750000}
. "$(dirname "$0")/big_table.sh"
columns="COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER"
now() { date +%s.%N; }

cat big.dbf > /dev/null
t0=$(now); cat big.dbf > /dev/null; t1=$(now)
cat_s=$(echo "$t1 - $t0" | bc -l)

rm -rf recovered byhand && mkdir byhand
t0=$(now)
"$build/bex" recover --threads 2 -o recovered big.dbf > recover.out 2>&1 || true
t1=$(now)
recover_s=$(echo "$t1 - $t0" | bc -l)

echo "$PWD/big.dbf" > byhand/big.cfg
printf '%s\n' "OPEN big.cfg" "SET THREADS 2" "SCAN DATABASE" \
  "UNLOAD OBJECT 90001 $columns TO big.txt;" > byhand/road.sql
t0=$(now)
(cd byhand && "$build/bex" < road.sql > road.out 2>&1)
cat byhand/big.txt > /dev/null
t1=$(now)
hand_s=$(echo "$t1 - $t0" | bc -l)

echo "load average: $(cut -d" " -f1-3 /proc/loadavg), $(nproc) cores"
printf 'cat of the data file (%s bytes): %.2f s\n' "$bytes" "$cat_s"
printf 'bex recover --threads 2:         %.2f s (%s)\n' "$recover_s" "$(grep -E '^  rows' recover.out | tr -s ' ')"
printf 'by hand (SCAN DATABASE, UNLOAD THREADS 2, cat): %.2f s\n' "$hand_s"
echo "$recover_s $hand_s" | awk '{ printf "recover / by hand: %.2f\n", $1 / $2 }'
