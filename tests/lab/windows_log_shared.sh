#!/usr/bin/env bash
# Two Windows kestrava processes logging at once share one log file through kestrava_QELOG.
# Usage: windows_log_shared.sh WRITER-EXE (a test program named kestrava.exe); runs under Wine
# with the WINEPREFIX the Windows test runner prepared.
set -uo pipefail
writer=$1
command -v wine >/dev/null 2>&1 || { echo "wine is not installed" >&2; [ "${CI:-}" = true ] && exit 1; exit 77; }
export WINEDEBUG=-all
work=$(mktemp -d /tmp/tidewake-winlog.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
checks=0
check() {
  local what=$1; shift
  checks=$((checks + 1))
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; failures=$((failures + 1)); fi
}
winpath() { wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }

count=200
pattern='^[^ ]+ [0-9]{2}:[0-9]{2}:[0-9]{2}: P[12]-R[0-9]+ x{50}\|$'

# 1. No rotation: every record of both processes arrives whole, each process's in order.
log=$work/shared.LOG
wlog=$(winpath "$log")
wine "$writer" "$wlog" 1000000 1 $count >/dev/null 2>&1 </dev/null &
first=$!
wine "$writer" "$wlog" 1000000 2 $count >/dev/null 2>&1 </dev/null
wait $first
tr -d '\r' <"$log" >"$work/plain"
check "the log holds 2 x $count lines" [ "$(wc -l <"$work/plain")" -eq $((2 * count)) ]
check "every line is one whole record" [ "$(grep -cvE "$pattern" "$work/plain")" -eq 0 ]
check "every line ends with CR LF" [ "$(grep -c $'\r$' "$log")" -eq $((2 * count)) ]
for id in 1 2; do
  check "process $id's records are all there, in order" \
    diff <(grep -oE "P$id-R[0-9]+" "$work/plain") <(for ((i = 0; i < count; i++)); do echo "P$id-R$i"; done)
done

# 2. With rotations at 8192 bytes running in both processes: lines stay whole in both files.
log=$work/rotate.LOG
wlog=$(winpath "$log")
wine "$writer" "$wlog" 8192 1 $count >/dev/null 2>&1 </dev/null &
first=$!
wine "$writer" "$wlog" 8192 2 $count >/dev/null 2>&1 </dev/null
wait $first
check "the log was rotated into its backup" [ -s "$work/rotate.LO_" ]
cat "$work/rotate.LO_" "$log" | tr -d '\r' | grep -vE "$pattern" >"$work/bad"
check "no record was torn by the other process or a rotation" [ ! -s "$work/bad" ]
check "the log stays near its limit" [ "$(stat -c %s "$log")" -lt $((8192 + 200)) ]

# 3. The mutex is the one named kestrava_QELOG: a writer waits for a process holding it.
log=$work/held.LOG
wlog=$(winpath "$log")
wine "$writer" --hold "$wlog" 1500 >"$work/holder.out" 2>&1 </dev/null &
holder=$!
for ((i = 0; i < 100; i++)); do grep -q held "$work/holder.out" 2>/dev/null && break; sleep 0.1; done
wine "$writer" "$wlog" 1000000 1 1 >/dev/null 2>&1 </dev/null
wait $holder
check "the holder held kestrava_QELOG" grep -q held "$work/holder.out"
tr -d '\r' <"$log" >"$work/plain"
comes_after() {  # comes_after FIRST SECOND FILE: both lines present, FIRST before SECOND
  local first second
  first=$(grep -n -m1 -e "$1" "$3" | cut -d: -f1)
  second=$(grep -n -m1 -e "$2" "$3" | cut -d: -f1)
  [ -n "$first" ] && [ -n "$second" ] && [ "$first" -lt "$second" ]
}
check "the writer's record comes after the holder released the mutex" comes_after HOLDER-END 'P1-R0 ' "$work/plain"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
