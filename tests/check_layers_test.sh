#!/bin/sh
# check_layers_test.sh SOURCE_DIR: tools/check_layers passes on the tree and
# fails on a copy with a planted fault of each kind it is there to find: a
# file that includes a header of a folder above its own, and a header-only
# header credited to a library that its users do not link.
set -u
top=$1
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
check="$top/tools/check_layers"

"$check" "$top/src" || { echo "the tree itself fails"; exit 1; }

expect_fault() {  # expect_fault NAME PATTERN: the copy in $work/src fails, naming PATTERN
  out=$("$check" "$work/src")
  if [ $? -eq 0 ] || ! printf '%s\n' "$out" | grep -q "$2"; then
    echo "$1: not found"; printf '%s\n' "$out"; exit 1
  fi
}

cp -R "$top/src" "$work/src"
printf '#include "run/run_context.h"\n' >> "$work/src/block/hex_dump.cc"
expect_fault "an upward include" "block/ includes run/run_context.h of run/, a folder above it"

rm -rf "$work/src" && cp -R "$top/src" "$work/src"
sed -i 's/ row_writer\.h / /' "$work/src/unload/CMakeLists.txt"
sed -i 's/^add_library(bexunload_cmd /add_library(bexunload_cmd row_writer.h /' "$work/src/commands/unload/CMakeLists.txt"
cp "$work/src/unload/row_writer.h" "$work/src/commands/unload/row_writer.h"
rm "$work/src/unload/row_writer.h"
sed -i 's#"unload/row_writer.h"#"commands/unload/row_writer.h"#' "$work/src/unload/row_walk.h"
expect_fault "a header of the wrong library" "bexunload includes commands/unload/row_writer.h of bexunload_cmd"

rm -rf "$work/src" && cp -R "$top/src" "$work/src"
sed -i 's/ row_writer\.h / /' "$work/src/unload/CMakeLists.txt"
expect_fault "a header of no library" "unload/row_writer.h: belongs to no library"
exit 0
