#!/usr/bin/env bash
# ASM COPY benchmark: forges a data file of MiB mebibytes as ASM file 256 of
# a 2-disk EXTERNAL group with 1 MB AUs (asm_bench_forge), then reports,
# best of three runs each with the page cache warm:
#   - cat of the two disk images, to /dev/null and into a file,
#   - ASM OPEN and ASM COPY of file 256 through bex, to /dev/null and into a
#     file, as throughput and as a share of the matching cat (the goal is
#     80% or more),
#   - the peak resident memory of the copy of this file and of one of
#     256 MiB (it must not grow with the file),
# and checks the copy against the CRC the forge computed (cksum).
#
#   bench/run_asm.sh [MiB (2048)]
#
# BEX_BENCH_BUILD: build directory (default build-bench in the source tree,
# configured with -DBEX_BENCH=ON); BEX_BENCH_DIR: scratch directory (default
# /tmp/bex-asmbench), removed at the end. Not run by the tests.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-2048}
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-asmbench}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF > /dev/null
ninja -C "$build" -j2 bex asm_bench_forge > /dev/null

rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/big" "$work/small"
echo "forging ${mib} MiB and 256 MiB for the memory check..."
(cd "$work/big" && "$build/asm_bench_forge" . "$mib" > forge.txt)
(cd "$work/small" && "$build/asm_bench_forge" . 256 > forge.txt)

# best DIR COMMAND...: runs COMMAND three times in DIR; sets seconds (the best
# wall time) and rss (its peak RSS in KiB).
best() {
  local dir=$1
  shift
  seconds="" rss=""
  for i in 1 2 3; do
    rm -f "$dir/copy.dbf"
    (cd "$dir" && /usr/bin/time -f '%e %M' -o time.txt "$@" > out.txt 2>&1)
    read -r s m < "$dir/time.txt"
    if [ -z "$seconds" ] || awk "BEGIN{exit !($s < $seconds)}"; then seconds=$s rss=$m; fi
  done
}

copy() {  # copy DIR TARGET: ASM COPY of file 256 to TARGET; a file is checked against the forge's CRC
  local dir=$1 target=$2
  printf 'ASM OPEN asmbench.disks\nASM COPY FILE 256 TO %s\nEXIT\n' "$target" > "$dir/copy.sql"
  cat "$dir"/*.img > /dev/null
  best "$dir" sh -c "'$build/bex' < copy.sql"
  [ "$target" = /dev/null ] && return
  read -r want < <(sed 's/.*cksum=//' "$dir/forge.txt")
  read -r got _ < <(cksum "$dir/copy.dbf")
  [ "$got" = "$want" ] || { echo "ASM COPY: copy.dbf is not the forged file (cksum $got, want $want)"; exit 1; }
}

bytes=$(sed 's/bytes=\([0-9]*\).*/\1/' "$work/big/forge.txt")
mibps() { awk "BEGIN{printf \"%.0f\", $bytes / 1048576 / $1}"; }
share() { awk "BEGIN{printf \"%.0f%%\", 100 * $2 / $1}"; }

cat "$work"/big/*.img > /dev/null
best "$work/big" sh -c "cat asmbench_d0.img asmbench_d1.img > /dev/null"
cat_null=$seconds
best "$work/big" sh -c "cat asmbench_d0.img asmbench_d1.img > copy.dbf"
cat_file=$seconds
copy "$work/big" /dev/null
copy_null=$seconds
copy "$work/big" copy.dbf
copy_file=$seconds copy_rss=$rss
copy "$work/small" copy.dbf
small_rss=$rss

echo "file of $bytes bytes in a 2-disk group"
echo "cat of the disk images to /dev/null: ${cat_null} s, $(mibps "$cat_null") MiB/s"
echo "ASM COPY TO /dev/null:               ${copy_null} s, $(mibps "$copy_null") MiB/s, $(share "$copy_null" "$cat_null") of cat"
echo "cat of the disk images to a file:    ${cat_file} s, $(mibps "$cat_file") MiB/s"
echo "ASM COPY TO a file:                  ${copy_file} s, $(mibps "$copy_file") MiB/s, $(share "$copy_file" "$cat_file") of cat"
echo "peak RSS of the copy:   ${copy_rss} KiB (${small_rss} KiB for 256 MiB)"
