#!/bin/sh
# The asm scenario with 8 MB AUs on four disks.
"$BEX_BUILD/bexforge" asm . --au 8 --disks 4 > /dev/null || exit 1
