#!/bin/sh
# An EXTERNAL group of two disks with 1 MB AUs holding the files of the dict
# and scan scenarios (ASM files 256 to 261), a fine-striped copy of
# scan06.dbf (262) and an alias directory; asm_nohdr.disks also names an
# image whose block 0 is not a disk header.
"$BEX_BUILD/bexforge" asm . > /dev/null || exit 1
