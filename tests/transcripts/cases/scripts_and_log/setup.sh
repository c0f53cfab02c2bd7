#!/bin/sh
# init.sql runs first; its @ line is refused, the same line typed later runs.
printf 'SET VERBOSE 1\n@other.sql\nREM end of init\n' > init.sql
printf 'SET MAXCHAINS 7\nexit\nSET TRANS_COUNT 3' > other.sql
printf 'old line\n' > app.log
