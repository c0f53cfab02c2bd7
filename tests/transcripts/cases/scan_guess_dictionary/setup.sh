#!/bin/sh
# A database without its dictionary and an older dictionary of it.
"$BEX_BUILD/bexforge" guess . || exit 1
