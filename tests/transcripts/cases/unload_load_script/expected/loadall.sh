#!/bin/sh
# Loads what BEX unloaded into this directory:
#   sql: run every *_syntax.sql with sqlplus     ctl: every *_sqlldr.ctl with sqlldr
#   dmp: import every *.dmp (any case) with imp  show: list every *.dmp with imp show=y
# A file whose .log exists is passed over (show removes the log of a good run).

usage() {
  echo 'Connection Info Required!'
  echo 'Usage:'
  for m in sql ctl dmp show; do echo "      $(basename "$0") $m user/pass@tns"; done
  exit 1
}

[ -n "$2" ] || usage
case "$1" in
sql)
  for f in *_syntax.sql; do
    [ -e "$f" ] || continue
    n=${f%.*}
    echo "Run script $f ..."
    [ -e "$n.log" ] || sqlplus -L "$2" @"$n.sql" > "$n.log"
  done ;;
ctl)
  for f in *_sqlldr.ctl; do
    [ -e "$f" ] || continue
    n=${f%.*}
    echo "Run SQL*Loader $f ..."
    [ -e "$n.log" ] || sqlldr userid="$2" control="$n.ctl" log="$n.log"
  done ;;
dmp)
  for f in *; do
    case "$f" in *.[dD][mM][pP]) ;; *) continue ;; esac
    n=${f%.*}
    echo "Run Import $f ..."
    [ -e "$n.log" ] || imp "$2" file="$f" log="$n.log" buffer=16777216 ignore=y full=y
  done ;;
show)
  for f in *; do
    case "$f" in *.[dD][mM][pP]) ;; *) continue ;; esac
    n=${f%.*}
    echo "Run Import $f ..."
    imp "$2" file="$f" log="$n.log" buffer=16777216 ignore=y full=y show=y && rm -f "$n.log"
  done ;;
*) usage ;;
esac
