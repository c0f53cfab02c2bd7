#!/usr/bin/env bash
# Benchmark of LOB recovery: forges (bench/forge_lob_table.cc) a table of
# ROWS rows whose CLOB (UCS-2 text) and BLOB values of 10 to 500 KiB lie out
# of line, about 2 GiB of LOB blocks in all for 20,000 rows, runs SCAN
# DATABASE, then times one UNLOAD OBJECT of the CLOB column (SET ICONV_CLOB
# UTF-16BE UTF-8) and one of the BLOB column, each beside `cat` of the file
# holding those LOB blocks (page cache warm), in the same run. Reports MB of
# stored LOB data per second, the ratio to cat and the peak RSS of bex; and,
# for the memory check, the peak RSS of the same unloads of a table of 100
# rows whose values reach 20 MiB.
#
#   bench/run_lob.sh [ROWS]
#
# BEX_BENCH_BUILD (default build-bench) and BEX_BENCH_DIR (default
# /tmp/bex-lob-bench) choose where to build and where the files go. The
# forged files are kept and reused while the row count stays the same. Not
# run by the tests.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-lob-bench}
rows=${1:-20000}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF > /dev/null
ninja -C "$build" -j2 bex forge_lob_table > /dev/null

now() { date +%s.%N; }

# forge DIR ARGS...: the database of forge_lob_table ARGS in DIR (kept while
# ARGS stay the same), scanned; sets bytes (LOB bytes per column).
forge() {
  local dir=$1
  shift
  mkdir -p "$dir/BEXDICT"
  if [ "$(cat "$dir/params" 2> /dev/null)" != "$*" ]; then
    echo "forging $* into $dir ..."
    rm -f "$dir"/*.dbf "$dir/params"
    "$build/forge_lob_table" "$dir" "$@" > "$dir/forge.out"
    (cd "$dir" && printf 'OPEN lobbench.cfg\nSCAN DATABASE\n' | "$build/bex" > scan.out)
    echo "$*" > "$dir/params"
  fi
  bytes=$(sed -n 's/.*LOB bytes per column: //p' "$dir/forge.out")
}

# unload DIR NAME FILE COLUMNS: cat of FILE, then one bex run unloading the
# table with the COLUMN words COLUMNS; sets secs, cat_s, rss, user, sys, got.
unload() {
  local dir=$1 name=$2 file=$3 columns=$4
  cat "$dir/$file" > /dev/null
  local t0 t1
  t0=$(now)
  cat "$dir/$file" > /dev/null
  t1=$(now)
  cat_s=$(echo "$t1 - $t0" | bc -l)
  printf 'SET ICONV_CLOB UTF-16BE UTF-8\nOPEN lobbench.cfg\nUNLOAD OBJECT 95000 %s TO %s.txt;\n' "$columns" "$name" \
    > "$dir/$name.sql"
  rm -f "$dir/$name.txt" "$dir/$name.LOB"
  t0=$(now)
  (cd "$dir" && /usr/bin/time -v "$build/bex" < "$name.sql" > "$name.out" 2> "$name.time")
  t1=$(now)
  secs=$(echo "$t1 - $t0" | bc -l)
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$dir/$name.time")
  user=$(sed -n 's/.*User time (seconds): *//p' "$dir/$name.time")
  sys=$(sed -n 's/.*System time (seconds): *//p' "$dir/$name.time")
  got=$(stat -c %s "$dir/$name.LOB" 2> /dev/null || echo 0)
  if grep -q 'not recovered' "$dir/$name.out"; then
    echo "$name: $(grep 'not recovered' "$dir/$name.out")"
  fi
  rm -f "$dir/$name.LOB"
}

report() {
  awk -v n="$1" -v b="$bytes" -v s="$secs" -v c="$cat_s" -v rss="$rss" -v u="$user" -v k="$sys" -v out="$got" \
      -v fb="$2" 'BEGIN {
    printf "%-5s %7.1f MB of LOB data in %6.2f s: %6.1f MB/s; cat of the file %6.1f MB/s, bex takes %4.1f times as long\n",
      n, b / 1e6, s, b / s / 1e6, fb / c / 1e6, s / c
    printf "%-5s cpu %5.2f s user + %5.2f s system (%6.1f MB per cpu second); LOB file %7.1f MB; peak RSS %d KB\n",
      "", u, k, b / (u + k) / 1e6, out / 1e6, rss }'
}

forge "$work/big" "$rows"
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) (wall times suffer when others run)"
echo "$(sed -n 's/.*LOB bytes per column: //p' "$work/big/forge.out") LOB bytes per column," \
  "files $(du -ch "$work/big"/*.dbf | tail -1 | cut -f1)"
unload "$work/big" clob lobclob.dbf "COLUMN NUMBER COLUMN CLOB COLUMN SKIP"
report CLOB "$(stat -c %s "$work/big/lobclob.dbf")"
clob_rss=$rss
unload "$work/big" blob lobblob.dbf "COLUMN NUMBER COLUMN SKIP COLUMN BLOB"
report BLOB "$(stat -c %s "$work/big/lobblob.dbf")"
[ "$got" = "$((bytes + 2 * rows))" ] || echo "BLOB: the LOB file has $got bytes, not $((bytes + 2 * rows))"
blob_rss=$rss

forge "$work/deep" 100 20480
unload "$work/deep" clob lobclob.dbf "COLUMN NUMBER COLUMN CLOB COLUMN SKIP"
deep_clob=$rss
unload "$work/deep" blob lobblob.dbf "COLUMN NUMBER COLUMN SKIP COLUMN BLOB"
echo "peak RSS, values up to 500 KiB: CLOB $clob_rss KB, BLOB $blob_rss KB;" \
  "100 rows of values up to 20 MiB: CLOB $deep_clob KB, BLOB $rss KB"
