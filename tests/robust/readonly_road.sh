#!/usr/bin/env bash
# readonly_road.sh BEX BEXFORGE
# Runs every command that reads data files over a forged database whose
# files are made read-only (0444) and checks with SHA-256 that not one byte
# of them changed. Root ignores file modes, so the checksums are the proof.
set -u
bex=$1 forge=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/bex-readonly.XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work" || exit 2
"$forge" small . >/dev/null && "$forge" open . >/dev/null && "$forge" dict . >/dev/null || { echo "forge failed"; exit 2; }
[ -x "$(dirname "$forge")/bexforge" ] || exit 2
files=$(ls *.dbf)
chmod 0444 $files
sha256sum $files > before.sha

{
  echo "OPEN small.cfg"
  echo "CHECK"
  for b in $(seq 0 24); do echo "ORADUMP FILE 5 BLOCK $b"; echo "OSDUMP FILE 5 BLOCK $b"; echo "BCHECK FILE 5 BLOCK $b"; done
  echo "SET BLOCK_CHECK 1"
  echo "SCAN DATABASE"
  echo "SCAN PARALLELDB"
  echo "SCAN BLOCK"
  echo "SCAN HEADER"
  echo "SCAN DATA BLOCKS 0"
  echo "UNLOAD OBJECT 70001 COLUMN NUMBER VARCHAR2 TO t1.txt;"
  echo "UNLOAD OBJECT 70002 CLUSTER 1 TO t2.txt;"
  echo "OPEN dict.cfg"
  echo "UNLOAD TABLE DICT\$;"
  echo "LIST USER"
  echo "LIST TABLE SCOTT TO unload_scott.sql"
  echo "DESC SCOTT.EMP"
  echo "@unload_scott.sql"
  echo "LOAD SCRIPT loadall.bat"
  echo "OPEN open.cfg"
  echo "SCAN DATABASE"
  echo "SET BYTE_ORDER BIG"
  echo "CHECK"
  echo "SCAN DATABASE"
  echo "EXIT"
} > road.sql
timeout 300 "$bex" < road.sql > road.out 2>&1
status=$?
if [ $status -ne 0 ]; then echo "bex ended with status $status"; tail -20 road.out; exit 1; fi
if ! sha256sum --quiet -c before.sha; then echo "a data file changed"; exit 1; fi
for f in $files; do
  [ "$(stat -c %a "$f")" = 444 ] || { echo "mode of $f changed"; exit 1; }
done
echo "data files unchanged: $(echo $files | wc -w) files"
