#!/bin/sh
# The truncated tables at 2 KB blocks, big-endian.
"$BEX_BUILD/bexforge" truncated . --big --block-size 2048 || exit 1
