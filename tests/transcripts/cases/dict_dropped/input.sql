REM The bootstrap writes the deleted rows of OBJ$, TAB$ and COL$ into files of
REM their own; the live files stay as they are.
OPEN dropped.cfg
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
! cat BEXDICT/BEXOBJDEL.TXT BEXDICT/BEXTABDEL.TXT BEXDICT/BEXCOLDEL.TXT
REM LIST DROPPED names the tables in the recycle bin (live rows under their
REM BIN$ name) and rebuilds each purged table from the deleted rows, with the
REM UNLOAD line that reads its data object by its column types. Before a scan
REM it cannot say how many blocks are left; HR dropped nothing.
LIST DROPPED SCOTT
LIST DROPPED HR
SCAN DATABASE;
REM OLD_NOTES lost the COL$ row of its second column: it is named BEX_COL2 and
REM read as RAW. UNLOAD TABLE of a name no live table has takes the dropped one:
REM the partitioned OLD_SALES with the rows of every partition (from the
REM deleted TABPART$ rows), OLD_ITEMS from the blocks of its dropped cluster.
LIST DROPPED SCOTT TO dropped.sql
@dropped.sql
! for f in OLD_ORDERS_73251 OLD_SALES_73280 OLD_ITEMS_73290; do cmp expect/rows/SCOTT_$f.txt SCOTT_$f.txt && echo $f same; done
! cat SCOTT_OLD_NOTES_73260.txt SCOTT_OLD_PRICES_73190.txt
REM The CREATE TABLE scripts and control files name each dropped table's own
REM columns; the reused one goes by its placeholder name, guessed RAW.
! for t in OLD_ORDERS_73251 OLD_NOTES_73260; do sed -n 's/^ "\([^"]*\)".*/\1/p' SCOTT_${t}_syntax.sql | cmp - expect/columns/SCOTT_${t%_*}.txt && echo $t columns same; done
! cat SCOTT_OLD_NOTES_73260_syntax.sql; grep -c BEX_COL2 SCOTT_OLD_NOTES_73260_sqlldr.ctl
REM Look-alikes: the deleted OBJ$ rows of a dropped index and of a live table's
REM name before a rename are no dropped tables; DEPT_C was dropped before the
REM live DEPT_C was created, and the live table wins.
UNLOAD TABLE SCOTT.OLD_ORDERS_PK;
UNLOAD TABLE SCOTT.EMP_BEFORE_RENAME;
UNLOAD TABLE SCOTT.DEPT_C;
REM A damaged block among the deleted rows: the one of TAB$ and COL$. The live
REM scans count it as ever; the tables are listed without storage and columns.
CORRUPT FILE 1 BLOCK 43
UNLOAD TABLE DICT$;
LIST DROPPED SCOTT
CORRUPT CLEAR
REM DELETED_ROW brings the deleted rows into the live files too (not twice into
REM the files of deleted rows): the dropped tables are then live ones.
SET DELETED_ROW TRUE
UNLOAD TABLE DICT$;
SET DELETED_ROW FALSE
! grep -c OLD_ BEXDICT/BEXOBJ.TXT BEXDICT/BEXOBJDEL.TXT
LIST DROPPED SCOTT
REM With the original names the bootstrap read from RECYCLEBIN$ (BEXBIN.TXT)
REM the table in the bin is listed under its original name and unloaded as
REM that table.
LIST DROPPED SCOTT TO bin.sql
! grep OLD_PRICES bin.sql
UNLOAD TABLE SCOTT.BIN$nJ2HkC8mQmKbW4cLh9u3Pw==$0 AS OLD_PRICES OBJECT 73190 TO SCOTT_OLD_PRICES_73190.txt;
! head -1 SCOTT_OLD_PRICES_73190_syntax.sql; cat SCOTT_OLD_PRICES_73190.txt
REM Without the files of deleted rows (a dictionary of an older bootstrap).
! rm BEXDICT/BEXOBJDEL.TXT
LIST DROPPED SCOTT
