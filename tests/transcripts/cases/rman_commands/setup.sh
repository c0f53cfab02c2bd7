#!/bin/sh
# The damaged backup pieces of the rman scenario (no ASM group needed), and a
# listing with lines RESTORE cannot take.
"$BEX_BUILD/bexforge" rman . > /dev/null || exit 1
printf '1,1,0,1,1,\r\n1,1,0,1\r\n1,10,7,2,2,\r\n1,90,2,1,40,\r\n' > bad.BEXRMAN.TXT
