#!/bin/sh
# The forged data file (rfn 5, blocks 17 to 23 all zero) and a file of
# text lines in which no 16-byte line repeats; it holds no Oracle block,
# so OPEN gives it its line position, 2, as relative file number.
mkdir -p out && "$BEX_BUILD/bexforge" small out || exit 1
seq -w 100000 | head -c 16384 > pattern.dat
printf 'out/small05.dbf\npattern.dat\n' > files.cfg
