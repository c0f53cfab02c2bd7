SET BYTE_ORDER BIG
SET BLOCK_SIZE 2048
OPEN dict.cfg
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
LIST TABLE SCOTT TO scott.sql
LIST TABLE HR TO hr.sql
LIST TABLE SYS TO sys.sql
! cmp scott.sql expect/list_SCOTT.txt && cmp hr.sql expect/list_HR.txt && cmp sys.sql expect/list_SYS.txt && echo LIST TABLE as forged
@scott.sql
@hr.sql
@sys.sql
! sh expect/check.sh rows
