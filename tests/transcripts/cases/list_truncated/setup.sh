#!/bin/sh
# Tables truncated with their first extent kept, with the rows their old
# incarnations must give back (expect/rows/).
"$BEX_BUILD/bexforge" truncated . || exit 1
