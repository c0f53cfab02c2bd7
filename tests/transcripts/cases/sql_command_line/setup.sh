#!/bin/sh
# bex sql over the forged csv database (GBK text) and lob database (LOB
# values of every kind), with the check that compares its answers with what
# the forge stored.
mkdir csv lob && (cd csv && "$BEX_BUILD/bexforge" csv . > /dev/null) && (cd lob && "$BEX_BUILD/bexforge" lob . > /dev/null) || exit 1
sed "s|@BEX@|$BEX_BUILD/bex|" "$BEX_CASE/check.sh.in" > check.sh
