OPEN unload.cfg
REM Chained rows: three blocks with a split column, two pieces in one block,
REM a migrated row, a chain into another object, a loop, a missing block.
UNLOAD OBJECT 81010 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO chains.txt;
! cmp chains.txt unload.81010.txt && echo chains same
UNLOAD OBJECT 81010 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER EXTENT unload.ext TO chains2.txt;
! cmp chains2.txt unload.81010.txt && echo chains through the listing same
SET MAXCHAINS 1
UNLOAD OBJECT 81010 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO max1.txt;
! cmp max1.txt unload.81010.maxchains1.txt && echo maxchains 1 same
SET MAXCHAINS 0
SET VERBOSE 1
UNLOAD OBJECT 81010 FILE 7 BLOCK 56 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO verbose.txt;
SET VERBOSE 0
REM Deleted and locked rows, trailing NULLs, damaged row directory and lengths.
UNLOAD OBJECT 81020 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER TO filters.txt;
! cmp filters.txt unload.81020.txt && echo filters same
SET DELETED_ROW TRUE
UNLOAD OBJECT 81020 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER TO deleted.txt;
! cmp deleted.txt unload.81020.deleted.txt && echo deleted rows same
SET DELETED_ROW FALSE
SET COMMITED_ONLY TRUE
UNLOAD OBJECT 81020 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER TO committed.txt;
! cmp committed.txt unload.81020.committed.txt && echo committed rows same
SET COMMITED_ONLY FALSE
REM Cluster blocks: each table's rows with the cluster key first.
UNLOAD OBJECT 81030 CLUSTER 1 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER TO emp.txt;
! cmp emp.txt unload.81030.c1.txt && echo cluster table 1 same
UNLOAD OBJECT 81030 CLUSTER 2 COLUMN NUMBER COLUMN VARCHAR2 EXTENT unload.ext TO dept.txt;
! cmp dept.txt unload.81030.c2.txt && echo cluster table 2 same
REM A compressed block: rows of table 1 through the symbol table.
UNLOAD OBJECT 81040 COLUMN VARCHAR2 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER TO compressed.txt;
! cmp compressed.txt unload.81040.txt && echo compressed same
REM Index-organised rows with overflow pieces; the full scan does not read index blocks.
UNLOAD OBJECT 81050 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO iot.txt;
! cmp iot.txt unload.81050.txt && echo iot same
UNLOAD OBJECT 81050 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER EXTENT unload.ext TO iot2.txt;
! cmp iot2.txt unload.81050.txt && echo iot through the listing same
CORRUPT FILE 7 BLOCK 80
UNLOAD OBJECT 81050 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO iot3.txt;
CORRUPT CLEAR
REM The row address of a row in file 600 is a positive number.
SET ROW_ADDRESS 1
UNLOAD OBJECT 81060 COLUMN NUMBER COLUMN VARCHAR2 TO far.txt;
! cmp far.txt unload.81060.rowaddr.txt && echo row address same
UNLOAD OBJECT 81060 COLUMN NUMBER COLUMN VARCHAR2;
SET ROW_ADDRESS 0
REM Rows on the console.
UNLOAD OBJECT 81040 COLUMN VARCHAR2 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER;
