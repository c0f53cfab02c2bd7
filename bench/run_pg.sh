#!/bin/sh
# Benchmark of the PostgreSQL roads: on the heap table of run_unload.sh
# (BENCH.BIG through the SYSTEM file forged beside it), with a throwaway
# PostgreSQL cluster started for the run (initdb into a temporary directory,
# the Unix socket there, fsync off as in the tests; run as nobody when run
# as root), times in one run, three times each:
#   direct-binary UNLOAD TABLE BENCH.BIG TO 'postgresql://...' (COPY in
#                 binary, the default)
#   direct-text   the same with COPY in text (BEX_TEST_PG_COPY=text)
#   csv+script    UNLOAD in OUTPUT_STYLE CSV, LOAD SCRIPT, then psql running
#                 the PostgreSQL load script it wrote
#   psql-copy     psql \copy of a ready CSV file of the loaded table into a
#                 table of the same types (the limit the server sets)
#   cat           cat of the data file (page cached)
# Each line gives the best time and the spread (slowest - best) of the
# three, rows/s and MB/s of data file at the best, and the load average
# before the line's runs (the machine may be shared).
#
#   BEX_BENCH_ROWS=10750000 bench/run_pg.sh   # the 2 GiB table
#
# BEX_BENCH_ROWS (default 1,000,000 rows, about 200 MB of blocks) sets the
# size; BEX_BENCH_BUILD and BEX_BENCH_DIR as for run_unload.sh. Not run by
# the tests.
set -eu
rows=${BEX_BENCH_ROWS:-1000000}
. "$(dirname "$0")/big_table.sh"
now() { date +%s.%N; }

# PostgreSQL's programs: the newest installed, else those on PATH.
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -t/ -k5 -n | tail -1)
[ -n "$pgbin" ] && [ -x "$pgbin/initdb" ] || pgbin=$(dirname "$(command -v initdb || echo /none/initdb)")
if [ ! -x "$pgbin/initdb" ]; then
  echo "PostgreSQL is not installed"
  exit 1
fi

top=$(mktemp -d /tmp/bex-pg-bench.XXXXXX)
as=""
if [ "$(id -u)" = 0 ]; then
  chmod 777 "$top"
  as="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
stop() {
  $as "$pgbin/pg_ctl" -D "$top/data" -w -s -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$top"
}
trap stop EXIT INT TERM
$as "$pgbin/initdb" -D "$top/data" -N -A trust -E UTF8 --locale=C -U bex >/dev/null
$as "$pgbin/pg_ctl" -D "$top/data" -w -s -l "$top/log" \
  -o "-c listen_addresses= -c unix_socket_directories=$top -c fsync=off -c full_page_writes=off" start
psql() { "$pgbin/psql" -X -q -At -v ON_ERROR_STOP=1 -h "$top" -U bex -d postgres "$@"; }
target="postgresql:///postgres?host=$top&user=bex"

# The dictionary, once, in a directory of the PostgreSQL runs.
mkdir -p pg
cd pg
printf '%s\n' "$work/big_system.dbf" "$work/big.dbf" > pg.cfg
printf '%s\n' "OPEN pg.cfg" "UNLOAD TABLE DICT\$;" | "$build/bex" > dict.out

# measure NAME PREPARE COMMAND: three timed runs of COMMAND, each after
# PREPARE (not timed); the best, the spread, rows/s and MB/s of data file.
measure() {
  name=$1 prepare=$2 command=$3
  load=$(cut -d" " -f1-3 /proc/loadavg)
  times=""
  for i in 1 2 3; do
    eval "$prepare"
    t0=$(now)
    eval "$command"
    t1=$(now)
    times="$times $(echo "$t1 - $t0" | bc -l)"
  done
  echo "$times" | awk -v n="$name" -v rows="$rows" -v b="$bytes" -v load="$load" '{
    best = $1; worst = $1
    for (i = 2; i <= NF; i++) { if ($i < best) best = $i; if ($i > worst) worst = $i }
    printf "%-14s %7.2f s best, spread %5.2f s: %8.0f rows/s, %6.1f MB/s of data file (load %s)\n",
      n, best, worst - best, rows / best, b / best / 1e6, load }'
}

# The rows of BENCH.BIG in the server; the run stops when they are not all there.
check() {
  got=$(psql -c "SELECT count(*) FROM bench.big")
  if [ "$got" != "$rows" ]; then
    echo "$1: $got rows in PostgreSQL, $rows expected"
    tail -5 "$1.out"
    exit 1
  fi
}
drop() { psql -c "DROP SCHEMA IF EXISTS bench CASCADE" >/dev/null 2>&1; }

direct() {
  printf '%s\n' "OPEN pg.cfg" "UNLOAD TABLE BENCH.BIG TO '$target';" | BEX_TEST_PG_COPY=$1 "$build/bex" > "direct-$1.out"
  check "direct-$1"
}

script() {
  printf '%s\n' "SET OUTPUT_STYLE CSV" "OPEN pg.cfg" "UNLOAD TABLE BENCH.BIG TO big.csv;" "LOAD SCRIPT loadall.bat" |
    "$build/bex" > csv.out
  psql -f loadall_pg.sql > csv.psql 2>&1
  check csv
}

echo "data file: $bytes bytes, $rows rows; PostgreSQL $("$pgbin/postgres" --version | sed 's/^[^0-9]*//'); $(nproc) cores"
measure direct-binary drop "direct binary"
measure direct-text drop "direct text"
measure csv+script "drop; rm -f big.csv" script
psql -c "\\copy bench.big TO 'ready.csv' WITH (FORMAT csv)"
psql -c "CREATE TABLE ready (LIKE bench.big)"
measure psql-copy "psql -c 'TRUNCATE ready'" "psql -c \"\\\\copy ready FROM 'ready.csv' WITH (FORMAT csv)\""
measure cat : "cat '$work/big.dbf' > /dev/null"
rm -f ready.csv big.csv
