#!/bin/sh
# Damaged copies of the asm scenario's group (two disks, 1 MB AUs; the file
# directory's first AU is AU 2 of disk 0, the entries of files 256 to 262
# lie in AU 2 of disk 1, blocks 0 to 6):
#   z_*  both directory AUs zeroed
#   r_*  the entries of files 256 to 259 overwritten with bytes of a data file
#   l_*  file 260's extent count says 2147483647, its second pointer names
#        an AU far past the end of disk 0
#   missing.disks  only disk 0; twenty.disks  each disk ten times
"$BEX_BUILD/bexforge" asm . > /dev/null || exit 1
au=1048576
patch() {  # patch IMAGE OFFSET: standard input over the bytes at OFFSET
  dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
for g in z r l; do
  cp asm_d0.img ${g}_d0.img && cp asm_d1.img ${g}_d1.img
  printf '%s\n%s\n' ${g}_d0.img ${g}_d1.img > $g.disks
done
head -c $au /dev/zero | patch z_d0.img $((2 * au))
head -c $au /dev/zero | patch z_d1.img $((2 * au))
head -c 16384 scan06.dbf | patch r_d1.img $((2 * au))
entry=$((2 * au + 4 * 4096))
printf '\377\377\377\177' | patch l_d1.img $((entry + 52))
printf '\000\000\377\000' | patch l_d1.img $((entry + 1216 + 8))
echo asm_d0.img > missing.disks
i=0
while [ $i -lt 10 ]; do printf 'asm_d0.img\nasm_d1.img\n' >> twenty.disks; i=$((i + 1)); done
