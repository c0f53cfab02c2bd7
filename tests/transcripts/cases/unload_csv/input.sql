REM OUTPUT_STYLE CSV: every table of APP with its control file, then the
REM load scripts; the data and LOB files are compared with what the forge
REM stored.
SET ICONV_CLOB UTF-16BE UTF-8
SET ICONV_NCLOB UTF-16BE UTF-8
SET OUTPUT_STYLE CSV
OPEN csv.cfg
UNLOAD TABLE DICT$;
LIST TABLE APP TO app.sql
@app.sql
LOAD SCRIPT loadall.bat
! sh expect/check.sh
REM Text style counts the values that hold its tags.
SET OUTPUT_STYLE TXT
UNLOAD TABLE APP.TEXTS TO texts.txt;
REM A .csv name chooses CSV; a field tag that was set is its separator,
REM unless it holds a quote or a line end.
UNLOAD TABLE APP.ORDERS TO orders.csv;
SET FIELD_TAG \t
UNLOAD TABLE APP.ITEMS TO items.csv;
SET FIELD_TAG \x22
UNLOAD TABLE APP.ITEMS TO items2.csv;
SET FIELD_TAG |
SET OUTPUT_STYLE CSV
UNLOAD OBJECT 75150 CLUSTER 1 COLUMN NUMBER COLUMN VARCHAR2 TO object.txt;
EXIT
