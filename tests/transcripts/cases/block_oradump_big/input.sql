SET BYTE_ORDER BIG
OPEN out/small.cfg
REM file header, segment header, its extent map block
ORADUMP FILE 5 BLOCK 1
ORADUMP RDBA 0x01400002
ORADUMP RDBA 20971523
REM table block: deleted, locked, chained, migrated and long rows, a free slot
ORADUMP FILE 5 BLOCK 4
REM FLG 0x32: pieces of chained and migrated rows
ORADUMP FILE 5 BLOCK 5
REM cluster block, compressed block, index leaf, IOT leaf
ORADUMP FILE 5 BLOCK 6
ORADUMP FILE 5 BLOCK 7
ORADUMP FILE 5 BLOCK 8
ORADUMP FILE 5 BLOCK 9
REM undo block, undo segment headers, paged segment header and its map
ORADUMP FILE 5 BLOCK 10
ORADUMP FILE 5 BLOCK 11
ORADUMP FILE 5 BLOCK 14
ORADUMP FILE 5 BLOCK 13
ORADUMP FILE 5 BLOCK 15
REM TRANS_OFFSET and TRANS_COUNT override the transaction table place
SET TRANS_OFFSET 6096
SET TRANS_COUNT 8
ORADUMP FILE 5 BLOCK 11 TO smu.txt
REM the checksum verdict does not depend on the byte order
SET BLOCK_CHECK 1
BCHECK FILE 5 BLOCK 16
BCHECK FILE 5 BLOCK 4
EXIT
