SET BYTE_ORDER BIG
SET BLOCK_SIZE 2048
OPEN dropped.cfg
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
SCAN DATABASE;
LIST DROPPED SCOTT TO dropped.sql
@dropped.sql
! for f in OLD_ORDERS_73251 OLD_SALES_73280 OLD_ITEMS_73290; do cmp expect/rows/SCOTT_$f.txt SCOTT_$f.txt && echo $f same; done
! for t in OLD_ORDERS_73251 OLD_NOTES_73260; do sed -n 's/^ "\([^"]*\)".*/\1/p' SCOTT_${t}_syntax.sql | cmp - expect/columns/SCOTT_${t%_*}.txt && echo $t columns same; done
