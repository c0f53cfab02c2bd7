#!/bin/sh
# The forged database of the dictionary scenario, with what BEX must make of
# it under expect/ (dictionary files, LIST lines, unloaded rows, check.sh).
"$BEX_BUILD/bexforge" dict . > /dev/null || exit 1
