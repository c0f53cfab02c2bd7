#!/bin/sh
# Benchmark of UNLOAD TABLE into an export dump beside the text unload of
# the same table: the big table of run_unload.sh (object 90001, about 2 GiB
# of 8 KB blocks, forged once and reused), described by dictionary files
# written here as user BENCH's table BIG. In one run: `cat` of the data file
# to /dev/null (page cached), then UNLOAD TABLE BENCH.BIG to a text file and
# to a dump file, and each once more to /dev/null. Every figure is the best
# of BEX_BENCH_REPEAT runs (default 3; the machine may be shared): seconds,
# MB/s of data file, the ratio to cat, the CPU seconds (user + system) of
# that run with MB of data file per CPU second (what one core does when the
# machine is busy) and the same for user time alone (the reads' copy out of
# the page cache is system time), and bex's peak RSS.
#
#   bench/run_dump.sh [rows]
#
# BEX_BENCH_BUILD (default build-bench) and BEX_BENCH_DIR (default
# /tmp/bex-unload-bench) choose where to build and where the files go. Not
# run by the tests.
set -eu
rows=${1:-10750000}
repeat=${BEX_BENCH_REPEAT:-3}
. "$(dirname "$0")/big_table.sh"

# The dictionary files of the table: segment header at 9/2, the columns of
# forge_big_table, character columns in ZHS16GBK (852, the CHARSET default).
mkdir -p BEXDICT
printf '0,SYS,\n54,BENCH,\n' > BEXDICT/BEXUSR.TXT
printf '90001,54,BIG,,2,\n' > BEXDICT/BEXOBJ.TXT
printf '90001,90001,0,9,2,0\n' > BEXDICT/BEXTAB.TXT
printf '%s\n' '90001,1,1,ID,2,22,0,0,0,1,0,0,0,' '90001,2,2,NAME,1,40,0,0,0,2,0,852,1,' \
  '90001,3,3,NOTE,1,400,0,0,0,3,0,852,1,' '90001,4,4,CREATED,12,7,0,0,0,4,0,0,0,' \
  '90001,5,5,AMOUNT,2,22,0,0,0,5,0,0,0,' > BEXDICT/BEXCOL.TXT
cp BEXDICT/BEXCOL.TXT BEXDICT/BEXCOLMAP017.TXT  # OBJ# 90001 modulo 64

now() { date +%s.%N; }
best() { printf '%s\n' "$@" | sort -g | head -1; }

cat big.dbf > /dev/null  # bring the file into the page cache
cats=""
for i in $(seq "$repeat"); do
  t0=$(now)
  cat big.dbf > /dev/null
  t1=$(now)
  cats="$cats $(echo "$t1 - $t0" | bc -l)"
done
cat_s=$(best $cats)
echo "data file: $bytes bytes; cat to /dev/null: $(printf '%.3f' "$cat_s") s ($(echo "$bytes / $cat_s / 1000000" | bc) MB/s), best of $repeat"
echo "load average: $(cut -d" " -f1-3 /proc/loadavg), $(nproc) cores"

# run NAME TARGET STATEMENTS...: bex runs; the least wall, CPU and user time
# of them, the largest peak RSS, and the size of TARGET.
run() {
  name=$1 target=$2
  shift 2
  printf '%s\n' "$@" > "$name.sql"
  secs="" cpu="" user="" rss=0
  for i in $(seq "$repeat"); do
    rm -f big.txt big.dmp
    sync  # the write-back of the run before is not timed with this one
    t0=$(now)
    /usr/bin/time -v "$build/bex" < "$name.sql" > "$name.out" 2> "$name.time"
    t1=$(now)
    s=$(echo "$t1 - $t0" | bc -l)
    u=$(sed -n 's/.*User time (seconds): *//p' "$name.time")
    k=$(sed -n 's/.*System time (seconds): *//p' "$name.time")
    if [ -z "$secs" ] || [ "$(echo "$s < $secs" | bc -l)" = 1 ]; then secs=$s; fi
    c=$(echo "$u + $k" | bc -l)
    if [ -z "$cpu" ] || [ "$(echo "$c < $cpu" | bc -l)" = 1 ]; then cpu=$c; fi
    if [ -z "$user" ] || [ "$(echo "$u < $user" | bc -l)" = 1 ]; then user=$u; fi
    r=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$name.time")
    [ "$r" -gt "$rss" ] && rss=$r
  done
  got=$(sed -n 's/^Sucessfully unload \([0-9]*\) rows.*/\1/p' "$name.out")
  out=$(stat -c %s "$target")
  awk -v n="$name" -v rows="$got" -v s="$secs" -v b="$bytes" -v c="$cat_s" -v rss="$rss" -v out="$out" \
      -v cpu="$cpu" -v user="$user" 'BEGIN {
    printf "%-13s %9d rows in %6.2f s: %6.1f MB/s of data file, %5.2f times as long as cat; output %6.1f MB\n",
      n, rows, s, b / s / 1e6, s / c, out / 1e6
    printf "%-13s cpu %6.2f s, %6.1f MB of data file per CPU second; user %6.2f s, %6.1f MB per user second; peak RSS %d KB\n",
      "", cpu, b / cpu / 1e6, user, b / user / 1e6, rss }'
}

run text-file big.txt "OPEN big.cfg" "UNLOAD TABLE BENCH.BIG TO big.txt;"
# The same unloads with the output going nowhere: what one core does,
# without the system's cost of writing gigabytes into files (on some
# machines several times the unload itself).
ln -sf /dev/null null.txt
run text-devnull /dev/null "OPEN big.cfg" "UNLOAD TABLE BENCH.BIG TO null.txt;"
run dump-file big.dmp "OPEN big.cfg" "UNLOAD TABLE BENCH.BIG TO big.dmp;"
ln -sf /dev/null null.dmp  # the TO name's ending chooses the format
run dump-devnull /dev/null "OPEN big.cfg" "UNLOAD TABLE BENCH.BIG TO null.dmp;"
