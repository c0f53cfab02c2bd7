REM Objects the dictionary does not describe are tables objd_NNN with the
REM guessed column types; dropped tables keep their names.
OPEN guess.cfg
SCAN DATABASE
SQL .tables;
SQL .schema objd_90030;
SQL SELECT * FROM objd_90030 LIMIT 2;
SQL SELECT COUNT(*) FROM objd_99999;
! sh check.sh
