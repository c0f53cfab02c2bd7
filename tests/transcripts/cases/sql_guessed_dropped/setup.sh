#!/bin/sh
# The guess database (no dictionary: every object is guessed) and the
# dropped database (tables dropped with PURGE), each in a folder of its own,
# and the check that compares bex sql's answers with what the forge stored.
mkdir guess dropped && (cd guess && "$BEX_BUILD/bexforge" guess . > /dev/null) &&
  (cd dropped && "$BEX_BUILD/bexforge" dropped . > /dev/null) || exit 1
sed 's|^|guess/|' guess/guess.cfg > guess.cfg
sed "s|@BEX@|$BEX_BUILD/bex|" "$BEX_CASE/check.sh.in" > check.sh
