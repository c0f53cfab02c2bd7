#!/usr/bin/env bash
# run_transcript.sh BEX CASE_DIR BUILD_DIR
#
# Runs one transcript case in a fresh temporary working directory:
#   setup.sh     (optional) run first, in the working directory, with
#                BEX_CASE, BEX_BUILD and BEX_SOURCE set; it may forge data files
#   input.sql    piped into bex as standard input
#   expected.out what bex must print (clock lines masked)
#   expected/    files bex must write, compared byte for byte (only the
#                build stamp of control files and the clock of unload-log
#                records masked: date-time values of unloaded data show)
# With BEX_ACCEPT=1 the actual output replaces the expected files (review
# the diff before committing). With BEX_THREADS=n the statements run after
# SET THREADS n (its answer left out of the output): a parallel UNLOAD must
# give the same output as one thread, and some UNLOAD must have been walked
# by more than one worker.
set -u
bex=$1 case=$2 build=$3
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/bex-transcript.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Values that vary from run to run, and only those: the clock lines printed
# before and after long commands (after any prompts), the build stamp of the
# control files' banner and the clock that opens each unload-log record.
dt='[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}'
masked='YYYY-MM-DD HH:MM:SS'
rules() {  # rules PATTERN TEXT: sed expressions that put TEXT for PATTERN in those places
  printf '%s\n' "s/^((BEX> |  *[0-9]+ )*)$1\$/\\1$2/" "s/(unloader, built )$1/\\1$2/" "s/^$1(,( *[0-9]+,){3} )/$2\\1/"
}
mask() {
  sed -E "$(rules "$dt" "$masked")" "$1"
}
# An expected file holds the mask only where mask() puts it: a date-time of
# unloaded data stays as written.
stray_masks() {
  sed -E "$(rules "$masked" "")" "$1" | grep -n "$masked"
}

cd "$work" || exit 2
if [ -x "$case/setup.sh" ]; then
  BEX_CASE=$case BEX_BUILD=$build BEX_SOURCE=$src "$case/setup.sh" || { echo "setup failed"; exit 2; }
fi
if [ -n "${BEX_THREADS:-}" ]; then
  { echo "SET THREADS $BEX_THREADS"; cat "$case/input.sql"; } | timeout 240 "$bex" > actual.threads 2>&1
  status=$?
  sed '0,/^BEX>   Current THREADS is : /{/^BEX>   Current THREADS is : /d}' actual.threads > actual.out
else
  timeout 240 "$bex" < "$case/input.sql" > actual.out 2>&1
  status=$?
fi
if [ $status -ne 0 ]; then echo "bex exited with status $status"; fi

fail=0
if [ "${BEX_ACCEPT:-0}" = 1 ]; then
  mask actual.out > "$case/expected.out"
  if [ -d "$case/expected" ]; then
    (cd "$case/expected" && find . -type f) | while read -r f; do mask "$work/$f" > "$case/expected/$f"; done
  fi
  exit $status
fi
while read -r f; do
  if stray_masks "$case/$f" > strays; then echo "$f masks a date-time of unloaded data:"; head -3 strays; fail=1; fi
done < <(cd "$case" && find expected.out expected -type f 2>/dev/null)
if ! diff -u "$case/expected.out" <(mask actual.out); then fail=1; fi
if [ -d "$case/expected" ]; then
  while read -r f; do
    if [ ! -f "$work/$f" ]; then echo "missing output file $f"; fail=1; continue; fi
    if ! cmp -s "$case/expected/$f" <(mask "$work/$f"); then
      echo "output file $f differs:"; diff -u "$case/expected/$f" <(mask "$work/$f") | head -40 | cat -A | head -40
      fail=1
    fi
  done < <(cd "$case/expected" && find . -type f)
fi
# A threaded run proves that it ran threaded: the report line of some
# UNLOAD names more than one worker; and the one-thread output it matched
# unloads rows. With BEX_ONE_THREAD=1 the case has nothing that workers
# walk (the bootstrap, the dictionary queries): every line it reports
# names one.
reports() { find . -name BEXREPORT.JSONL -exec cat {} +; }
if [ "${BEX_ONE_THREAD:-0}" = 1 ]; then
  if [ -z "$(reports)" ] || reports | grep -vq '"workers":1,"chunks":0}$'; then
    echo "a report line names workers, or there is none"; fail=1
  fi
elif [ -n "${BEX_THREADS:-}" ]; then
  if ! reports | grep -qE '"kind":"unload".*"workers":([2-9]|[1-9][0-9]+),'; then
    echo "no UNLOAD was walked by more than one worker"; fail=1
  fi
  if ! grep -qE 'Sucessfully unload [1-9][0-9]* rows' "$case/expected.out"; then
    echo "the one-thread run unloads no row"; fail=1
  fi
fi
[ $status -eq 0 ] && [ $fail -eq 0 ]
