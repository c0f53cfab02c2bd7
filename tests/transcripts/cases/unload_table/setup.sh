#!/bin/sh
# The forged tables, and dictionary files naming two of them as SCOTT's.
"$BEX_BUILD/bexforge" unload . || exit 1
mkdir -p BEXDICT
printf '0,SYS,\n54,SCOTT,\n' > BEXDICT/BEXUSR.TXT
printf '81001,54,HEAP,,2,\n81010,54,CHAINS,,2,\n81077,54,EMPTYT,,2,\n81078,54,ELSEWHERE,,2,\n' > BEXDICT/BEXOBJ.TXT
printf '81001,81001,4,7,10,0\n81010,81010,4,7,55,0\n81077,81077,4,7,88,0\n81078,81078,9,7,89,0\n' > BEXDICT/BEXTAB.TXT
heap='81001,1,1,ID,2,22,0,0,1,1,0,0,0,
81001,2,2,NAME,1,20,0,0,0,2,0,852,1,
81001,3,3,NOTE,1,40,0,0,0,3,0,852,1,
81001,4,4,CREATED,12,7,0,0,0,4,0,0,0,
81001,5,5,AMOUNT,2,22,10,0,0,5,0,0,0,'
chains='81010,1,1,ID,2,22,0,0,0,1,0,0,0,
81010,2,2,LABEL$,1,30,0,0,0,2,0,852,1,
81010,3,3,DAY,12,7,0,0,0,3,0,0,0,
81010,4,4,N,2,22,0,0,0,4,0,0,0,'
empty='81077,1,1,ID,2,22,0,0,0,1,0,0,0,'
printf '%s\n%s\n%s\n' "$heap" "$chains" "$empty" > BEXDICT/BEXCOL.TXT
# The column map files hold the columns of OBJ# modulo 64.
printf '%s\n' "$heap" > BEXDICT/BEXCOLMAP041.TXT
printf '%s\n' "$chains" > BEXDICT/BEXCOLMAP050.TXT
printf '%s\n' "$empty" > BEXDICT/BEXCOLMAP053.TXT
