REM The ASM command word, its settings and their messages.
ASM HELP
ASM FROB
ASM SET
ASM SET NOSUCH 1
ASM SET AU_SIZE 4
ASM SET AU_SIZE 0
ASM SET AU_SIZE 1048576
ASM SET STRIP_SIZE 128
ASM SET STRIP_WIDTH
ASM SET ORACLE_BLOCK 8192
ASM LIST
REM A disk whose block 0 is not a disk header is refused; the others are entered.
ASM OPEN asm_nohdr.disks
ASM OPEN no_such.disks
ASM OPEN asm.disks
ASM LIST
ASM LSAU DISK 0 AU 2 COUNT 2
ASM LSAU DISK 1 AU 2
ASM FILE
ASM ALIAS
ASM EXTENT
REM Level 2 cannot be set while level 1 has no last extent.
ASM EXTENT LEVEL 2 AU 40000 COUNT 4
ASM FMAP FILE 260
ASM FMAP FILE 260 DISK 1 AU 2 BLOCK 4
ASM FMAP2 FILE 260 OFFSET 2
ASM FMAP FILE 999
ASM DUMP FILE 261 OFFSET 1
ASM DUMP FILE 261 OFFSET 200
ASM SCAN DISK 1 AU 2 COUNT 1
REM Copies equal their originals, the striped one too.
ASM COPY FILE 256 TO copy256.dbf
! cmp copy256.dbf dict_system01.dbf && echo copy256.dbf equals dict_system01.dbf
ASM COPY FILE 260 TO copy260.dbf
! cmp copy260.dbf scan06.dbf && echo copy260.dbf equals scan06.dbf
ASM SCOPY FILE 262 TO scopy262.dbf
! cmp scopy262.dbf scan06.dbf && echo scopy262.dbf equals scan06.dbf
ASM COPY FILE 256
ASM COPY FILE 256 TO no_such_dir/copy.dbf
EXIT
