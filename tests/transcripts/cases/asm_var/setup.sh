#!/bin/sh
# An EXTERNAL group with 8 KB AUs under the variable extent table (20000
# extents of 1 AU, then 4 AUs): a sparse file of 20040 extents and one with
# an empty extent pointer and 20 extents no indirect block names.
"$BEX_BUILD/bexforge" asmvar . > /dev/null || exit 1
