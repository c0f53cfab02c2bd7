#!/bin/sh
# Benchmark of the parallel UNLOAD: the heap table of big_table.sh (object
# 90001, about 2 GiB of 8 KB blocks by default) unloaded to a text file
# with THREADS 1, 2 and 4, through the segment header's extent map and
# through the full scan with two threads, beside `cat` of the data file
# (page cached) in the same run. Reports MB/s of data file (the best of
# BEX_BENCH_REPEAT runs to /dev/null, default 3), the ratio to cat and to
# one thread, the slowest run, the peak RSS of bex, and checks that every parallel file
# equals the one-thread file; and what two one-thread runs side by side
# give (what two cores of this machine do at all, to read the ratio of
# two threads beside). Then the same for a CLOB table (forged by
# bench/forge_lob_table.cc, scanned once; LOB_ROWS values up to 500 KiB,
# default 16000, about 1 GB of LOB blocks): UNLOAD text of its CLOB column
# with THREADS 1 and 2 beside `cat` of its LOB file and two one-thread runs
# side by side, and the export dump of the table (UNLOAD TABLE of its CLOB
# and BLOB values into the dump's data) with THREADS 1 and 2 beside `cat`
# of both LOB files; and the peak RSS of both on tables whose values are
# all 1 MiB or all 1 GiB (the 1 GiB table is forged with BEX_BENCH_GIB=1
# only, as it writes 2 GiB per column). Print `uptime` first: the figures mean little
# on a loaded machine.
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
  best="" worst="" peak=0
  for i in $(seq "$repeat"); do
    run "$name" "$threads" null.txt "$@"
    if [ -z "$best" ] || [ "$(echo "$secs < $best" | bc -l)" = 1 ]; then best=$secs; fi
    if [ -z "$worst" ] || [ "$(echo "$secs > $worst" | bc -l)" = 1 ]; then worst=$secs; fi
    [ "$rss" -gt "$peak" ] && peak=$rss
  done
  [ -n "$one_s" ] || one_s=$best
  awk -v n="$name" -v t="$threads" -v s="$best" -v w="$worst" -v b="$bytes" -v c="$cat_s" -v o="$one_s" -v rss="$peak" -v same="$same" \
      'BEGIN { printf "%-10s THREADS %d: %6.2f s (worst %.2f), %6.1f MB/s, %4.2f times cat, %4.2f x one thread, peak RSS %d KB %s\n",
                      n, t, s, w, b / s / 1e6, s / c, o / s, rss, same }'
}

unload one 1
# What two cores give this machine's processes at all (a shared virtual
# machine may give less than two): two one-thread runs side by side, the
# best of repeat pairs. The ratio of two threads to one is to be read
# beside it.
# pair DIR SQL ONE PREFIX: two one-thread runs of SQL in DIR side by side,
# the best of repeat pairs, beside the best one-thread run ONE (seconds).
pair() {
  pbest=""
  for i in $(seq "$repeat"); do
    t0=$(now)
    (cd "$1" && "$build/bex" < "$2" > pair1.out 2>&1) &
    (cd "$1" && "$build/bex" < "$2" > pair2.out 2>&1)
    wait
    t1=$(now)
    p=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$pbest" ] || [ "$(echo "$p < $pbest" | bc -l)" = 1 ]; then pbest=$p; fi
  done
  awk -v s="$pbest" -v o="$3" -v prefix="$4" \
      'BEGIN { printf "%stwo one-thread runs side by side: %6.2f s, so two cores do %4.2f x the work of one here\n", prefix, s, 2 * o / s }'
}
pair . one.sql "$one_s" ""
unload two 2
unload four 4
unload scan-two 2 "CORRUPT FILE 9 BLOCK 2"
rm -f one.txt

