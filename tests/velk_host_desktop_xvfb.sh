#!/usr/bin/env bash
# The reminder as a desktop window under Xvfb and openbox: `velk-host remind
# --ui desktop` on a prepared history maps a window (on X, although
# WAYLAND_DISPLAY names a dead compositor's socket) that takes the keyboard
# focus by itself; a plain c typed through the X server leaves it up; Alt+C
# closes it; the history has then lost exactly the shown and the expired
# certificates.
# Usage: velk_host_desktop_xvfb.sh VELK-HOST
set -euo pipefail
host=$1
# shellcheck source=support/xvfb_window.sh
. "$(dirname "$0")/support/xvfb_window.sh"

command -v openbox >/dev/null || { echo "openbox is not installed (scripts/setup installs it)"; exit 77; }
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5  # openbox up before the window maps
trap 'kill "$wm" 2>/dev/null; rm -rf "$work"' EXIT
# A Wayland display left behind by a compositor that has gone: the window
# tries it first and falls back to X.
/usr/bin/python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' \
  "$XDG_RUNTIME_DIR/wayland-gone"
export WAYLAND_DISPLAY=wayland-gone
write_history
cp "$history" "$work/before"
# Xvfb on a busy machine now and then refuses a connection (so does
# xdpyinfo), and Qt then ends the process before any window: one more try.
for attempt in 1 2; do
  "$host" remind --ui desktop >"$work/out" 2>"$work/err" &
  pid=$!
  if window=$(wait_for_window "$pid" nofocus); then
    break
  fi
  if [ "$attempt" = 2 ] || ! grep -q 'could not connect to display' "$work/err"; then
    cat "$work/err" >&2
    exit 1
  fi
  wait "$pid" || true
  cmp -s "$history" "$work/before" || { echo "FAIL: the failed start changed the history" >&2; exit 1; }
done
# Keys go to whichever window has the focus: the reminder's, if it took it.
sleep 0.5
xdotool key c
sleep 0.5
kill -0 "$pid" 2>/dev/null || { echo "FAIL: c closed the window" >&2; exit 1; }
xdotool key alt+c
expect_closed "$pid" Alt+C
echo "window $window: c left it up, Alt+C closed it, the history kept only 0457"
