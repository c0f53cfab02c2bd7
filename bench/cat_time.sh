# Sourced by the dictionary benchmarks: now, and catTime FILES... (seconds
# of a page-cached cat of the files, the yardstick the figures stand beside).
now() { date +%s.%N; }

catTime() {
  cat "$@" > /dev/null
  t0=$(now)
  cat "$@" > /dev/null
  t1=$(now)
  echo "$t1 - $t0" | bc -l
}
