#!/usr/bin/env bash
# run_transcript.sh BEX CASE_DIR BUILD_DIR
#
# Runs one transcript case in a fresh temporary working directory:
#   setup.sh     (optional) run first, in the working directory, with
#                BEX_CASE, BEX_BUILD and BEX_SOURCE set; it may forge data files
#   input.sql    piped into bex as standard input
#   expected.out what bex must print (date/time lines masked)
#   expected/    files bex must write, compared byte for byte (dates masked)
# With BEX_ACCEPT=1 the actual output replaces the expected files (review
# the diff before committing). With BEX_THREADS=n the statements run after
# SET THREADS n (its answer left out of the output): a parallel UNLOAD must
# give the same output as one thread.
set -u
bex=$1 case=$2 build=$3
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/bex-transcript.XXXXXX")
trap 'rm -rf "$work"' EXIT

mask() {  # local date and time lines and fields vary from run to run
  sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}/YYYY-MM-DD HH:MM:SS/g' "$1"
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
[ $status -eq 0 ] && [ $fail -eq 0 ]
