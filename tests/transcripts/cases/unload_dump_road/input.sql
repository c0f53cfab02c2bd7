REM The recovery road into export dumps: in DMP style the UNLOAD lines LIST
REM prints name .dmp files, every dump they write is the one the forge
REM expects, and the load script imports each of them.
OPEN dict.cfg
UNLOAD TABLE DICT$;
SET OUTPUT_STYLE DMP
LIST TABLE SCOTT TO scott.sql
! cat scott.sql
@scott.sql
SET OUTPUT_STYLE TXT
REM Export dumps come alone: no CREATE TABLE script, control file or LOB file.
! ls | grep -c -e _syntax.sql -e _sqlldr.ctl -e '\.LOB$'
! for f in expect/dump/SCOTT_*.dmp; do cmp "$f" "${f##*/}" && echo "${f##*/} as forged"; done
REM A TO name ending in .DMP writes a dump whatever OUTPUT_STYLE says.
UNLOAD TABLE SCOTT.EMP TO EMP_COPY.DMP;
! cmp EMP_COPY.DMP expect/dump/SCOTT_EMP_73181.dmp && echo EMP_COPY.DMP as forged
LOAD SCRIPT loadall.bat
! LC_ALL=C PATH=.:$PATH sh ./loadall.sh dmp u/p@db
