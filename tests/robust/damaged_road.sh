#!/usr/bin/env bash
# damaged_road.sh BEX BEXFORGE BEXDAMAGE
#
# Forges the unload scenario, damages copies of it in the ways a recovery
# meets (bit flips, zeroed blocks, a file cut mid-block, a file of random
# bytes, blocks swapped between files, row directories and extent lists
# pointing outside, an absurd LOB listing), and runs the recovery road on
# each copy: OPEN, CHECK, SCAN DATABASE, every UNLOAD, ORADUMP of every
# block. Each run must end by itself with status 0 within its time bound.
#
# Rows: the same UNLOAD statements run on the undamaged files with the
# damaged blocks put on the CORRUPT list give the rows of the sound blocks;
# every one of those rows must come out of the damaged copy too.
#
# Damage that keeps the checksum right (row directories and extent lists
# pointing outside) must show in the damage summary of the unloads.
set -u
bex=$1 forge=$2 damage=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/bex-damaged.XXXXXX")
trap 'rm -rf "$work"' EXIT
bs=8192
cd "$work" || exit 2
mkdir pristine && (cd pristine && "$forge" unload . >/dev/null) || { echo "forge failed"; exit 2; }
mkdir pristine-dict && (cd pristine-dict && "$forge" dict . >/dev/null) || { echo "forge failed"; exit 2; }

unloads() {
  cat <<'SQL'
UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO o81001.txt;
UNLOAD OBJECT 81002 COLUMN NUMBER COLUMN VARCHAR2 TO o81002.txt;
UNLOAD OBJECT 81003 COLUMN NUMBER COLUMN VARCHAR2 TO o81003.txt;
UNLOAD OBJECT 81010 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO o81010.txt;
UNLOAD OBJECT 81020 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER TO o81020.txt;
UNLOAD OBJECT 81030 CLUSTER 1 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER TO o81030a.txt;
UNLOAD OBJECT 81030 CLUSTER 2 COLUMN NUMBER COLUMN VARCHAR2 TO o81030b.txt;
UNLOAD OBJECT 81040 COLUMN VARCHAR2 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER TO o81040.txt;
UNLOAD OBJECT 81050 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO o81050.txt;
UNLOAD OBJECT 81060 COLUMN NUMBER COLUMN VARCHAR2 TO o81060.txt;
SQL
}

# The dictionary road: bootstrap, LIST, DESC, and the UNLOAD TABLE lines
# that LIST wrote.
dict_road_sql() {
  cat <<'SQL'
OPEN dict.cfg
UNLOAD TABLE DICT$;
LIST USER
LIST TABLE SCOTT
LIST DDL SCOTT
DESC SCOTT.EMP
DESC SCOTT.SALES_PT
LIST TABLE SCOTT TO unload_scott.sql
SQL
  echo "@unload_scott.sql"
  for f in 1 4; do for b in $(seq 0 100); do echo "ORADUMP FILE $f BLOCK $b"; done; done
  echo "SCAN DATABASE"
  echo "! mkdir -p rows && mv SCOTT_*.txt rows/ 2>/dev/null; true"
  echo "EXIT"
}

# road DIR [CORRUPT-LIST-FILE]: the whole road in DIR; rows land in DIR/rows.
road() {
  local dir=$1 corrupt=${2:-}
  if [ -f "$dir/dict.cfg" ]; then
    { echo "SET BLOCK_CHECK 1"; echo "SET EMPTY_FILES YES"; [ -n "$corrupt" ] && echo "CORRUPT LOAD $corrupt"; dict_road_sql; } > "$dir/road.sql"
    (cd "$dir" && timeout 300 "$bex" < road.sql > road.out 2>&1)
    return
  fi
  {
    echo "SET BLOCK_CHECK 1"
    echo "SET EMPTY_FILES YES"
    [ -n "$corrupt" ] && echo "CORRUPT LOAD $corrupt"
    echo "OPEN unload.cfg"
    echo "CHECK"
    echo "SCAN DATABASE"
    echo "SCAN PARALLELDB"
    echo "SCAN BLOCK"
    echo "SCAN HEADER"
    echo "SCAN DATA BLOCKS 0"
    unloads
    for f in 7 600; do for b in $(seq 0 95); do echo "ORADUMP FILE $f BLOCK $b"; done; done
    echo "! mkdir -p rows && mv o8*.txt rows/"
    echo "! rm -f BEXDICT/BEXEXT.TXT"
    unloads
    echo "SCAN MAP"
    echo "EXIT"
  } > "$dir/road.sql"
  (cd "$dir" && timeout 300 "$bex" < road.sql > road.out 2>&1)
}

