#!/usr/bin/env bash
# The reminder on a Wayland-only desktop: under a headless weston with no X
# display, `velk-host remind --ui auto` opens its window natively on Wayland (a
# top-level surface with the reminder's title and the login item's application
# id, drawn on weston's screen); a
# TERM ends it without touching the history (skipped without weston or Qt's
# Wayland platform plugin).
# Usage: velk_host_desktop_wayland.sh VELK-HOST [SCREENSHOT.png]
set -euo pipefail
host=$1
screenshot=${2:-}
for tool in weston weston-screenshooter; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (scripts/setup installs weston)"; exit 77; }
done
if ! ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1; then
  echo "Qt's Wayland platform plugin is not installed (scripts/setup installs qt6-wayland)"
  exit 77
fi
export LC_ALL=C.UTF-8 LANG=C.UTF-8
unset DISPLAY QT_QPA_PLATFORM
work=$(mktemp -d)
pids=()
stop() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop EXIT
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_DATA_HOME/velk" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export WAYLAND_DISPLAY=velk-wayland-$$
history="$XDG_DATA_HOME/velk/velk.dc_list"
recorded="$(date -d '30 days ago' '+%F') 10:00:00"
printf '1\nS,1A2B,%s,%s\nA,0080C3,%s,%s\n' "$(date -d '20 days' +%F)" "$recorded" \
  "$(date -d '75 days' +%F)" "$recorded" >"$history"
cp "$history" "$work/before"

# --debug lets weston-screenshooter take the screen.
weston --backend=headless-backend.so --use-pixman --socket="$WAYLAND_DISPLAY" --width=800 \
  --height=480 --debug --idle-time=0 --log="$work/weston.log" &
pids+=($!)
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || { echo "FAIL: weston did not start" >&2; cat "$work/weston.log" >&2; exit 1; }

WAYLAND_DEBUG=client "$host" remind --ui auto >"$work/out" 2>"$work/err" &
pid=$!
pids+=("$pid")
title='証明書の有効期限のお知らせ'
# WAYLAND_DEBUG names an object "interface@id", or "interface#id" from libwayland 1.23 on.
toplevel='xdg_toplevel[@#][0-9]*'
for _ in $(seq 300); do
  grep -q "$toplevel\.set_title(\"$title\")" "$work/err" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q "$toplevel\.set_title(\"$title\")" "$work/err"; then
  echo "FAIL: no Wayland window titled $title" >&2
  grep -v '^\[' "$work/err" >&2 || true
  exit 1
fi
# The desktop matches the window to the login item by its application id.
if ! grep -q "$toplevel\.set_app_id(\"velk-host-remind\")" "$work/err"; then
  echo "FAIL: the window's application id is not velk-host-remind" >&2
  grep -o 'set_app_id([^)]*)' "$work/err" >&2 || true
  exit 1
fi
sleep 1  # let it draw
(cd "$work" && weston-screenshooter >/dev/null 2>&1)
shots=("$work"/wayland-screenshot-*.png)
shot=${shots[0]}
[ -f "$shot" ] || { echo "FAIL: weston-screenshooter took no picture" >&2; exit 1; }
# An empty screen has a handful of colours; the window's text brings hundreds.
colours=$(convert "$shot" -format %k info:)
if [ "$colours" -lt 100 ]; then
  echo "FAIL: weston's screen shows no window ($colours colours)" >&2
  exit 1
fi
[ -z "$screenshot" ] || cp "$shot" "$screenshot"
kill "$pid"
wait "$pid" 2>/dev/null || true
cmp -s "$history" "$work/before" || { echo "FAIL: ending the window changed the history" >&2; exit 1; }
echo "Wayland: the window came up on weston ($colours colours on its screen)"
