#!/usr/bin/env bash
# RMAN benchmark: forges a backup set of MiB mebibytes (rman_bench_forge:
# two data files multiplexed in pieces of 512 MiB), then reports, best of
# three runs each with the page cache warm:
#   - cat of the pieces to /dev/null and into a file,
#   - OPEN and RMAN SCAN of the pieces through bex, as throughput and as a
#     share of cat to /dev/null (the goal is 60% or more),
#   - OPEN and RMAN RESTORE FILE of both files, as throughput and as a share
#     of cat into a file and of cat to /dev/null (the goal is 40% or more),
#   - the peak resident memory of both on this set and on one of 256 MiB (it
#     must not grow with the set),
# and checks the listing's line count and both restored files against the
# forge (cksum).
#
#   bench/run_rman.sh [MiB (2048)]
#
# BEX_BENCH_BUILD: build directory (default build-bench in the source tree,
# configured with -DBEX_BENCH=ON); BEX_BENCH_DIR: scratch directory (default
# /tmp/bex-rmanbench), removed at the end. Not run by the tests.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-2048}
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-rmanbench}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF > /dev/null
ninja -C "$build" -j2 bex rman_bench_forge > /dev/null

rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/big/BEXDICT" "$work/small/BEXDICT"
echo "forging ${mib} MiB and 256 MiB for the memory check..."
"$build/rman_bench_forge" "$work/big" "$mib" > "$work/big/forge.txt"
"$build/rman_bench_forge" "$work/small" 256 > "$work/small/forge.txt"
printf 'OPEN rmanbench.cfg\nRMAN SCAN\nEXIT\n' > "$work/big/scan.sql"
printf 'OPEN rmanbench.cfg\nRMAN RESTORE FILE 3\nRMAN RESTORE FILE 4\nEXIT\n' > "$work/big/restore.sql"
cp "$work/big/scan.sql" "$work/big/restore.sql" "$work/small/"

# best DIR COMMAND...: runs COMMAND three times in DIR; sets seconds (the best
# wall time) and rss (its peak RSS in KiB).
best() {
  local dir=$1
  shift
  seconds="" rss=""
  for i in 1 2 3; do
    rm -f "$dir"/RMAN_*.DBF "$dir/copy.bkp"
    (cd "$dir" && /usr/bin/time -f '%e %M' -o time.txt "$@" > out.txt 2>&1)
    read -r s m < "$dir/time.txt"
    if [ -z "$seconds" ] || awk "BEGIN{exit !($s < $seconds)}"; then seconds=$s rss=$m; fi
  done
}

field() { sed "s/.*$1=\([0-9]*\).*/\1/" "$2/forge.txt"; }

check() {  # check DIR: the listing's lines and the restored files as forged
  local dir=$1
  [ "$(wc -l < "$dir/BEXDICT/BEXRMAN.TXT")" = "$(field runs "$dir")" ] ||
    { echo "RMAN SCAN: $(wc -l < "$dir/BEXDICT/BEXRMAN.TXT") lines, want $(field runs "$dir")"; exit 1; }
  for f in 3 4; do
    read -r got _ < <(cksum "$dir/RMAN_$f.DBF")
    [ "$got" = "$(field "file$f" "$dir")" ] || { echo "RMAN_$f.DBF is not the forged file"; exit 1; }
  done
}

bytes=$(field bytes "$work/big")
mibps() { awk "BEGIN{printf \"%.0f\", $bytes / 1048576 / $1}"; }
share() { awk "BEGIN{printf \"%.0f%%\", 100 * $2 / $1}"; }

cat "$work"/big/*.bkp > /dev/null
best "$work/big" sh -c "cat rmanbench_*.bkp > /dev/null"
cat_null=$seconds
best "$work/big" sh -c "cat rmanbench_*.bkp > copy.bkp"
cat_file=$seconds
rm -f "$work/big/copy.bkp"
best "$work/big" sh -c "'$build/bex' < scan.sql"
scan=$seconds scan_rss=$rss
best "$work/big" sh -c "'$build/bex' < restore.sql"
restore=$seconds restore_rss=$rss
check "$work/big"
best "$work/small" sh -c "'$build/bex' < scan.sql"
small_scan_rss=$rss
best "$work/small" sh -c "'$build/bex' < restore.sql"
small_restore_rss=$rss
check "$work/small"

echo "backup set of $bytes bytes in $(ls "$work"/big/*.bkp | wc -l) pieces, $(field runs "$work/big") runs"
echo "cat of the pieces to /dev/null: ${cat_null} s, $(mibps "$cat_null") MiB/s"
echo "cat of the pieces to a file:    ${cat_file} s, $(mibps "$cat_file") MiB/s"
echo "RMAN SCAN:                      ${scan} s, $(mibps "$scan") MiB/s, $(share "$scan" "$cat_null") of cat to /dev/null"
echo "RMAN RESTORE FILE 3 and 4:      ${restore} s, $(mibps "$restore") MiB/s, $(share "$restore" "$cat_file") of cat to a file, $(share "$restore" "$cat_null") of cat to /dev/null"
echo "peak RSS: SCAN ${scan_rss} KiB (${small_scan_rss} KiB for 256 MiB), RESTORE ${restore_rss} KiB (${small_restore_rss} KiB for 256 MiB)"
