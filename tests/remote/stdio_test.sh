#!/bin/sh
# The standard-input transport from a shell pipe, and the start without a board.
prog="$1"
fail() { echo "FAIL: $*"; exit 1; }

out=$(printf '*IDN?\nDAC:CODE B,#H8000;CODE? B\nFOO\r\nSYST:ERR?\nMEAS:VOLT? ALL' | EVLINK_SIM=only "$prog" --stdio --keep-going) ||
  fail "exit status $?"
expected='QV,QV4816X,SIMULATED,1.01.0006
32768
-113,"Undefined header"'
[ "$(printf '%s\n' "$out" | head -n 3)" = "$expected" ] || fail "answers: $out"
# The last line had no newline: it still counts.
printf '%s\n' "$out" | sed -n 4p | grep -Eq '^-?[0-9]+\.[0-9]{4}(,-?[0-9]+\.[0-9]{4}){3}$' || fail "measurement: $out"

# A wait met again after a resumed wait (a sweep started between them).
out=$(printf 'SWE:STAR\n*WAI;SWE:STAR;*WAI;*IDN?\n' | EVLINK_SIM=only timeout 60 "$prog" --stdio) ||
  fail "two waits in one line: exit status $?"
[ "$out" = "QV,QV4816X,SIMULATED,1.01.0006" ] || fail "two waits in one line: $out"

# Each error is told on standard error as it happens; the status says so.
err=$(printf 'DAC:CODE A,99999\nDAC:COD A,1\n*IDN?\n' | EVLINK_SIM=only "$prog" --stdio 2>&1 >/dev/null)
status=$?
err=$(printf '%s\n' "$err" | grep -v 'working with the simulated board')
[ $status -eq 1 ] || fail "errors: exit status $status"
expected='qv4816x-scpi: -222,"Data out of range" in line 1: DAC:CODE A,99999
qv4816x-scpi: -113,"Undefined header" in line 2: DAC:COD A,1'
[ "$err" = "$expected" ] || fail "errors: $err"
echo '*IDN?' | EVLINK_SIM=only "$prog" --stdio >/dev/null 2>&1 || fail "no error: exit status $?"

err=$(EVLINK_SIM=absent "$prog" --stdio </dev/null 2>&1 >/dev/null)
status=$?
[ $status -eq 1 ] || fail "no board: exit status $status"
case "$err" in "no board found: "*) ;; *) fail "no board: $err" ;; esac
[ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "no board: more than one line: $err"

out=$(echo '*IDN?' | EVLINK_SIM=only "$prog" --stdio --first-version) || fail "first version: $?"
[ "$out" = "QV,QV4816X,SIMULATED,1.01.0001" ] || fail "first version: $out"
# The simulated board is chosen, never fallen into: without EVLINK_SIM and
# without --simulate only real boards are searched (none here); --simulate
# asks for it and says so once; EVLINK_SIM=absent still means no board.
err=$(env -u EVLINK_SIM "$prog" --stdio </dev/null 2>&1 >/dev/null)
status=$?
if [ $status -ne 1 ] && [ -n "$(ls /dev/bus/usb 2>/dev/null)" ]; then
  echo "a USB board may be attached: the no-option case is not checked"
else
  [ $status -eq 1 ] || fail "no option: exit status $status"
  case "$err" in "no board found: "*) ;; *) fail "no option: $err" ;; esac
fi
out=$(printf '*IDN?\nSYST:BOARD?\n' | env -u EVLINK_SIM "$prog" --stdio --simulate 2>"${TMPDIR:-/tmp}/qv-sim-err.$$") ||
  fail "--simulate: exit status $?"
err=$(cat "${TMPDIR:-/tmp}/qv-sim-err.$$"); rm -f "${TMPDIR:-/tmp}/qv-sim-err.$$"
[ "$out" = "QV,QV4816X,SIMULATED,1.01.0006
SIMULATED,only" ] || fail "--simulate: $out"
[ "$err" = "qv4816x-scpi: working with the simulated board (SIMULATED,only), not a real one" ] || fail "--simulate: $err"
EVLINK_SIM=absent "$prog" --stdio --simulate </dev/null >/dev/null 2>&1
[ $? -eq 1 ] || fail "absent and --simulate: a board was found"
out=$(echo 'SYST:BOARD?' | EVLINK_SIM='resolution=14' "$prog" --stdio --simulate 2>/dev/null)
[ "$out" = "SIMULATED,resolution=14" ] || fail "options kept: $out"
echo "stdio transport ok"
