#!/bin/sh
# Four forged files of table, index, LOB, bitmap and header runs, with the
# listings a scan must write for them (scan.BEXEXT.TXT, scan.BEXLOB.TXT).
"$BEX_BUILD/bexforge" scan . --big > /dev/null
