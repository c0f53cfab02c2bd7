#!/bin/sh
# The forged dictionary database with one block broken in a copy of its
# users file: the first data block of SALES_PT's partition of data object
# 73201 (its segment header, from the forge's TAB$ rows, and the block after
# it, where the forge packs the rows) gets one byte inverted, so that its
# checksum fails. damaged.cfg opens the SYSTEM file and that copy.
"$BEX_BUILD/bexforge" dict . > /dev/null || exit 1
header=$(awk -F, '$2 == 73201 {print $5}' expect/BEXDICT/BEXTAB.TXT)
[ -n "$header" ] || exit 1
cp dict_users04.dbf damaged_users04.dbf
python3 - damaged_users04.dbf $(((header + 1) * 8192 + 4000)) <<'PY' || exit 1
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(int(sys.argv[2]))
    b = f.read(1)
    f.seek(int(sys.argv[2]))
    f.write(bytes([b[0] ^ 0xFF]))
PY
printf 'dict_system01.dbf\ndamaged_users04.dbf\n' > damaged.cfg
echo "broken: file 4 block $((header + 1))" > broken.txt
sed "s|@BEX@|$BEX_BUILD/bex|" "$BEX_CASE/check.sh.in" > check.sh
