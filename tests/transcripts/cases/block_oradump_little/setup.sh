#!/bin/sh
# One data file (rfn 5) holding every block kind the decoded dump knows.
mkdir -p out && "$BEX_BUILD/bexforge" small out
