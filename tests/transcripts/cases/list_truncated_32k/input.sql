REM 32 KB blocks: the ready lines of LIST TRUNCATED run as a script, and each
REM old incarnation gives its own rows only (LEDGER was truncated twice).
OPEN truncated.cfg
UNLOAD TABLE DICT$;
SCAN DATABASE;
LIST TRUNCATED SCOTT TO truncated.sql
@truncated.sql
! for f in SCOTT_ORDERS_73400 SCOTT_ITEMS_73440 SCOTT_LEDGER_73450 SCOTT_LEDGER_73451; do cmp expect/rows/$f.txt $f.txt || exit 1; done && echo old rows as forged
EXIT
