#!/usr/bin/env bash
# SCAN TABLE benchmark: forges the database of bench/run_scan.sh (MiB
# mebibytes in FILES files, runs of 991 table blocks and 8 index blocks per
# object) with its extent listing, then reports, best of three runs each
# with the page cache warm:
#   - cat of the files to /dev/null (the whole database),
#   - SCAN TABLE with the default GUESS_SIZE (whole process: OPEN and the
#     guess of every object of the listing), in seconds per GiB of the
#     blocks the listing names and as a share of cat's time,
#   - the CPU seconds (user and system) of both, the fairer measure on a
#     machine whose cores are shared, and the peak resident memory of
#     SCAN TABLE.
# Every table object must be guessed with the forged layout.
#
#   bench/run_guess.sh [MiB (2200)] [FILES (2)]
#   bench/run_guess.sh --objects N
#       a database of N table objects of one block each instead: the cost
#       of the listing per object rather than of the blocks.
#
# BEX_BENCH_BUILD: build directory (default build-bench in the source tree,
# configured with -DBEX_BENCH=ON); BEX_BENCH_DIR: scratch directory (default
# /tmp/bex-guessbench), removed at the end with everything forged in it;
# BEX_BENCH_BEX: another bex binary to time (an older build, for figures
# before a change).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
small=""
if [ "${1:-}" = "--objects" ]; then small=$2; set -- 0 1; fi
mib=${1:-2200}
files=${2:-2}
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-guessbench}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF > /dev/null
ninja -C "$build" -j2 bex scan_db_forge > /dev/null

rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/db"
if [ -n "$small" ]; then
  echo "forging ${small} objects of one block..."
  "$build/scan_db_forge" --objects "$work/db" "$small"
else
  echo "forging ${mib} MiB in ${files} files..."
  "$build/scan_db_forge" "$work/db" "$mib" --files "$files"
fi
bytes=$(cat "$work"/db/*.dbf | wc -c)
listed=$(awk -F, '{n += $4} END {printf "%.0f", n * 8192}' "$work/db/scanbench.BEXEXT.TXT")
objects=$(awk -F, -v small="$small" '$4 > 8 || small != "" {n++} END {print n}' "$work/db/scanbench.BEXEXT.TXT")

# best COMMAND...: runs COMMAND three times in a fresh run directory; sets
# seconds (the best wall time), cpu (the CPU seconds of that run) and rss
# (its peak RSS in KiB).
best() {
  seconds="" cpu="" rss=""
  for i in 1 2 3; do
    rm -rf "$work/run" && mkdir -p "$work/run/BEXDICT"
    cp "$work/db/scanbench.BEXEXT.TXT" "$work/run/BEXDICT/BEXEXT.TXT"
    (cd "$work/run" && /usr/bin/time -f '%e %U %S %M' -o ../time.txt "$@" > ../out.txt 2>&1)
    read -r s u k m < "$work/time.txt"
    if [ -z "$seconds" ] || awk "BEGIN{exit !($s < $seconds)}"; then
      seconds=$s cpu=$(awk "BEGIN{printf \"%.2f\", $u + $k}") rss=$m
    fi
  done
}

cat "$work"/db/*.dbf > /dev/null
best sh -c "cat '$work'/db/*.dbf > /dev/null"
cat_s=$seconds cat_cpu=$cpu
printf 'OPEN %s/scanbench.cfg\nSCAN TABLE TO guess.sql\n' "$work/db" > "$work/guess.sql"
best sh -c "'${BEX_BENCH_BEX:-$build/bex}' < ../guess.sql"
guess_s=$seconds guess_cpu=$cpu guess_rss=$rss
guessed=$(grep -c '^## Object' "$work/run/guess.sql" || true)
layouts=$(grep -c '^       NUMBER VARCHAR VARCHAR TO' "$work/run/guess.sql" || true)
# SCAN TABLE guesses at most 65536 objects.
expected=$((objects < 65536 ? objects : 65536))
if [ "$guessed" != "$expected" ] || [ "$layouts" != "$expected" ]; then
  echo "SCAN TABLE guessed $guessed objects ($layouts with the forged layout) of $objects"
  exit 1
fi

perGiB() { awk "BEGIN{printf \"%.3f\", $1 * 1073741824 / $listed}"; }
cat <<REPORT

database: $((bytes / 1048576)) MiB in $files files, $(nproc) cores (load $(cut -d' ' -f1 /proc/loadavg)); the listing names $((listed / 1048576)) MiB ($objects table objects)
                  wall s   s/GiB listed   of cat    CPU s   CPU s/GiB listed   of cat   peak RSS (KiB)
cat > /dev/null  $(printf '%7s' "$cat_s")   $(printf '%12s' "$(perGiB "$cat_s")")            $(printf '%7s' "$cat_cpu")   $(printf '%16s' "$(perGiB "$cat_cpu")")
SCAN TABLE       $(printf '%7s' "$guess_s")   $(printf '%12s' "$(perGiB "$guess_s")")   $(printf '%6s' "$(awk "BEGIN{printf \"%.0f%%\", 100 * $guess_s / $cat_s}")")   $(printf '%7s' "$guess_cpu")   $(printf '%16s' "$(perGiB "$guess_cpu")")   $(printf '%6s' "$(awk "BEGIN{printf \"%.0f%%\", 100 * $guess_cpu / $cat_cpu}")")   $guess_rss
REPORT