# contains A B: every line of A occurs in B at least as often.
contains() {
  [ -z "$(comm -23 <(sort "$1") <(sort "$2"))" ]
}

fail=0
report=""
run_kind() {
  local source=pristine
  if [ "$1" = "--dict" ]; then source=pristine-dict; shift; fi
  local kind=$1; shift
  local dir=$work/$kind
  cp -r $source "$dir"
  rm -rf "$dir/BEXDICT"
  : > "$dir/damaged.rdba"
  (cd "$dir" && "$@") || { echo "$kind: damaging failed"; fail=1; return; }
  road "$dir"; local status=$?
  if [ $status -ne 0 ]; then echo "$kind: bex ended with status $status (124 = time bound)"; tail -5 "$dir/road.out"; fail=1; return; fi
  local oracle=$work/$kind.oracle
  cp -r $source "$oracle"
  rm -rf "$oracle/BEXDICT"
  cp "$dir/damaged.rdba" "$oracle/damaged.rdba"
  road "$oracle" damaged.rdba || { echo "$kind: oracle run failed"; fail=1; return; }
  local expected=0 recovered=0
  for f in "$oracle"/rows/*.txt; do
    local name=$(basename "$f")
    local got=$dir/rows/$name
    [ -f "$got" ] || got=/dev/null
    # records end with CR LF; one record per line
    expected=$((expected + $(grep -c '' "$f")))
    recovered=$((recovered + $(comm -12 <(sort "$f") <(sort "$got") | grep -c '')))
    if ! contains "$f" "$got"; then echo "$kind: rows of sound blocks missing from $name"; comm -23 <(sort "$f") <(sort "$got") | head -3; fail=1; fi
  done
  [ $expected -gt 0 ] || { echo "$kind: the undamaged blocks gave no rows to look for"; fail=1; }
  local bad=$(grep -c "Block check failured" "$dir/road.out")
  local damage=$(grep -c "^  Damage: [0-9]" "$dir/road.out")
  report+=$(printf '%-16s damaged blocks %3d  sound-block rows %4d  recovered %4d  block-check messages %d  damage summaries %d\n' \
            "$kind" "$(grep -c '' "$dir/damaged.rdba")" "$expected" "$recovered" "$bad" "$damage")$'\n'
}

# seen KIND PATTERN: the damage summaries of KIND's road name PATTERN.
seen() {
  grep "^  Damage: [0-9]" "$work/$1/road.out" | grep -q "$2" || { echo "$1: no damage summary with: $2"; fail=1; }
}

# Damaged block numbers of file 7 (rfn 7) or 600 as rdba lines for CORRUPT LOAD.
as_rdba() { while read -r b; do echo $(( ($1 << 22) | b )); done; }

run_kind none true
run_kind flip sh -c "'$damage' flip u07.dbf $bs 7 10 | (cd . && while read b; do echo \$(( (7 << 22) | b )); done) >> damaged.rdba"
run_kind zero sh -c "'$damage' zero u07.dbf $bs 21 24 42 57 | while read b; do echo \$(( (7 << 22) | b )); done >> damaged.rdba"
run_kind truncate sh -c "'$damage' truncate u07.dbf $bs 60 | while read b; do echo \$(( (7 << 22) | b )); done >> damaged.rdba"
run_kind random sh -c "'$damage' random u600.dbf $bs 11 | while read b; do echo \$(( (600 << 22) | b )); done >> damaged.rdba"
run_kind swap sh -c "'$damage' swap u07.dbf $bs 22 u600.dbf 3 | while read b; do echo \$(( (7 << 22) | b )); done >> damaged.rdba; echo \$(( (600 << 22) | 3 )) >> damaged.rdba"
run_kind rowdir sh -c "'$damage' rowdir u07.dbf $bs 23 | while read b; do echo \$(( (7 << 22) | b )); done >> damaged.rdba"
run_kind extent sh -c "'$damage' extent u07.dbf $bs 10 | while read b; do echo \$(( (7 << 22) | b )); done >> damaged.rdba"
seen rowdir "row directory entries past the data (first at RDBA=0x01c00017(7/23))"
seen extent "extents past the file"

# The dictionary road. Damage to the SYSTEM file may cost tables (their
# dictionary rows are gone); damage to USERS blocks costs only their rows.
run_kind --dict dict-none true
run_kind --dict dict-users-flip sh -c "'$damage' flip dict_users04.dbf $bs 5 15 | while read b; do echo \$(( (4 << 22) | b )); done >> damaged.rdba"
run_kind --dict dict-users-cut sh -c "'$damage' truncate dict_users04.dbf $bs 30 | while read b; do echo \$(( (4 << 22) | b )); done >> damaged.rdba"
for kind in "flip dict_system01.dbf $bs 3 20" "random dict_system01.dbf $bs 5" "truncate dict_system01.dbf $bs 40" "zero dict_system01.dbf $bs 2 3 4 5 6 7 8 9 10"; do
  name=dict-system-${kind%% *}
  dir=$work/$name
  cp -r pristine-dict "$dir"
  (cd "$dir" && "$damage" $kind >/dev/null) || { echo "$name: damaging failed"; fail=1; continue; }
  road "$dir"; status=$?
  if [ $status -ne 0 ]; then echo "$name: bex ended with status $status (124 = time bound)"; tail -5 "$dir/road.out"; fail=1; continue; fi
  # Whatever tables the damaged dictionary still names, their rows come from
  # sound blocks: every row unloaded is a row of the undamaged road.
  cat "$dir"/rows/*.txt > "$dir.rows" 2>/dev/null
  cat "$work"/dict-none/rows/*.txt > "$dir.sound"
  contains "$dir.rows" "$dir.sound" || { echo "$name: rows the undamaged road does not give"; fail=1; }
  report+=$(printf '%-16s SYSTEM damaged: road ended cleanly, %d table rows unloaded\n' "$name" \
            "$(cat "$dir"/rows/*.txt 2>/dev/null | grep -c '')")$'\n'
done

# An absurd LOB listing: pages and numbers far out of range.
mkdir -p "$work/lob/BEXDICT"
{
  echo "5,00000001000000000ABC,4294967295,1,7,20,1,"
  echo "5,00000001000000000ABC,524288,1,7,20,1,"
  echo "5,00000001000000000ABC,99999999999999999999,x,7,20,1,"
  echo "-1,ZZZZZZZZZZZZZZZZZZZZ,-5,-5,-5,-5,-5,"
  echo "5,00000001000000000ABC,0,1,7,4294967295,4294967295,"
} > "$work/lob/BEXDICT/BEXLOB.TXT"
(cd "$work/lob" && printf 'SCAN MAP\nEXIT\n' | timeout 120 "$bex" > road.out 2>&1) || { echo "lob: SCAN MAP failed"; fail=1; }
[ "$(grep -c '' "$work/lob/BEXDICT/BEXLOBPOS.TXT")" = 262144 ] || { echo "lob: position file incomplete"; fail=1; }

printf '%s' "$report"
exit $fail
