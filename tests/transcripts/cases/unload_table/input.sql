OPEN unload.cfg
LOG unload.log
REM A table of the dictionary: data file, CREATE TABLE script and control file.
UNLOAD TABLE scott.heap TO heap.txt;
! cmp heap.txt unload.81001.txt && echo rows same
! ls scott_HEAP_81001_syntax.sql scott_HEAP_81001_sqlldr.ctl
REM The AS name goes into the file names and texts; "$" in names becomes "_".
SET ROW_ADDRESS 1
SET UNIQUE_TNAME YES
UNLOAD TABLE SCOTT.CHAINS AS chains$copy TO chains.txt;
! cut -d'|' -f2- chains.txt | cmp - unload.81010.txt && echo chains rows as forged
SET ROW_ADDRESS 0
SET UNIQUE_TNAME NO
REM A TO name ending in .dmp switches this one command to the export dump.
SET OUTPUT_STYLE
UNLOAD TABLE SCOTT.HEAP TO heap.dmp;
SET OUTPUT_STYLE
UNLOAD TABLE SCOTT.HEAP TO heap2.txt LIMIT 3;
REM No rows and EMPTY_FILES off: no files stay behind.
UNLOAD TABLE SCOTT.EMPTYT TO empty.txt;
! ls empty.txt SCOTT_EMPTYT_81077_syntax.sql SCOTT_EMPTYT_81077_sqlldr.ctl 2>&1 | sed 's/^ls: cannot access .\(.*\).: No such file or directory/\1 removed/'
REM Unknown tables, another tablespace.
UNLOAD TABLE SCOTT.NOPE TO nope.txt;
UNLOAD TABLE NOBODY.HEAP;
SET TABLESPACE 4
UNLOAD TABLE SCOTT.ELSEWHERE TO elsewhere.txt;
SET TABLESPACE 0
! cut -d, -f2- unload.log
REM A CREATE TABLE script or control file that cannot be written whole is reported like the data file.
! ln -s /dev/full scott_FULL_81001_syntax.sql && ln -s /dev/full scott_FULL_81001_sqlldr.ctl
UNLOAD TABLE scott.heap AS full TO full.txt;
