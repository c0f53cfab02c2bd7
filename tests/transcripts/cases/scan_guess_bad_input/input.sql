REM The listing still names the damaged blocks inside the runs of NUMBERS
REM and TEXTS: the random block (4/11) is passed over, the random rows
REM behind a header of TEXTS (4/17) are refused as damage. PURGED (90130),
REM whose rows are all deleted, is not guessed; ONE_ROW (90120) is guessed
REM from its one row.
OPEN guess_bad.cfg
SCAN TABLE TO bad.sql
HOST cat bad.sql
REM The guessed lines run as written: every row of the sound blocks comes
REM back as forged.
@bad.sql
! for o in 90010 90020; do grep -cvxFf expect/rows/OBJD00000${o}C000.txt OBJD00000${o}C000.txt; done
! cmp OBJD0000090120C000.txt expect/rows/OBJD0000090120C000.txt && echo ONE_ROW as forged
REM SAMPLE of the damaged blocks and of the deleted rows.
SAMPLE OBJECT 90010 FILE 4 BLOCK 11
SAMPLE OBJECT 90020 FILE 4 BLOCK 17
SAMPLE OBJECT 90130 FILE 4 BLOCK 60
SET DELETED_ROW TRUE
SAMPLE OBJECT 90130 FILE 4 BLOCK 60
SCAN TABLE TO deleted.sql
! grep -A3 'Object = 90130' deleted.sql || echo PURGED not guessed
REM SAMPLE writes no LOB file, so it leaves one of the same name alone.
! printf 'LOB data of an earlier unload\n' > kept.LOB
SAMPLE OBJECT 90120 FILE 4 BLOCK 48 TO kept.sql
! cat kept.sql kept.LOB
