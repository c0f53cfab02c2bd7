REM A query over a table with a broken block: the rows of its sound blocks,
REM then the damage line; bex_damage lists the block.
OPEN dict.cfg
UNLOAD TABLE DICT$;
OPEN damaged.cfg
SET BLOCK_CHECK 1
SQL SELECT * FROM scott.sales_pt ORDER BY id;
SQL SELECT * FROM bex_damage;
! cat broken.txt
! sh check.sh
