#!/bin/sh
# The schema APP of the csv scenario: text that tries CSV, every scalar
# type, LOBs, partitions, a cluster.
"$BEX_BUILD/bexforge" csv . || exit 1
mkdir -p BEXDICT
