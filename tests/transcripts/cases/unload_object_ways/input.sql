OPEN unload.cfg
REM Heap table 81001 through its segment header and two extent map blocks.
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO map.txt;
! cmp map.txt unload.81001.txt && echo map same
! ls map.LOB 2>&1 | sed 's/.*No such file.*/no empty LOB file left/'
REM The same rows through the extent listing.
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER
  EXTENT unload.ext TO listed.txt;
! cmp listed.txt unload.81001.txt && echo listing same
REM FILE and BLOCK naming the segment header: the whole segment.
UNLOAD OBJECT 81001 FILE 7 BLOCK 10 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER
  EXTENT unload.ext TO header.txt;
! cmp header.txt unload.81001.txt && echo header block same
REM FILE and BLOCK naming a data block: that block only.
UNLOAD OBJECT 81001 FILE 7 BLOCK 23 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER
  TO block23.txt;
! cmp block23.txt unload.81001.block23.txt && echo data block same
REM With the segment header marked corrupt the object is found by reading every block.
CORRUPT FILE 7 BLOCK 10
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO scan.txt;
! cmp scan.txt unload.81001.txt && echo scan same
CORRUPT CLEAR
REM Other tags.
SET FIELD_TAG \t|
SET RECORD_TAG \n
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO tab.txt;
! cmp tab.txt unload.81001.tab.txt && echo tab tags same
SET FIELD_TAG |
SET RECORD_TAG \r\n
REM A paged segment header (0x23) with a 0x24 extent map block.
UNLOAD OBJECT 81003 COLUMN NUMBER COLUMN VARCHAR2 TO paged.txt;
! cmp paged.txt unload.81003.txt && echo paged same
REM A stale block (own rdba differs) is passed over by the extent map and the listing...
UNLOAD OBJECT 81002 COLUMN NUMBER COLUMN VARCHAR2 TO stale_map.txt;
! cmp stale_map.txt unload.81002.map.txt && echo stale map same
UNLOAD OBJECT 81002 COLUMN NUMBER COLUMN VARCHAR2 EXTENT unload.ext TO stale_listed.txt;
! cmp stale_listed.txt unload.81002.map.txt && echo stale listing same
REM ... and taken by the full scan.
CORRUPT FILE 7 BLOCK 40
UNLOAD OBJECT 81002 COLUMN NUMBER COLUMN VARCHAR2 TO stale_scan.txt;
! cmp stale_scan.txt unload.81002.scan.txt && echo stale scan same
CORRUPT CLEAR
REM LIMIT: at least 10 rows; 25 gives 25.
UNLOAD OBJECT 81001 LIMIT 3 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO limit3.txt;
! cmp limit3.txt unload.81001.limit10.txt && echo limit 3 gives 10
UNLOAD OBJECT 81001 LIMIT 25 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER
  EXTENT unload.ext TO limit25.txt;
! cmp limit25.txt unload.81001.limit25.txt && echo limit 25 same
REM Blocks on the SKIP list and blocks that fail the block check are reported and left.
LOG unload.log
SKIP FILE 7 BLOCK 21
CORRUPT FILE 7 BLOCK 30
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN SKIP COLUMN SKIP COLUMN SKIP COLUMN SKIP TO skipped.txt;
! cut -d'|' -f1 skipped.txt | tr '\r\n' '  '; echo
SKIP CLEAR
CORRUPT CLEAR
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN SKIP COLUMN SKIP COLUMN SKIP COLUMN SKIP TO skipped.txt;
! cut -d, -f2- unload.log
REM Non-NULL LOB values that are not recovered are counted and reported per column.
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN BLOB COLUMN CLOB COLUMN DATE COLUMN NUMBER TO lobs.txt;
