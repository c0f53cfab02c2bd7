#!/bin/sh
# A NORMAL redundancy group of three disks (two copies of every extent);
# disk 0, with the primary copy of the file directory's first AU, is missing
# (its image lies under missing/, the disk list still names it).
"$BEX_BUILD/bexforge" asmnormal . > /dev/null || exit 1
# Two bytes of a database block in the primary copy of file 260's third
# extent (AU 9 of disk 1) are damaged: that block fails the block check and
# is read from its mirror.
printf '\125\252' | dd of=asmnormal_d1.img bs=1 seek=$((9 * 1048576 + 5 * 8192 + 200)) conv=notrunc status=none
