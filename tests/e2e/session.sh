#!/bin/bash
# Inside a private session bus: an X server and a window manager, then the
# tests. Everything started here is ended by PID on the way out.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$displayfile" ] && break
  sleep 0.1
done
if [ ! -s "$displayfile" ]; then
  echo "session.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$displayfile")"
rm -f "$displayfile"

# Without a window manager nothing is maximized and keys go nowhere.
xfwm4 --compositor=off --sm-client-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  wmctrl -m >/dev/null 2>&1 && break
  sleep 0.1
done
wmctrl -m >/dev/null 2>&1 || { echo "session.sh: xfwm4 did not start" >&2; exit 1; }

# Debian's interpreter: pyatspi is not installed for any other.
cd "$here" && /usr/bin/python3 -m unittest -v "$@"
