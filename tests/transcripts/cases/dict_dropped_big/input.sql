SET BYTE_ORDER BIG
SET BLOCK_SIZE 2048
OPEN dropped.cfg
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
SCAN DATABASE;
LIST DROPPED SCOTT TO dropped.sql
@dropped.sql
! cmp expect/rows/SCOTT_OLD_ORDERS_73251.txt SCOTT_OLD_ORDERS_73251.txt && echo OLD_ORDERS same
! for t in OLD_ORDERS_73251 OLD_NOTES_73260; do sed -n 's/^ "\([^"]*\)".*/\1/p' SCOTT_${t}_syntax.sql | cmp - expect/columns/SCOTT_${t%_*}.txt && echo $t columns same; done
