#!/usr/bin/env bash
# Starts the second version on the simulated board (or on a real board when one
# is attached). Without a display it serves the window over VNC on 127.0.0.1.
set -euo pipefail
build=${1:-build}
shift || true
program="$build/QV4816X(version2)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: serving the program over VNC."
  echo "Connect a VNC viewer to 127.0.0.1:5900 (for example: vncviewer 127.0.0.1:5900)."
  # A screen larger than the main window (1062 x 548), so that all of it shows.
  export QT_QPA_PLATFORM="vnc:addr=127.0.0.1:port=5900:size=1280x720"
fi
exec "$program" "$@"
