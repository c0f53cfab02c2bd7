REM SQL ... TO file: a query's rows through UNLOAD's output styles, chosen
REM by the name as UNLOAD chooses them.
OPEN dict.cfg
UNLOAD TABLE DICT$;
SQL SELECT * FROM scott.emp TO emp.txt;
SQL SELECT empno, ename, sal FROM scott.emp WHERE job = 'MANAGER'
ORDER BY empno TO 'managers of emp.csv';
SQL SELECT * FROM scott.emp TO emp.dmp;
SQL SELECT * FROM scott.emp WHERE empno < 0 TO nothing.txt;
! sh check.sh
