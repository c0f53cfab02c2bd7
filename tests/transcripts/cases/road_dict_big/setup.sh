#!/bin/sh
# The dictionary scenario in big-endian files of 2048-byte blocks: more
# blocks per segment, every field the other way round.
"$BEX_BUILD/bexforge" dict . --big --block-size 2048 > /dev/null || exit 1
