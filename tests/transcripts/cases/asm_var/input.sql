REM Variable extent sizes: the plain file and its ASM copy give the same
REM scan listing and rows; the map crosses from 1-AU to 4-AU extents; a
REM hole and extents no indirect block names read as zeros in the copy.
OPEN asmvar_plain.cfg
SCAN DATABASE
! sh expect/asmvar/check.sh scan asmvar
UNLOAD OBJECT 95001 COLUMN NUMBER COLUMN VARCHAR2 TO asmvar.plain.txt;
ASM OPEN asmvar.disks
ASM EXTENT LEVEL 1 AU 20000 COUNT 1
ASM EXTENT LEVEL 2 AU 40000 COUNT 4
ASM EXTENT LEVEL 4 AU 50000 COUNT 8
ASM LIST
ASM FILE TO asmvar.FILE.txt
ASM ALIAS TO asmvar.ALIAS.txt
ASM FMAP FILE 1 TO asmvar.FMAP.1.txt
ASM LSAU DISK 0 AU 2 TO asmvar.LSAU.0.2.txt
ASM LSAU DISK 1 AU 2 TO asmvar.LSAU.1.2.txt
ASM LSAU DISK 1 AU 3 TO asmvar.LSAU.1.3.txt
ASM LSAU DISK 0 AU 66 TO asmvar.LSAU.0.66.txt
ASM FMAP FILE 256 TO asmvar.FMAP.256.txt
ASM FMAP FILE 257 TO asmvar.FMAP.257.txt
ASM SCAN TO asmvar.SCAN.map
! sh expect/asmvar/check.sh listings
! grep -n ERROR asmvar.FMAP.257.txt
ASM FMAP2 FILE 256 OFFSET 19999 TO fmap2.txt
! grep -E "extentid=(19999|20000|20001|20002|20040)," fmap2.txt
ASM COPY FILE 256 TO asmvar.COPY.256
! cmp asmvar.COPY.256 asmvar_big05.dbf && echo copy of 256 equals asmvar_big05.dbf
ASM COPY FILE 257 TO asmvar.COPY.257
! cmp -l asmvar.COPY.257 asmvar_hole06.dbf | awk '{ print int(($1 - 1) / 8192) + 1 }' | uniq | tr '\n' ' '; echo "<- extents of 257 that differ from asmvar_hole06.dbf"
OPEN asmvar.cfg
SCAN DATABASE
! sh expect/asmvar/check.sh scan asmvar
UNLOAD OBJECT 95001 COLUMN NUMBER COLUMN VARCHAR2 TO asmvar.asm.txt;
! cmp asmvar.plain.txt asmvar.asm.txt && echo asmvar.asm.txt equals asmvar.plain.txt
REM Disk 1 missing: the directory cannot be searched, but with the place of
REM its entry the file is copied, every extent on disk 0 read.
! echo asmvar_d0.img > half.disks
ASM OPEN half.disks
ASM EXTENT LEVEL 1 AU 20000 COUNT 1
ASM EXTENT LEVEL 2 AU 40000 COUNT 4
ASM COPY FILE 257 TO half.COPY.257
ASM COPY FILE 257 DISK 0 AU 66 BLOCK 1 TO half.COPY.257
! cmp -l half.COPY.257 asmvar.COPY.257 | awk '{ print int(($1 - 1) / 8192) + 1 }' | uniq | wc -l | sed 's/$/ extents of 257 differ from the copy made with both disks/'
EXIT
