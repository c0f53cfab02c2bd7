SET BYTE_ORDER BIG
REM A redundancy group with one disk missing: LIST names the disk whose
REM copies cannot be read, FMAP marks every copy, and every block of every
REM file still comes back, through the copies on the disks that are there.
OPEN dict.cfg
SCAN DATABASE
! cp BEXDICT/BEXEXT.TXT dict.BEXEXT.TXT && cp BEXDICT/BEXLOB.TXT dict.BEXLOB.TXT
ASM OPEN asmhigh.disks
ASM LIST
ASM FMAP FILE 260
ASM FMAP2 FILE 260
ASM FILE
ASM COPY FILE 256 TO asmhigh.COPY.256
ASM COPY FILE 257 TO asmhigh.COPY.257
ASM COPY FILE 258 TO asmhigh.COPY.258
ASM COPY FILE 259 TO asmhigh.COPY.259
ASM COPY FILE 260 TO asmhigh.COPY.260
ASM COPY FILE 261 TO asmhigh.COPY.261
! for f in 256:dict_system01 257:dict_users04 258:scan04 259:scan05 260:scan06 261:scan07; do cmp asmhigh.COPY.${f%%:*} ${f#*:}.dbf && echo "copy of ${f%%:*} equals ${f#*:}.dbf"; done
ASM SCAN TO asmhigh.SCAN.map
ASM COPY FILE 260 TO asmhigh.MAP.260 MAP asmhigh.SCAN.map
! cmp asmhigh.MAP.260 scan06.dbf && echo "copy of 260 by the map equals scan06.dbf"
OPEN asmhigh.cfg
SCAN DATABASE
! sh expect/asmhigh/check.sh scan dict
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
LIST TABLE SCOTT TO asmhigh_SCOTT.sql
@asmhigh_SCOTT.sql
! sh expect/check.sh rows SCOTT
LIST TABLE HR TO asmhigh_HR.sql
@asmhigh_HR.sql
! sh expect/check.sh rows HR
OPEN asmhigh_scan.cfg
SCAN DATABASE
! sh expect/asmhigh/check.sh scan scan
EXIT
