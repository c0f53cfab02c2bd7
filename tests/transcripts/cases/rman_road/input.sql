REM The RMAN road: the runs the pieces hold as forged, the files restored from
REM them as expected, and the dictionary and rows of the restored files and of
REM the files RMAN OPEN reads in place as on the originals; then damaged pieces.
ASM OPEN rmanasm.disks
OPEN rman.cfg
RMAN SCAN
! sh expect/rman/check.sh listing rman
RMAN RESTORE FILE 2
RMAN RESTORE FILE 5
RMAN RESTORE FILE 7
! sh expect/rman/check.sh restored rman
OPEN rman_restored.cfg
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
LIST TABLE SCOTT TO rman_SCOTT.sql
@rman_SCOTT.sql
! sh expect/check.sh rows SCOTT
LIST TABLE HR TO rman_HR.sql
@rman_HR.sql
! sh expect/check.sh rows HR
OPEN rman.cfg
RMAN OPEN
SCAN DATABASE
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
LIST TABLE SCOTT TO rman_SCOTT.sql
@rman_SCOTT.sql
! sh expect/check.sh rows SCOTT
LIST TABLE HR TO rman_HR.sql
@rman_HR.sql
! sh expect/check.sh rows HR
! rm -f RMAN_*.DBF
OPEN rman_damaged.cfg
RMAN SCAN
! sh expect/rman/check.sh listing rman_damaged
RMAN RESTORE FILE 2
RMAN RESTORE FILE 5
! sh expect/rman/check.sh restored rman_damaged
EXIT
