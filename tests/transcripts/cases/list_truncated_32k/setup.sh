#!/bin/sh
# The truncated tables at 32 KB blocks, little-endian.
"$BEX_BUILD/bexforge" truncated . --block-size 32768 || exit 1
