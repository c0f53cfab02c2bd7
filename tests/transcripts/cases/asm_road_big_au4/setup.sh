#!/bin/sh
# The asm scenario in big-endian (metadata and data files), 4 MB AUs, three disks.
"$BEX_BUILD/bexforge" asm . --big --au 4 --disks 3 > /dev/null || exit 1
