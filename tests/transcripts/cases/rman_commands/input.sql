REM The RMAN statements: usage, what does nothing, the listing of damaged
REM pieces with what each one lost, listing lines RESTORE cannot take, RMAN
REM OPEN, and the statements that wait for the pieces to be opened again.
RMAN
RMAN LIST
RMAN RESTORE
RMAN RESTORE FILE
RMAN RESTORE FILE 0
RMAN RESTORE FILE 2
RMAN SCAN
OPEN rman_damaged.cfg
RMAN SCAN
RMAN RESTORE FILE 99
! cp bad.BEXRMAN.TXT BEXDICT/BEXRMAN.TXT
RMAN RESTORE FILE 2
! ls -l RMAN_2.DBF | awk '{print $5}'
RMAN SCAN
RMAN OPEN
RMAN RESTORE FILE 2
RMAN SCAN
OPEN rman_damaged.cfg
RMAN RESTORE FILE 5
EXIT
