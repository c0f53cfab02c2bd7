#!/bin/sh
# One forged file in each of several layouts; no configuration line gives a
# header size, so OPEN finds the file's too.
set -e
forge() { # forge DIR OPTIONS...: the small file set, its configuration without header sizes
  dir=$1; shift
  mkdir -p "$dir" && "$BEX_BUILD/bexforge" small "$dir" "$@" > /dev/null
  sed -i 's/ [0-9][0-9]*$//' "$dir/small.cfg"
}
forge b16 --big --block-size 16384
forge l2 --block-size 2048
forge l32h --block-size 32768 --header-size 8192
forge b4h --big --block-size 4096 --header-size 65536
