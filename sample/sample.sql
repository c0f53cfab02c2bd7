REM The typical recovery on the bundled sample database: open the data
REM files, unload the dictionary, look at the users and the tables of one of
REM them, unload every table with the lines LIST wrote, and write the batch
REM file that loads the results into a new database.
OPEN dict.cfg
UNLOAD TABLE DICT$;
LIST USER
LIST TABLE SCOTT
DESC SCOTT.EMP
LIST TABLE SCOTT TO unload_scott.sql
@unload_scott.sql
LOAD SCRIPT loadall.bat
REM The forge knows what every unloaded file must hold: compare.
! sh expect/check.sh rows | grep SCOTT
EXIT
