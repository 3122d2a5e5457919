#!/bin/sh
# The standard-input transport from a shell pipe, and the start without a board.
prog="$1"
fail() { echo "FAIL: $*"; exit 1; }

out=$(printf '*IDN?\nDAC:CODE B,#H8000;CODE? B\nFOO\r\nSYST:ERR?\nMEAS:VOLT? ALL' | EVLINK_SIM=only "$prog" --stdio) ||
  fail "exit status $?"
expected='QV,QV4816X,0,1.01.0006
32768
-113,"Undefined header"'
[ "$(printf '%s\n' "$out" | head -n 3)" = "$expected" ] || fail "answers: $out"
# The last line had no newline: it still counts.
printf '%s\n' "$out" | sed -n 4p | grep -Eq '^-?[0-9]+\.[0-9]{4}(,-?[0-9]+\.[0-9]{4}){3}$' || fail "measurement: $out"

# A wait met again after a resumed wait (a sweep started between them).
out=$(printf 'SWE:STAR\n*WAI;SWE:STAR;*WAI;*IDN?\n' | EVLINK_SIM=only timeout 60 "$prog" --stdio) ||
  fail "two waits in one line: exit status $?"
[ "$out" = "QV,QV4816X,0,1.01.0006" ] || fail "two waits in one line: $out"

err=$(EVLINK_SIM=absent "$prog" --stdio </dev/null 2>&1 >/dev/null)
status=$?
[ $status -eq 1 ] || fail "no board: exit status $status"
case "$err" in "no board found: "*) ;; *) fail "no board: $err" ;; esac
[ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "no board: more than one line: $err"

out=$(echo '*IDN?' | EVLINK_SIM=only "$prog" --stdio --first-version) || fail "first version: $?"
[ "$out" = "QV,QV4816X,0,1.01.0001" ] || fail "first version: $out"
echo "stdio transport ok"
