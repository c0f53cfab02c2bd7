REM most files say 16384: that is taken, the other file is named
OPEN sizes.cfg
REM a tie: the first file's byte order
OPEN orders.cfg
REM the SET that reads the named file
SET BYTE_ORDER BIG
OPEN orders.cfg
EXIT
