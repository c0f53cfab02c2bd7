#!/bin/sh
# The dropped tables at 2 KB blocks, big-endian.
"$BEX_BUILD/bexforge" dropped . --big --block-size 2048 > /dev/null || exit 1
