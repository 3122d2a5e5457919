#!/usr/bin/env bash
# scripts/run.sh without a display: the program comes up on the simulated
# board, titled so, and every socket the run opened listens on loopback only.
build=$1 run=$2
fail() { echo "FAIL: $*"; exit 1; }
for tool in Xvfb x11vnc openbox ss xprop; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps.sh)"; exit 77; }
done

port=$((20000 + $$ % 20000))
log=$(mktemp)
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u EVLINK_SIM QV_VNC_PORT=$port \
  setsid bash "$run" "$build" >"$log" 2>&1 &
pid=$!
trap 'kill -- -$pid 2>/dev/null; sleep 0.5; kill -9 -- -$pid 2>/dev/null; rm -f "$log"' EXIT

# Bounded wait for the VNC port and the panel's window.
title=""
for _ in $(seq 200); do
  kill -0 $pid 2>/dev/null || { cat "$log"; fail "run.sh ended"; }
  if ss -Hltn | grep -q ":$port "; then
    display=$(sed -n 's/.*DISPLAY=\(:[0-9]*\).*/\1/p' /proc/$pid/environ 2>/dev/null)
    for child in $(pgrep -s $pid); do
      d=$(tr '\0' '\n' </proc/$child/environ 2>/dev/null | sed -n 's/^DISPLAY=//p')
      [ -n "$d" ] && display=$d
    done
    if [ -n "$display" ]; then
      title=$(DISPLAY=$display xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*' | while read -r w; do
        DISPLAY=$display xprop -id "$w" _NET_WM_NAME 2>/dev/null; done | grep -o 'QV4816X - .*' | head -1)
      [ -n "$title" ] && break
    fi
  fi
  sleep 0.2
done
[ -n "$title" ] || { cat "$log"; fail "the panel did not come up within 40 s"; }
case "$title" in *"(simulated board)\"") ;; *) fail "title: $title" ;; esac
grep -q "simulated board" "$log" || fail "run.sh did not say it runs on the simulated board"

# Every socket the run's processes listen on (ss -p names them) is on loopback.
ours=$(pgrep -s $pid | tr '\n' '|')
mine=$(ss -Hltnp | grep -E "pid=(${ours%|})," | awk '{print $4}')
[ -n "$mine" ] || fail "nothing of the run listens"
echo "$mine" | grep -q "^127.0.0.1:$port$" || fail "VNC is not on 127.0.0.1:$port: $mine"
outside=$(echo "$mine" | grep -Ev '^(127\.[0-9.]+|\[::1\]|\[::ffff:127\.[0-9.]+\]):[0-9]+$')
[ -z "$outside" ] || fail "listening beyond loopback: $outside"
echo "make run serves on loopback only:" $mine
