#!/bin/sh
# The guess database with random bytes in two listed blocks, and the
# listing of the sound file.
"$BEX_BUILD/bexforge" guess . || exit 1
mkdir -p BEXDICT && cp guess.BEXEXT.TXT BEXDICT/BEXEXT.TXT
