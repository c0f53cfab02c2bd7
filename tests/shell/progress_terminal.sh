#!/usr/bin/env bash
# progress_terminal.sh BEX BEXFORGE
#
# The progress line. A run whose standard error is redirected prints
# nothing there at all. In a real terminal (tmux), a long forged scan (a
# data file grown sparse to 512 MiB, more on a fast machine) shows one
# self-updating line with blocks done of total, MB/s, rows and time left,
# the statement's echo stays above it, and the line is gone when the scan
# ends. Without tmux the terminal half is skipped, and says so.
set -u
bex=$1 forge=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/bex-progress.XXXXXX")
# One tmux server per attempt: a server being killed can still take the
# next new-session's connection and die under it.
sockets=()
cleanup() {
  if command -v tmux >/dev/null; then
    for s in "${sockets[@]}"; do tmux -L "$s" kill-server 2>/dev/null; done
  fi
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 2
"$forge" scan . >/dev/null || { echo "forge failed"; exit 2; }
printf 'OPEN scan.cfg\nSCAN DATABASE\n' > scan.sql
line='SCAN DATABASE: [0-9]+ of [0-9]+ blocks \([0-9]+%\), [0-9.]+ MB/s, [0-9]+ rows'
fail=0

# Redirected: nothing on standard error, whether batch or standard input,
# even for a scan long enough to draw the line on a terminal.
"$bex" < scan.sql > stdin.out 2> stdin.err
truncate -s 512M scan06.dbf
"$bex" -f scan.sql > batch.out 2> batch.err
for f in batch.err stdin.err; do
  [ ! -s $f ] || { echo "FAIL: a redirected run wrote to standard error:"; cat -A $f | head -3; fail=1; }
done
grep -q 'Scan Done With' batch.out || { echo "FAIL: the scan did not run"; fail=1; }

if ! command -v tmux >/dev/null; then
  echo "SKIPPED: tmux is not installed; the progress line in a terminal was not tested"
  [ $fail = 0 ] && exit 77
  exit $fail
fi

# In a terminal: bex once the pane's output is recorded (the file "go"
# appears after pipe-pane), then a mark with its exit status. A line is
# drawn once the scan has run a quarter of a second: a machine that scans
# the file faster than that gets a bigger one. A loaded machine only makes
# the scan slower: each attempt waits for bex's end as long as the test's
# time bound allows, not for a fixed time.
in_terminal() {
  truncate -s "$1" scan06.dbf
  rm -f pane.log go
  [ ${#sockets[@]} = 0 ] || tmux -L "$socket" kill-server 2>/dev/null
  socket=bex-progress-$$-$1
  sockets+=("$socket")
  tmux -L "$socket" new-session -d -x 160 -y 40 \
    "cd '$work' && while [ ! -e go ]; do sleep 0.05; done; '$bex' -f scan.sql; echo BEX-ENDED \$?; sleep 600"
  tmux -L "$socket" pipe-pane -o "cat >> '$work/pane.log'"
  touch go
  local start=$SECONDS
  seen=0
  while [ $SECONDS -lt $deadline ]; do
    tmux -L "$socket" capture-pane -p > screen.txt
    grep -Eq "$line" screen.txt && seen=1
    grep -q '^BEX-ENDED' screen.txt && break
    sleep 0.1
  done
  took=$((SECONDS - start))
}
deadline=$((SECONDS + 240))  # within the test's TIMEOUT of 300 s
for size in 512M 2G 8G; do
  in_terminal $size
  # The pane may have been captured between two draws; what was written to
  # the terminal shows every draw.
  grep -aEq "$line, [0-9:]+ left" pane.log && break
  [ $took -ge 3 ] && break
  grep -q '^BEX-ENDED' screen.txt || break  # out of time
done
grep -q '^BEX-ENDED 0$' screen.txt || { echo "FAIL: bex did not end well in the terminal:"; cat screen.txt; fail=1; }
if ! grep -aEq "$line, [0-9:]+ left" pane.log; then
  echo "FAIL: no progress line was drawn in $took s:"; cat -A pane.log | head -20; fail=1
fi
[ $seen = 1 ] || echo "note: the progress line was drawn but no capture of the pane fell on it"
if grep -Eq "blocks \(|MB/s" screen.txt; then
  echo "FAIL: the progress line is still on the screen after the scan:"; cat screen.txt; fail=1
fi
grep -q '^BEX> SCAN DATABASE$' screen.txt || { echo "FAIL: the progress line took the statement's place"; fail=1; }
grep -q '^Scan Done With 3 Errors\.$' screen.txt || { echo "FAIL: the scan's own output is not on the screen"; fail=1; }

[ $fail = 0 ] && echo "progress: all passed"
exit $fail
