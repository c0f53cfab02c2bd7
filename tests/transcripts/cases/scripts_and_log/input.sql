@other.sql
SET BYTE_ORDER BIG
LOG +app.log
LOG
LOG fresh.log
SET MAXCHAINS
exit
