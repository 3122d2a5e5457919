#!/usr/bin/env bash
# Starts the second version on the simulated board, and says so. Without a
# display it runs the program on a virtual screen (Xvfb, 1680 x 1050, with the
# openbox window manager, so that windows have title bars and can be moved)
# and serves that screen over VNC on 127.0.0.1 only (x11vnc -localhost):
# nothing listens on any other address.
set -euo pipefail
build=${1:-build}
shift || true
program="$build/QV4816X(version2)"
echo "Running on the simulated board (--simulate); without it only a real board on USB is used."
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
  exec "$program" --simulate "$@"
fi

for tool in Xvfb x11vnc openbox; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
port=${QV_VNC_PORT:-5900}
screen=${QV_SCREEN:-1680x1050x24}
# The first free display number from :90 up.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
trap 'exit 130' INT TERM

# -nolisten tcp: the X server itself takes no network connections either.
Xvfb ":$display" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"
openbox >/dev/null 2>&1 &
pids+=($!)
x11vnc -display "$DISPLAY" -localhost -rfbport "$port" -forever -shared -nopw -quiet >/dev/null 2>&1 &
pids+=($!)
echo "No display found: the program's screen is served over VNC on 127.0.0.1:$port only."
echo "Connect a VNC viewer on this machine (for example: vncviewer 127.0.0.1:$port);"
echo "from another machine, through an SSH tunnel: ssh -L $port:127.0.0.1:$port this-host"
"$program" --simulate "$@"
