#!/bin/sh
# The EXTERNAL group of the asm scenario: two disks, 1 MB AUs, little-endian
# metadata, with the originals and what BEX must make of them under expect/.
"$BEX_BUILD/bexforge" asm . > /dev/null || exit 1
