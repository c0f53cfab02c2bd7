#!/bin/sh
# Forged file set: a comment, a blank line, a header-size line, a missing
# file, two files with rfn 4 and a file without header blocks.
"$BEX_BUILD/bexforge" open . > /dev/null
