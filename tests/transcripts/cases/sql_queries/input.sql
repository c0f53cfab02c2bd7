REM SQL over the forged dictionary database: the tables it names, their
REM columns, typed values and hidden row addresses.
OPEN dict.cfg
UNLOAD TABLE DICT$;
SQL .tables;
SQL .schema scott.emp;
SQL SELECT * FROM scott.emp LIMIT 3;
SQL -o json SELECT empno, hiredate, bex_file, bex_block, bex_slot FROM scott.emp
ORDER BY empno DESC LIMIT 2;
SQL SELECT id, typeof(amount), amount FROM scott."SALES_PT:P2023";
SQL SELECT * FROM scott.no_such_table;
REM Each answer against what the forge stored.
! sh check.sh
