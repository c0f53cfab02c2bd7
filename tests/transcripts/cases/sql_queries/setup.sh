#!/bin/sh
# The forged dictionary database, and the check that asks BEX's SQL what the
# forge stored (expect/rows/: the rows of every table as forged).
"$BEX_BUILD/bexforge" dict . > /dev/null || exit 1
sed "s|@BEX@|$BEX_BUILD/bex|" "$BEX_CASE/check.sh.in" > check.sh
