#!/usr/bin/env bash
# readonly_script.sh BEX
# init.sql and an @ script that the user may read but not write run like any
# other script; a script that cannot be opened is named. Root ignores file
# modes, so as root bex runs as nobody.
set -u
bex=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/bex-script.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 0777 "$work" && cd "$work" || exit 2
echo "SET VERBOSE 1" > init.sql
echo "SET MAXCHAINS 3" > ro.sql
chmod 0444 init.sql ro.sql
run=()
[ "$(id -u)" = 0 ] && run=(setpriv --reuid=65534 --regid=65534 --clear-groups)
"${run[@]}" "$bex" </dev/null >/dev/null 2>&1 || { echo "cannot run bex as an unprivileged user: skipped"; exit 77; }
out=$(printf '@ro.sql\n@missing.sql\n' | "${run[@]}" "$bex" 2>&1)
fail=0
for want in "Current VERBOSE is : 1" "Current MAXCHAINS is : 3" "Cannot open script file : missing.sql"; do
  grep -qF "$want" <<<"$out" || { echo "missing: $want"; fail=1; }
done
[ $fail = 0 ] || echo "$out"
exit $fail
