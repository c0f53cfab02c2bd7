#!/bin/sh
# The backup sets of the rman scenario: level 0 and level 1 pieces of the
# dict files (the level 1 piece with 512 bytes before its block 0), a piece
# of every block type as ASM file 256, and damaged copies; little-endian,
# 8 KiB blocks.
"$BEX_BUILD/bexforge" rman . > /dev/null || exit 1
