OPEN unload.cfg
UNLOAD;
UNLOAD OBJECT;
UNLOAD LIMIT 20;
REM NUMBER, nothing for SKIP, VARCHAR2, then every further column as C<n>= hexadecimal
REM with at most five warnings per column.
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN SKIP COLUMN VARCHAR2 TO unknown.txt;
! cmp unknown.txt unload.81001.unknown.txt && echo unknown columns same
REM Column words by their beginning.
UNLOAD OBJECT 81060 COLUMN number(10) COLUMN varchar2(30) INDEX 1;
UNLOAD OBJECT 81060 COLUMN LONGRAW COLUMN RAW;
UNLOAD OBJECT 81060 COLUMN timestamp_ltz COLUMN CHARACTER;
REM An option the command does not know, an over-long value.
UNLOAD OBJECT 81060 COLUMNS NUMBER COLUMN NUMBER COLUMN VARCHAR2;
UNLOAD OBJECT 81060 PARTITION P234567890123456789012345678901234567890123456789012345678901234;
UNLOAD TABLE SCOTT.T234567890123456789012345678901234567890123456789012345678901234;
REM No rows: with EMPTY_FILES off the file is removed, with YES it stays.
UNLOAD OBJECT 99999 COLUMN NUMBER TO none.txt;
! ls none.txt 2>&1 | sed 's/.*No such file.*/none.txt removed/'
SET EMPTY_FILES YES
UNLOAD OBJECT 99999 COLUMN NUMBER TO none.txt;
! wc -c < none.txt
SET EMPTY_FILES NO
REM Table unloads need the dictionary files.
UNLOAD TABLE SCOTT.EMP TO emp.txt;
UNLOAD TABLE SCOTT.EMP TO emp.dmp;
UNLOAD TABLE .EMP;
UNLOAD TABLE DICT$;
LOG unload.log
UNLOAD OBJECT 81060 COLUMN NUMBER COLUMN VARCHAR2 TO far.txt;
! cut -d, -f2- unload.log
REM A data file that cannot be created: the rows come to the console.
UNLOAD OBJECT 81060 COLUMN NUMBER COLUMN VARCHAR2 TO missing_dir/far.txt;
REM A data file that cannot be written is not reported as a success.
! ln -s /dev/full full.txt
UNLOAD OBJECT 81060 COLUMN NUMBER COLUMN VARCHAR2 TO full.txt;
UNLOAD TABLE dict$ OBJECT 18;
