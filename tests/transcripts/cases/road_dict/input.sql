REM The typical recovery: open the files, bootstrap the dictionary, list the
REM tables of each user and run the UNLOAD lines LIST printed.
OPEN dict.cfg
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
REM A second bootstrap writes the same files (BEXTAB.TXT is not appended twice).
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
LIST USER
LIST TABLE SCOTT
LIST TABLE SCOTT TO scott.sql
! cmp scott.sql expect/list_SCOTT.txt && echo LIST TABLE SCOTT as forged
LIST TABLE HR TO hr.sql
! cmp hr.sql expect/list_HR.txt && echo LIST TABLE HR as forged
LIST TABLE SYS TO sys.sql
! cmp sys.sql expect/list_SYS.txt && echo LIST TABLE SYS as forged
@scott.sql
@hr.sql
@sys.sql
REM Every data and LOB file against the forged rows.
! sh expect/check.sh rows
LOAD SCRIPT loadall.bat
! ls *_syntax.sql | wc -l
! ls *_sqlldr.ctl | wc -l
