#!/usr/bin/env bash
# batch_test.sh BEX BEXFORGE
#
# The command line of bex: --help and --version, bad command lines (status
# 2), -f and -e runs and their exit status for each kind of failing
# statement (1), sound runs (0), and standard-input runs, which keep exit
# status 0 whatever their statements do.
set -u
bex=$1 forge=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/bex-batch.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
"$forge" dict . >/dev/null || { echo "forge failed"; exit 2; }
fail=0

# expect STATUS DESCRIPTION ARGS...: bex ARGS must end with STATUS.
expect() {
  local want=$1 what=$2; shift 2
  "$bex" "$@" > out.txt 2> err.txt
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL: $what: exit status $got, wanted $want (bex $*)"; tail -3 out.txt err.txt; fail=1
  fi
}

expect 0 "--help" --help
grep -q '^Usage: bex' out.txt || { echo "FAIL: --help prints no usage"; fail=1; }
expect 0 "--version" --version
grep -Eq '^bex [0-9]+\.[0-9]+\.[0-9]+$' out.txt || { echo "FAIL: --version prints $(cat out.txt)"; fail=1; }
[ ! -e BEXDICT/BEXREPORT.JSONL ] || { echo "FAIL: --help or --version ran statements"; fail=1; }

expect 2 "unknown option" --bogus
grep -q "unknown argument '--bogus'" err.txt || { echo "FAIL: no message for a bad option"; fail=1; }
[ ! -s out.txt ] || { echo "FAIL: a bad command line printed on standard output"; fail=1; }
expect 2 "-f without a file" -f
expect 2 "-e without statements" -e
expect 2 "-f of a missing file" -f missing.sql
expect 2 "a stray word" HELP

# One failing statement after sound ones, each kind on its own.
expect 0 "the sound statements alone" -e "OPEN dict.cfg; UNLOAD TABLE DICT\$"
while IFS='|' read -r what statement; do
  expect 1 "$what" -e "OPEN dict.cfg; UNLOAD TABLE DICT\$; $statement"
done <<'CASES'
unknown command|FOO
RMAN usage|RMAN
RMAN RESTORE without a listing|RMAN RESTORE FILE 9
script that cannot be opened|@nothere.sql
configuration that cannot be opened|OPEN nothere.cfg
log that cannot be opened|LOG nodir/x.log
list file that cannot be opened|CORRUPT LOAD nothere.txt
TO file that cannot be created|OSDUMP FILE 1 BLOCK 1 TO nodir/x.txt
data file that cannot be written|UNLOAD TABLE SCOTT.EMP TO /dev/full
load script that cannot be created|LOAD SCRIPT nodir/load.bat
table not found|UNLOAD TABLE SCOTT.NOPE TO x.txt
user not found|LIST TABLE NOBODY
user not found by DESC|DESC NOBODY.EMP
SET usage|SET
invalid setting value|SET BLOCK_SIZE ABC
UNLOAD usage|UNLOAD
SCAN usage|SCAN
LIST usage|LIST
ROWID usage|ROWID
CORRUPT usage|CORRUPT
OSDUMP usage|OSDUMP
ASM usage|ASM
SAMPLE usage|SAMPLE
read error|OSDUMP FILE 9 BLOCK 1
CASES

# Sound runs: the dictionary road as a script, and statements given inline.
cat > road.sql <<'SQL'
OPEN dict.cfg
UNLOAD TABLE DICT$;
LIST TABLE SCOTT TO scott.sql
@scott.sql
SCAN DATABASE
SQL
expect 0 "the dictionary road with -f" -f road.sql
grep -q '^BEX> UNLOAD TABLE DICT\$;$' out.txt || { echo "FAIL: -f does not echo its statements"; fail=1; }
expect 0 "statements with -e" -e "SET BLOCK_SIZE 4096;SET BLOCK_SIZE ; HELP"
[ "$(grep -c 'Current BLOCK_SIZE is : 4096' out.txt)" = 2 ] || { echo "FAIL: -e statements not run in turn"; fail=1; }

# -e and -f run in the order given; EXIT ends the run, the rest is not read.
printf 'SET BLOCK_SIZE\nEXIT\nFOO\n' > exit.sql
expect 0 "EXIT in a script" -e "SET BLOCK_SIZE 2048" -f exit.sql -e FOO
grep -q 'Current BLOCK_SIZE is : 2048' out.txt || { echo "FAIL: -e before -f did not run first"; fail=1; }
! grep -q 'Unknown command' out.txt || { echo "FAIL: statements after EXIT ran"; fail=1; }
expect 1 "a failure in the second of two scripts" -f road.sql -e FOO

# Standard input: the same failing statements end with 0, as ever, and
# print what they always printed.
printf 'FOO\nSET BLOCK_SIZE ABC\nUNLOAD TABLE SCOTT.NOPE;\n' > failing.sql
"$bex" < failing.sql > stdin.txt 2>&1
status=$?
[ $status = 0 ] || { echo "FAIL: a standard-input run ended with $status"; fail=1; }
grep -q '^BEX>   Unknown command!$' stdin.txt || { echo "FAIL: standard-input output changed"; cat stdin.txt; fail=1; }
"$bex" -f failing.sql > batch.txt 2>&1
# The batch run echoes each statement after its prompt; the rest of what it
# prints is what standard input gets.
messages() { sed -E 's/^(BEX> )+//' stdin.txt | grep -v '^$'; }
batch_messages() { grep -v '^BEX> ' batch.txt | grep -v '^$'; }
diff <(messages) <(batch_messages) || { echo "FAIL: -f prints other messages than standard input"; fail=1; }

[ $fail = 0 ] && echo "batch: all passed"
exit $fail
