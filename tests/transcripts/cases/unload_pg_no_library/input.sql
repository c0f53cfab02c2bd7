REM Without the PostgreSQL client library an UNLOAD into PostgreSQL fails as when the server cannot be reached.
OPEN unload.cfg
LOG unload.log
UNLOAD TABLE scott.heap TO 'postgresql://bex@/bex?host=/nonexistent';
SET PG_TARGET 'host=/nonexistent dbname=bex'
UNLOAD TABLE scott.heap TO PG_TARGET;
REM A file unload still works.
UNLOAD TABLE scott.heap TO heap.txt;
! cut -d, -f2- unload.log
