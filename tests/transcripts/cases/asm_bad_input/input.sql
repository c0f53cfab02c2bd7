REM The map of the sound group, for the copy of a group whose directory is lost.
ASM OPEN asm.disks
ASM SCAN TO asm.SCAN.map
REM Both file directory AUs zeroed: nothing is found, and said so; the map
REM still gives every extent back.
ASM OPEN z.disks
ASM LIST
ASM FILE
ASM FMAP FILE 260
ASM COPY FILE 260 TO z.COPY.260
ASM COPY FILE 260 TO z.MAP.260 MAP asm.SCAN.map
! cmp -n 3211264 z.MAP.260 scan06.dbf && echo "copy of 260 by the map begins with scan06.dbf"
! ls -l z.MAP.260 | awk '{ print $5 " bytes: whole AUs, the size went with the directory" }'
ASM COPY FILE 999 TO z.MAP.999 MAP asm.SCAN.map
ASM COPY FILE 260 TO z.MAP.260 MAP no_such.map
OPEN asm.cfg
REM Entries overwritten with data-file bytes: the sound entries are still read.
ASM OPEN r.disks
ASM FILE
ASM FMAP FILE 256
ASM FMAP FILE 260
ASM COPY FILE 260 TO r.COPY.260
! cmp r.COPY.260 scan06.dbf && echo copy of 260 equals scan06.dbf
REM An extent count that lies and a pointer past the end of the disk.
ASM OPEN l.disks
ASM FMAP FILE 260
ASM COPY FILE 260 TO l.COPY.260
! cmp -l l.COPY.260 scan06.dbf | awk '{ print int(($1 - 1) / 1048576) + 1 }' | uniq | tr '\n' ' '; echo "<- extents of the copy that differ from scan06.dbf"
REM A missing disk that holds the directory's second AU: its files cannot be found.
ASM OPEN missing.disks
ASM LIST
ASM COPY FILE 260 TO m.COPY.260
! [ -f m.COPY.260 ] || echo no copy of 260: its directory entry lies on the missing disk
OPEN asm.cfg
REM A disk list of twenty lines.
ASM OPEN twenty.disks
ASM LIST
EXIT
