OPEN unload.cfg
REM The extent listing of the database scan is what UNLOAD OBJECT reads first.
SCAN DATABASE
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO heap.txt;
! cmp heap.txt unload.81001.txt && echo heap same
UNLOAD OBJECT 81002 COLUMN NUMBER COLUMN VARCHAR2 TO stale.txt;
! cmp stale.txt unload.81002.map.txt && echo stale block passed over
UNLOAD OBJECT 81010 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO chains.txt;
! cmp chains.txt unload.81010.txt && echo chains same
UNLOAD OBJECT 81030 CLUSTER 2 COLUMN NUMBER COLUMN VARCHAR2 TO dept.txt;
! cmp dept.txt unload.81030.c2.txt && echo cluster same
UNLOAD OBJECT 81050 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO iot.txt;
! cmp iot.txt unload.81050.txt && echo iot same
REM FILE and BLOCK together bypass the listing.
UNLOAD OBJECT 81001 FILE 7 BLOCK 23 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER
  TO block23.txt;
! cmp block23.txt unload.81001.block23.txt && echo data block same
REM A listing that names no run of the object unloads nothing.
! printf '81002,7,41,3,0,\r\n' > other.ext
UNLOAD OBJECT 81001 EXTENT other.ext COLUMN NUMBER;
! printf '0,7,20,15,0,\r\n81001,0,20,15,0,\r\n81001,7,0,15,0,\r\n81001,7,20,0,0,\r\n81001,7,4294967295,2,0,\r\nbad line\r\n81001,7,33,4000000000,0,\r\n' > odd.ext
UNLOAD OBJECT 81001 EXTENT odd.ext COLUMN NUMBER TO odd.txt;
! cat odd.txt
