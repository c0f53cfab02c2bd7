#!/bin/sh
# A HIGH redundancy group of four disks (three copies of every extent),
# big-endian, 4 MB AUs; disk 0 is missing.
"$BEX_BUILD/bexforge" asmhigh . --big --au 4 > /dev/null || exit 1
