#!/usr/bin/env bash
# velk-host under valgrind memcheck: records certificates (DER and PEM, a new
# one, the same one again and a refused file), lists them, turns the reminder
# on and runs `remind` with the text window closed by "alt+c" on its input.
# Any memory error or definitely or indirectly lost block fails the run.
# Usage: valgrind_velk_host.sh VELK-HOST VELK-MAKE-CERT
# Exits 77 (skipped) when valgrind is not installed.
set -euo pipefail
export LC_ALL=C.UTF-8 LANG=C.UTF-8

host=$1
make_cert=$2
if ! command -v valgrind >/dev/null; then
  echo "valgrind is not installed (scripts/setup installs it)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state

runs=0
memcheck() {
  runs=$((runs + 1))
  local log=$work/valgrind-$runs.log
  local status=0
  valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
    --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
    --track-origins=yes --log-file="$log" "$host" "$@" >"$work/out" 2>&1 || status=$?
  if [ "$status" -eq 99 ]; then
    cat "$log" >&2
    echo "FAIL: valgrind reports errors or leaks in: velk-host $*" >&2
    exit 1
  fi
  echo "velk-host $*: exit $status, $(grep -E 'ERROR SUMMARY' "$log" | sed 's/^==[0-9]*== //')"
  return "$status"
}

"$make_cert" --serial 0102 --not-after +30 --out "$work/soon.der"
"$make_cert" --serial 00AB --not-after +900 --pem --out "$work/far.pem"
head -c 100 "$work/soon.der" >"$work/cut.der"

memcheck record --class A "$work/soon.der" </dev/null
memcheck record --class S "$work/far.pem" </dev/null
memcheck record --class A "$work/soon.der" </dev/null
memcheck record --class A "$work/cut.der" </dev/null || true
memcheck list </dev/null
memcheck reminder on </dev/null
memcheck remind --ui text <<<$'c\nalt+c'
grep -q '0102' "$work/out" || { echo "FAIL: the window did not list 0102" >&2; exit 1; }
memcheck list </dev/null
if grep -q '0102' "$work/out"; then
  echo "FAIL: the shown certificate is still in the history" >&2
  exit 1
fi
echo "valgrind: $runs runs of velk-host, no memory errors, no definite or indirect leaks"
