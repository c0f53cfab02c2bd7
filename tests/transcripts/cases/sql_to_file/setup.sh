#!/bin/sh
# The forged dictionary database, and the check that compares the files SQL
# ... TO writes with the rows the forge stored.
"$BEX_BUILD/bexforge" dict . > /dev/null || exit 1
sed "s|@BEX@|$BEX_BUILD/bex|" "$BEX_CASE/check.sh.in" > check.sh