# clob DIR ROWS MAXKIB [fixed]: the CLOB table of forge_lob_table ROWS
# MAXKIB [fixed] in DIR (fixed: every value MAXKIB KiB), scanned; its CLOB
# column unloaded as text, and the whole table (CLOB and BLOB values in the
# data) as an export dump, each with THREADS 1 and 2 (best of repeat runs
# each, to /dev/null), the files compared.
ninja -C "$build" -j2 forge_lob_table > /dev/null
# clob_run DIR THREADS NAME: DIR's table unloaded by $kind (txt: its CLOB
# column to NAME.txt; dmp: the table to NAME.dmp) with THREADS; secs and
# rss of the run.
clob_run() {
  { printf 'SET ICONV_CLOB UTF-16BE UTF-8\nOPEN lobbench.cfg\nSET THREADS %s\n' "$2"
    if [ "$kind" = dmp ]; then printf 'SET OUTPUT_STYLE DMP\nUNLOAD TABLE BENCH.LOBS TO %s.dmp;\n' "$3"
    else printf 'UNLOAD OBJECT 95000 COLUMN NUMBER COLUMN CLOB TO %s.txt;\n' "$3"; fi
  } > "$1/$3.sql"
  [ "$3" = n ] || rm -f "$1/$3.txt" "$1/$3.LOB" "$1/$3.dmp"
  t0=$(now)
  (cd "$1" && /usr/bin/time -v "$build/bex" < "$3.sql" > "$3.out" 2> "$3.time")
  t1=$(now)
  s=$(echo "$t1 - $t0" | bc -l)
  r=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$1/$3.time")
}
# same_files DIR: whether the two-thread files equal the one-thread files.
same_files() {
  if [ "$kind" = dmp ]; then cmp -s "$1/t1.dmp" "$1/t2.dmp"
  else sed 's/t2\.LOB/t1.LOB/g' "$1/t2.txt" | cmp -s "$1/t1.txt" - && cmp -s "$1/t1.LOB" "$1/t2.LOB"; fi
}
clob() {
  dir=$1 lrows=$2 maxkib=$3 fixed=${4:-}
  mkdir -p "$dir/BEXDICT"
  if [ "$(cat "$dir/params" 2> /dev/null)" != "$lrows $maxkib $fixed" ] || [ ! -f "$dir/lobsys.dbf" ]; then
    rm -f "$dir"/*.dbf "$dir/params"
    "$build/forge_lob_table" "$dir" "$lrows" "$maxkib" $fixed > "$dir/forge.out"
    (cd "$dir" && printf 'OPEN lobbench.cfg\nSCAN DATABASE\nUNLOAD TABLE DICT$;\n' | "$build/bex" > scan.out)
    echo "$lrows $maxkib $fixed" > "$dir/params"
  fi
  for n in txt LOB dmp; do ln -sf /dev/null "$dir/n.$n"; done
  for kind in txt dmp; do
    # The LOB files the unload reads: the CLOB column's, or both columns'.
    if [ "$kind" = dmp ]; then files="$dir/lobclob.dbf $dir/lobblob.dbf" label="dump-$maxkib"
    else files="$dir/lobclob.dbf" label="clob-$maxkib"; fi
    lob_bytes=$(stat -c %s $files | awk '{ n += $1 } END { print n }')
    cat $files > /dev/null
    t0=$(now); cat $files > /dev/null; t1=$(now)
    lcat=$(echo "$t1 - $t0" | bc -l)
    lone=""
    for t in 1 2; do
      # The files once, to compare; then the timed runs to /dev/null, as
      # for the heap table.
      clob_run "$dir" "$t" "t$t"
      sync
      lbest="" lworst="" lpeak=0
      for i in $(seq "$repeat"); do
        clob_run "$dir" "$t" n
        if [ -z "$lbest" ] || [ "$(echo "$s < $lbest" | bc -l)" = 1 ]; then lbest=$s; fi
        if [ -z "$lworst" ] || [ "$(echo "$s > $lworst" | bc -l)" = 1 ]; then lworst=$s; fi
        [ "$r" -gt "$lpeak" ] && lpeak=$r
      done
      [ -n "$lone" ] || lone=$lbest
      same=""
      [ "$t" = 1 ] || { same_files "$dir" && same="same files as one thread" || same="FILES DIFFER"; }
      awk -v n="$label" -v t="$t" -v s="$lbest" -v w="$lworst" -v b="$lob_bytes" -v c="$lcat" -v o="$lone" -v rss="$lpeak" -v same="$same" \
          'BEGIN { printf "%-14s THREADS %d: %6.2f s (worst %.2f), %6.1f MB/s of LOB files, %4.2f times cat, %4.2f x one thread, peak RSS %d KB %s\n",
                          n, t, s, w, b / s / 1e6, s / c, o / s, rss, same }'
      [ "$t" = 2 ] || [ "$kind" = dmp ] || pair "$dir" n.sql "$lone" "  "
    done
    rm -f "$dir"/t1.* "$dir"/t2.*
  done
}
lob_rows=${LOB_ROWS:-16000}
clob "$work/clob" "$lob_rows" 500
clob "$work/clob-1m" 64 1024 fixed
if [ "${BEX_BENCH_GIB:-0}" = 1 ]; then clob "$work/clob-1g" 2 1048576 fixed; fi
