REM Without the SYSTEM file there is no dictionary row to find: empty files.
! grep users dict.cfg > users.cfg
OPEN users.cfg
UNLOAD TABLE DICT$;
! wc -c BEXDICT/BEXUSR.TXT BEXDICT/BEXOBJ.TXT BEXDICT/BEXTAB.TXT BEXDICT/BEXCOL.TXT BEXDICT/BEXTYP.TXT
LIST USER
OPEN dict.cfg
REM CLUSTER 3 reads table 3 of each scanned segment for USER$, OBJ$, TAB$ and
REM COL$: only the object cluster has one (IND$).
UNLOAD TABLE DICT$ CLUSTER 3;
! wc -l BEXDICT/BEXUSR.TXT BEXDICT/BEXOBJ.TXT BEXDICT/BEXCOL.TXT BEXDICT/BEXTYP.TXT
! cat BEXDICT/BEXTAB.TXT
REM OBJECT 10 CLUSTER 1: USER$ rows into every file.
UNLOAD TABLE DICT$ OBJECT 10 CLUSTER 1;
! cat BEXDICT/BEXOBJ.TXT
REM A corrupt block of the object cluster is counted by every scan that reads
REM it. It holds the TAB$ rows that locate IND$, TABPART$ and COLTYPE$: those
REM are passed over, and the type file is emptied rather than left from before.
CORRUPT FILE 1 BLOCK 41
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
! wc -c BEXDICT/BEXTYP.TXT
CORRUPT CLEAR
REM ROW_ADDRESS does not reach the dictionary files and keeps its value.
SET ROW_ADDRESS 1
UNLOAD TABLE DICT$;
SET ROW_ADDRESS
! sh expect/check.sh dict
SET ROW_ADDRESS 0
REM A file that cannot be created: its rows go to the console.
! rm BEXDICT/BEXUSR.TXT
! mkdir BEXDICT/BEXUSR.TXT
UNLOAD TABLE DICT$;
LIST USER
! rmdir BEXDICT/BEXUSR.TXT
REM The dictionary's columns name the character sets they were written in:
REM settings that differ from them are pointed out with the SET that fixes them.
SET CHARSET AL32UTF8
SET NLSCHARSET UTF8
UNLOAD TABLE DICT$;
SET CHARSET ZHS16GBK
SET NLSCHARSET AL16UTF16
UNLOAD TABLE DICT$;
