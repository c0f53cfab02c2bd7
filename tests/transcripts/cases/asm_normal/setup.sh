#!/bin/sh
# A NORMAL redundancy group of three disks (two copies of every extent);
# disk 0, with the primary copy of the file directory's first AU, is missing
# (its image lies under missing/, the disk list still names it).
"$BEX_BUILD/bexforge" asmnormal . > /dev/null || exit 1
