#!/usr/bin/env bash
# The reminder as a desktop window under Xvfb: `velk-host remind --ui desktop`
# on a prepared history maps a window; a plain c typed through the X server
# leaves it up; Alt+C closes it; the history has then lost exactly the shown
# and the expired certificates.
# Usage: velk_host_desktop_xvfb.sh VELK-HOST
set -euo pipefail
host=$1
# shellcheck source=support/xvfb_window.sh
. "$(dirname "$0")/support/xvfb_window.sh"

write_history
cp "$history" "$work/before"
# Xvfb on a busy machine now and then refuses a connection (so does
# xdpyinfo), and Qt then ends the process before any window: one more try.
for attempt in 1 2; do
  "$host" remind --ui desktop >"$work/out" 2>"$work/err" &
  pid=$!
  if window=$(wait_for_window "$pid"); then
    break
  fi
  if [ "$attempt" = 2 ] || ! grep -q 'could not connect to display' "$work/err"; then
    cat "$work/err" >&2
    exit 1
  fi
  wait "$pid" || true
  cmp -s "$history" "$work/before" || { echo "FAIL: the failed start changed the history" >&2; exit 1; }
done
xdotool key c
sleep 0.5
kill -0 "$pid" 2>/dev/null || { echo "FAIL: c closed the window" >&2; exit 1; }
xdotool key alt+c
for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  echo "FAIL: Alt+C left window $window up" >&2
  exit 1
fi
wait "$pid" || { echo "FAIL: velk-host remind failed" >&2; cat "$work/err" >&2; exit 1; }
expected="1
S,0457,$(date -d '900 days' +%F),$(date -d '30 days ago' +%F) 10:00:00"
if [ "$(cat "$history")" != "$expected" ]; then
  echo "FAIL: the history afterwards is" >&2
  cat "$history" >&2
  exit 1
fi
echo "window $window: c left it up, Alt+C closed it, the history kept only 0457"
