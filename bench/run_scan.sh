#!/usr/bin/env bash
# Scan benchmark: forges a database of MiB mebibytes split over FILES data
# files (mostly table blocks, about 2% LOB blocks), then reports, best of
# three runs each:
#   - cat of the files to /dev/null with the page cache warm (the limit here),
#     the files read back from disk into it, as a data file is read (and
#     SCAN DATABASE beside cat once more with the files as the forge wrote them),
#   - SCAN DATABASE (THREADS 1, 2 and 4) and SCAN PARALLELDB through bex
#     (whole process: OPEN, the scan and the LOB map build), as throughput,
#     as a share of cat, and as CPU seconds (user + system),
#   - peak resident memory of both scans on this database and on one of
#     256 MiB (it must not grow with the database),
#   - SCAN MAP (BuildLobMap) of a listing of 1,000,000 lines.
# Both scans' listings are checked against the ones the forge recorded.
#
#   bench/run_scan.sh [MiB (2200)] [FILES (2)]
#
# BEX_BENCH_BUILD: build directory (default build-bench in the source tree,
# configured with -DBEX_BENCH=ON); BEX_BENCH_DIR: scratch directory (default
# /tmp/bex-scanbench), removed at the end with everything forged in it.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-2200}
files=${2:-2}
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-scanbench}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF > /dev/null
ninja -C "$build" -j2 bex scan_db_forge > /dev/null

rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/big" "$work/small" "$work/map/BEXDICT"
echo "forging ${mib} MiB in ${files} files and 256 MiB for the memory check..."
"$build/scan_db_forge" "$work/big" "$mib" --files "$files"
"$build/scan_db_forge" "$work/small" 256 --files "$files"
bytes=$(cat "$work"/big/*.dbf | wc -c)

warm() { cat "$1"/*.dbf > /dev/null; }
# Puts DIR's files in the page cache the way a data file gets there, read
# from disk (the forge's writes leave them in smaller pieces, which cost a
# mapping reader more to map): written back, dropped and read again.
settle() {
  local f
  for f in "$1"/*.dbf; do
    dd of="$f" oflag=nocache conv=notrunc,fdatasync count=0 status=none
    dd if="$f" iflag=nocache count=0 status=none
  done
  warm "$1"
}

# best DIR KIND COMMAND...: runs COMMAND BEX_BENCH_REPEAT times (3) in a fresh directory
# under DIR; sets seconds (the best wall time), cpu (user + system seconds
# of that run) and rss (its peak RSS in KiB).
best() {
  local dir=$1 kind=$2
  shift 2
  seconds=""
  rss=""
  cpu=""
  for i in $(seq "${BEX_BENCH_REPEAT:-3}"); do
    rm -rf "$dir/run" && mkdir -p "$dir/run"
    local t0 t1
    t0=$(date +%s%N)
    (cd "$dir/run" && /usr/bin/time -f '%M %U %S' -o ../time.txt "$@" > ../out.txt 2>&1)
    t1=$(date +%s%N)
    read -r m u k < "$dir/time.txt"
    s=$(awk "BEGIN{printf \"%.3f\", ($t1 - $t0) / 1e9}")  # to the millisecond (time gives hundredths)
    if [ -z "$seconds" ] || awk "BEGIN{exit !($s < $seconds)}"; then
      seconds=$s rss=$m cpu=$(awk "BEGIN{printf \"%.2f\", $u + $k}")
    fi
  done
}

scan() {  # scan DIR KIND [THREADS]: SCAN <KIND> of DIR's database; checks its listings
  local dir=$1 kind=$2 threads=${3:-1}
  printf 'SET THREADS %s\nOPEN %s/scanbench.cfg\nSCAN %s\n' "$threads" "$dir" "$kind" > "$dir/scan.sql"
  warm "$dir"
  best "$dir" "$kind" sh -c "'$build/bex' < ../scan.sql"
  for l in BEXEXT BEXLOB; do
    cmp -s "$dir/scanbench.$l.TXT" "$dir/run/BEXDICT/$l.TXT" || { echo "SCAN $kind: $l.TXT differs from the forged listing"; exit 1; }
  done
}

mibps() { awk "BEGIN{printf \"%.0f\", $bytes / 1048576 / $1}"; }
share() { awk "BEGIN{printf \"%.0f%%\", 100 * $2 / $1}"; }

warm "$work/big"
best "$work/big" cat sh -c "cat '$work'/big/*.dbf > /dev/null"
written_cat_s=$seconds
scan "$work/big" DATABASE
written_db_s=$seconds
settle "$work/big"
settle "$work/small"
best "$work/big" cat sh -c "cat '$work'/big/*.dbf > /dev/null"
cat_s=$seconds cat_cpu=$cpu
scan "$work/big" DATABASE
db_s=$seconds db_rss=$rss db_cpu=$cpu
scan "$work/big" DATABASE 2
db2_s=$seconds db2_rss=$rss db2_cpu=$cpu
scan "$work/big" DATABASE 4
db4_s=$seconds db4_rss=$rss db4_cpu=$cpu
scan "$work/big" PARALLELDB
par_s=$seconds par_rss=$rss par_cpu=$cpu
scan "$work/small" DATABASE
small_db_rss=$rss
scan "$work/small" PARALLELDB
small_par_rss=$rss
rm -rf "$work/big" "$work/small"

"$build/scan_db_forge" --lob-listing "$work/map/BEXDICT/BEXLOB.TXT" 1000000
printf 'SCAN MAP\n' > "$work/map/map.sql"
best "$work/map" MAP sh -c "ln -s ../BEXDICT BEXDICT && '$build/bex' < ../map.sql"
map_s=$seconds map_rss=$rss

cat <<REPORT

database: $((bytes / 1048576)) MiB in $files files, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)
                      seconds   MiB/s   of cat   cpu s   peak RSS (KiB)
cat > /dev/null       $(printf '%7s' "$cat_s")   $(printf '%5s' "$(mibps "$cat_s")")            $(printf '%5s' "$cat_cpu")
SCAN DATABASE         $(printf '%7s' "$db_s")   $(printf '%5s' "$(mibps "$db_s")")   $(printf '%6s' "$(share "$db_s" "$cat_s")")   $(printf '%5s' "$db_cpu")   $db_rss (256 MiB database: $small_db_rss)
  THREADS 2           $(printf '%7s' "$db2_s")   $(printf '%5s' "$(mibps "$db2_s")")   $(printf '%6s' "$(share "$db2_s" "$cat_s")")   $(printf '%5s' "$db2_cpu")   $db2_rss
  THREADS 4           $(printf '%7s' "$db4_s")   $(printf '%5s' "$(mibps "$db4_s")")   $(printf '%6s' "$(share "$db4_s" "$cat_s")")   $(printf '%5s' "$db4_cpu")   $db4_rss
SCAN PARALLELDB       $(printf '%7s' "$par_s")   $(printf '%5s' "$(mibps "$par_s")")   $(printf '%6s' "$(share "$par_s" "$cat_s")")   $(printf '%5s' "$par_cpu")   $par_rss (256 MiB database: $small_par_rss)
SCAN DATABASE of the files as just written: $(share "$written_db_s" "$written_cat_s") of cat ($written_db_s s, cat $written_cat_s s)
PARALLELDB speed-up over DATABASE: $(awk "BEGIN{printf \"%.2f\", $db_s / $par_s}")
SCAN MAP of 1,000,000 listing lines: ${map_s} s, peak RSS $map_rss KiB
REPORT
