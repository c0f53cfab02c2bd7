#!/bin/sh
# The same data file written big-endian.
mkdir -p out && "$BEX_BUILD/bexforge" small out --big
