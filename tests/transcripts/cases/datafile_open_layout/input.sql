REM nothing SET: OPEN takes the layout of the files it lists
OPEN b16/small.cfg
ORADUMP FILE 5 BLOCK 1
OPEN l2/small.cfg
OPEN l32h/small.cfg
OPEN b4h/small.cfg
REM the same layout again: only the header size, which no line gives, is taken again
OPEN b4h/small.cfg
REM a SET value wins: BYTE_ORDER is not probed, the block size still is
SET BYTE_ORDER LITTLE
OPEN b16/small.cfg
SET BYTE_ORDER BIG
OPEN b16/small.cfg
SET BLOCK_SIZE 8192
OPEN l2/small.cfg
EXIT
