REM The old dictionary, then the database as it is now.
OPEN guess_dict.cfg
UNLOAD TABLE DICT$;
OPEN guess.cfg
SCAN DATABASE
LOAD TABLE
LOAD TABLE NOBODY
REM The recycle-bin table is passed over; loading again refreshes the list.
LOAD TABLE app
LOAD TABLE APP
SCAN TABLE TO guess.sql
REM NUMBERS_HIST fits NUMBERS' rows with one more column: ranked second.
REM ONE_ROW's single row fits three tables. NEW_EVENTS is not in the old
REM dictionary, and CUSTOMERS' rows now store EMAIL, which its old
REM definition lacks: the rows of both fit no table well enough but a wrong
REM one for CUSTOMERS.
HOST cat guess.sql
REM Sampling the first 100 rows only, CUSTOMERS' rows fit its old definition.
SET GUESS_SIZE 100
SCAN TABLE TO first100.sql
! grep -A2 'Object = 90100' first100.sql
SET GUESS_SIZE 8192
REM Every sampled column must match: CUSTOMERS gets its layout line; two
REM of ONE_ROW's three tables are printed.
SET GUESS_SCORE 100
SET GUESS_LIMIT 2
SCAN TABLE TO strict.sql
! grep -A3 'Object = 90100' strict.sql
! grep -A5 'Object = 90120' strict.sql
REM Without the length test ORDERS and KV fit each other's rows.
SET GUESS_SCORE 50
SET GUESS_COLSIZE FALSE
SCAN TABLE TO nosize.sql
! grep -A4 'Object = 90081' nosize.sql
