OPEN unload.cfg
REM Without the extent listing SCAN TABLE does nothing.
SCAN TABLE
SCAN DATABASE
SCAN TABLE TO guess.sql
HOST cat guess.sql
REM The guessed lines run as written.
@guess.sql
! cmp OBJD0000081001C000.txt unload.81001.txt && echo heap as guessed
! cmp OBJD0000081050C000.txt unload.81050.txt && echo iot as guessed
! cmp OBJD0000081030C002.txt unload.81030.c2.txt && echo cluster as guessed
SAMPLE OBJECT 81001 FILE 7 BLOCK 23
SAMPLE OBJECT 81001 RDBA 0x01c00017 TO sample.sql
HOST cat sample.sql
REM A block of another object gives no columns.
SAMPLE OBJECT 81002 FILE 7 BLOCK 23
SAMPLE OBJECT 81001 BLOCK 23
SAMPLE FILE 7 BLOCK 23
