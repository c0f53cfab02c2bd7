#!/usr/bin/env bash
# ASM COPY benchmark: forges an EXTERNAL disk group of DISKS images with 1 MB
# AUs holding one file of MiB mebibytes (asm_group_forge), then reports,
# best of three runs each with the page cache warm:
#   - cat of the disk images, to /dev/null and into a file,
#   - ASM COPY of the file through bex, to /dev/null and into a file, as
#     throughput and as a share of the matching cat,
#   - peak resident memory of the copy of this file and of one of 256 MiB
#     (it must not grow with the file).
# The copy is compared with the original (cmp).
#
#   bench/run_asm.sh [MiB (2048)] [DISKS (2)]
#
# BEX_BENCH_BUILD: build directory (default build-bench in the source tree);
# BEX_BENCH_DIR: scratch directory (default /tmp/bex-asmbench), removed at
# the end with everything forged in it.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-2048}
disks=${2:-2}
build=${BEX_BENCH_BUILD:-$src/build-bench}
work=${BEX_BENCH_DIR:-/tmp/bex-asmbench}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBEX_BENCH=ON -DBEX_TESTS=OFF > /dev/null
ninja -C "$build" -j2 bex asm_group_forge > /dev/null

rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/big" "$work/small"
echo "forging ${mib} MiB on ${disks} disks and 256 MiB for the memory check..."
"$build/asm_group_forge" "$work/big" "$mib" "$disks"
"$build/asm_group_forge" "$work/small" 256 "$disks"
bytes=$(stat -c %s "$work/big/bench.dbf")

# best COMMAND...: runs COMMAND three times; sets seconds (best wall time)
# and rss (its peak RSS in KiB).
best() {
  seconds="" rss=""
  for i in 1 2 3; do
    rm -f "$work/copy.dbf"
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" > "$work/out.txt" 2>&1
    read -r s m < "$work/time.txt"
    if [ -z "$seconds" ] || awk "BEGIN{exit !($s < $seconds)}"; then seconds=$s rss=$m; fi
  done
}
rate() { awk "BEGIN{printf \"%.0f MiB/s\", $bytes / 1048576 / $1}"; }
share() { awk "BEGIN{printf \"%.0f%%\", 100 * $2 / $1}"; }

copy() {  # copy DIR TARGET: ASM COPY of file 200 of DIR's group to TARGET
  printf 'ASM OPEN %s/bench.disks\nASM COPY FILE 200 TO %s\n' "$1" "$2" > "$work/copy.sql"
  best sh -c "cd '$work' && '$build/bex' < copy.sql"
}

cat "$work"/big/bench_d*.img > /dev/null
best sh -c "cat '$work'/big/bench_d*.img > /dev/null"; cat_null=$seconds
best sh -c "cat '$work'/big/bench_d*.img > '$work/copy.dbf'"; cat_file=$seconds
copy "$work/big" /dev/null; copy_null=$seconds
copy "$work/big" "$work/copy.dbf"; copy_file=$seconds big_rss=$rss
cmp "$work/big/bench.dbf" "$work/copy.dbf" || { echo "ASM COPY differs from the original"; exit 1; }
copy "$work/small" "$work/copy.dbf"; small_rss=$rss
cmp "$work/small/bench.dbf" "$work/copy.dbf" || { echo "ASM COPY (256 MiB) differs from the original"; exit 1; }

echo "file: $mib MiB on $disks disks, 1 MB AUs"
printf '%-28s %8ss  %s\n' "cat images > /dev/null" "$cat_null" "$(rate "$cat_null")"
printf '%-28s %8ss  %s  (%s of cat)\n' "ASM COPY TO /dev/null" "$copy_null" "$(rate "$copy_null")" "$(share "$copy_null" "$cat_null")"
printf '%-28s %8ss  %s\n' "cat images > file" "$cat_file" "$(rate "$cat_file")"
printf '%-28s %8ss  %s  (%s of cat)\n' "ASM COPY TO file" "$copy_file" "$(rate "$copy_file")" "$(share "$copy_file" "$cat_file")"
echo "peak RSS of ASM COPY: ${big_rss} KiB for $mib MiB, ${small_rss} KiB for 256 MiB"
