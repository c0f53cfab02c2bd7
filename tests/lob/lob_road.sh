#!/usr/bin/env bash
# lob_road.sh BEX BEXFORGE
# Every forged LOB case, in both byte orders and at 2, 8 and 32 KB blocks:
# SCAN DATABASE, UNLOAD TABLE DICT$, LIST TABLE, the UNLOAD TABLE line it
# wrote and UNLOAD OBJECT must give exactly the data and LOB files the forge
# stored, and warn about exactly the values whose bytes are lost.
set -u
bex=$1 forge=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/bex-lob.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail=0
for order in little big; do
  for bs in 2048 8192 32768; do
    dir="$work/$order-$bs"
    mkdir -p "$dir/BEXDICT" && cd "$dir" || exit 2
    flags=(--block-size "$bs"); [ $order = big ] && flags+=(--big)
    "$forge" lob . "${flags[@]}" >/dev/null || { echo "forge failed: $order $bs"; exit 2; }
    out=$("$bex" < expect/road.sql 2>&1)
    same=$(grep -cE '^(BEX> )*[A-Za-z0-9_.]+ same$' <<<"$out")
    lost=$(grep -c 'LOB values not recovered' <<<"$out")
    if grep -q DIFFERS <<<"$out" || [ "$same" -ne 4 ] || [ "$lost" -ne 6 ]; then
      echo "== $order $bs: $same files same, $lost warnings"; grep -E 'DIFFERS|Warning|Invalid' <<<"$out"; fail=1
    fi
  done
done
exit $fail
