SET BYTE_ORDER BIG
REM The ASM road: the listings of the group as forged, copies equal to their
REM originals, and the data files read through "+n" give the same scan
REM listings, dictionary and rows as the plain files.
OPEN dict.cfg
SCAN DATABASE
! cp BEXDICT/BEXEXT.TXT dict.BEXEXT.TXT && cp BEXDICT/BEXLOB.TXT dict.BEXLOB.TXT
ASM OPEN asm.disks
ASM LIST TO asm.LIST.txt
ASM FILE TO asm.FILE.txt
ASM ALIAS TO asm.ALIAS.txt
ASM FMAP FILE 1 TO asm.FMAP.1.txt
ASM LSAU DISK 0 AU 2 TO asm.LSAU.0.2.txt
ASM LSAU DISK 1 AU 2 TO asm.LSAU.1.2.txt
ASM FMAP FILE 256 TO asm.FMAP.256.txt
ASM FMAP FILE 257 TO asm.FMAP.257.txt
ASM FMAP FILE 258 TO asm.FMAP.258.txt
ASM FMAP FILE 259 TO asm.FMAP.259.txt
ASM FMAP FILE 260 TO asm.FMAP.260.txt
ASM FMAP FILE 261 TO asm.FMAP.261.txt
ASM FMAP FILE 262 TO asm.FMAP.262.txt
ASM SCAN TO asm.SCAN.map
! sh expect/asm/check.sh listings
ASM COPY FILE 256 TO asm.COPY.256
ASM COPY FILE 257 TO asm.COPY.257
ASM COPY FILE 258 TO asm.COPY.258
ASM COPY FILE 259 TO asm.COPY.259
ASM COPY FILE 260 TO asm.COPY.260
ASM COPY FILE 261 TO asm.COPY.261
ASM SCOPY FILE 262 TO asm.SCOPY.262
! for f in 256:dict_system01 257:dict_users04 258:scan04 259:scan05 260:scan06 261:scan07; do cmp asm.COPY.${f%%:*} ${f#*:}.dbf && echo "copy of ${f%%:*} equals ${f#*:}.dbf"; done
! cmp asm.SCOPY.262 scan06.dbf && echo "striped copy of 262 equals scan06.dbf"
OPEN asm.cfg
SCAN DATABASE
! sh expect/asm/check.sh scan dict
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
LIST TABLE SCOTT TO asm_SCOTT.sql
@asm_SCOTT.sql
! sh expect/check.sh rows SCOTT
LIST TABLE HR TO asm_HR.sql
@asm_HR.sql
! sh expect/check.sh rows HR
OPEN asm_scan.cfg
SCAN DATABASE
! sh expect/asm/check.sh scan scan
REM Four workers read the group's files at once: the same lines, in worker order.
SCAN PARALLELDB
! sort BEXDICT/BEXEXT.TXT > par.txt && sort scan.BEXEXT.TXT > one.txt && cmp par.txt one.txt && echo parallel extent listing as forged
EXIT
