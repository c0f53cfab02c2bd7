#!/bin/sh
# The dictionary scenario's database after two tables of SCOTT were dropped
# with PURGE, with what BEX must make of it under expect/.
"$BEX_BUILD/bexforge" dropped . > /dev/null || exit 1
