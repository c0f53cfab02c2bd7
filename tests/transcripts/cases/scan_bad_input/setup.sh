#!/bin/sh
# Damaged inputs for SCAN: a file cut in the middle of block 30, a file of
# zeros, a file header followed by zeros, a file that does not exist.
"$BEX_BUILD/bexforge" scan . > /dev/null
head -c 246760 scan04.dbf > cut04.dbf
head -c 1048576 /dev/zero > zeros.dbf
head -c 16384 scan04.dbf > empty04.dbf
head -c 819200 /dev/zero >> empty04.dbf
printf 'cut04.dbf\nzeros.dbf\nempty04.dbf\nmissing.dbf\n' > bad.cfg
