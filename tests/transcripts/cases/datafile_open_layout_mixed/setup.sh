#!/bin/sh
# Lists mixing files of two block sizes, and of two byte orders.
set -e
for set in "l8 --block-size 8192" "l16 --block-size 16384" "b8 --big --block-size 8192"; do
  dir=${set%% *}
  mkdir -p "$dir" && "$BEX_BUILD/bexforge" small $set > /dev/null
done
cat l16/small.cfg l8/small.cfg l16/small.cfg > sizes.cfg
cat l8/small.cfg b8/small.cfg > orders.cfg
