OPEN files.cfg
REM an all-zero block collapses to one line
OSDUMP FILE 5 BLOCK 17
REM no line repeats: every line, and the headers every 256 bytes
OSDUMP FILE 2 BLOCK 1
REM block 0 may be dumped by file and block
OSDUMP FILE 5 BLOCK 0 TO block0.txt
OSDUMP RDBA 0x01400003 TO map.txt
REM a TO file that cannot be created: the console gets the dump
OSDUMP RDBA 20971532 TO nodir/x.txt
REM usage and read errors
OSDUMP
OSDUMP FILE 0 BLOCK 3
OSDUMP BLOCK 3
OSDUMP FILE 5 BLOCK 999 TO never.txt
OSDUMP FILE 9 BLOCK 1
OSDUMP RDBA 0x0140ffff
EXIT
