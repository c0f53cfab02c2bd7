REM The bootstrap writes the deleted rows of OBJ$, TAB$ and COL$ into files of
REM their own; the live files stay as they are.
OPEN dropped.cfg
UNLOAD TABLE DICT$;
! sh expect/check.sh dict
! cat BEXDICT/BEXOBJDEL.TXT BEXDICT/BEXTABDEL.TXT BEXDICT/BEXCOLDEL.TXT
REM DELETED_ROW brings the deleted rows into the live files too, not twice
REM into the files of deleted rows.
SET DELETED_ROW TRUE
UNLOAD TABLE DICT$;
SET DELETED_ROW FALSE
! grep -c OLD_ BEXDICT/BEXOBJ.TXT BEXDICT/BEXOBJDEL.TXT
