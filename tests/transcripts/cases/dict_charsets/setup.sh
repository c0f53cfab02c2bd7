#!/bin/sh
# The forged dictionary database, its columns labelled AL32UTF8 and UTF8.
"$BEX_BUILD/bexforge" dict . --charset 873 --nls-charset 871 > /dev/null || exit 1
