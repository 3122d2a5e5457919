#!/bin/sh
# The four programs' command lines, without a display: --help and --version
# answer and end with 0, a bad option names the program and ends with 2.
fail() { echo "FAIL: $*"; exit 1; }
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
for prog in "$@"; do
  name=${prog##*/}
  out=$(timeout 20 "$prog" --help) || fail "$name --help: status $?"
  case "$out" in "Usage: $name "*) ;; *) fail "$name --help: $out" ;; esac
  case "$out" in *--version*) ;; *) fail "$name --help lacks --version" ;; esac
  out=$(timeout 20 "$prog" --version) || fail "$name --version: status $?"
  case "$out" in "$name "[0-9]*) ;; *) fail "$name --version: $out" ;; esac
  for bad in --bogus -x --help=1; do
    err=$(timeout 20 "$prog" $bad 2>&1 >/dev/null)
    status=$?
    [ $status -eq 2 ] || fail "$name $bad: status $status"
    case "$err" in "$name: "*"Try '$name --help'"*) ;; *) fail "$name $bad: $err" ;; esac
  done
done
# The panel's --remote takes its address after a space too (offscreen, simulated).
err=$(QT_QPA_PLATFORM=offscreen EVLINK_SIM=only timeout 5 "$1" --remote 127.0.0.1:0 2>&1 >/dev/null)
case "$err" in *"remote control on 127.0.0.1:"*) ;; *) fail "--remote ADDR: $err" ;; esac
case "$err" in *":5025"*) fail "--remote ADDR took the default: $err" ;; esac
echo "command lines ok"
