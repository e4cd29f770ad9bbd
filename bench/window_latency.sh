#!/usr/bin/env bash
# How long the reminder's desktop window takes to appear, against a bare Qt
# Widgets program that shows the same window: under Xvfb, without a window
# manager, runs `velk-host remind --ui desktop` and bare_window alternately,
# RUNS times each (11 by default), times each from exec to its first mapped
# window, and prints both medians and their ratio.
# Usage: bench/window_latency.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-11}
if [ -z "${VELK_UNDER_XVFB:-}" ]; then
  VELK_UNDER_XVFB=1 exec xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 800x480x24 -noreset" \
    "$0" "$build" "$runs"
fi
export LC_ALL=C.UTF-8 LANG=C.UTF-8
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_DATA_HOME/velk" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
era() {
  local year month day
  read -r year month day <<<"$(date -d "$1" '+%Y %-m %-d')"
  echo "令和$((year - 2018))年${month}月${day}日"
}
umask 077
recorded="$(date -d '30 days ago' '+%F') 10:00:00"
printf '1\nS,1A2B,%s,%s\nA,0080C3,%s,%s\n' "$(date -d '20 days' +%F)" "$recorded" \
  "$(date -d '75 days' +%F)" "$recorded" >"$XDG_DATA_HOME/velk/velk.dc_list"

timer="$build/bin/first_map"
[ -x "$timer" ] || timer="$build/bench/first_map"
bare="$(dirname "$timer")/bare_window"
# One run of each first, unmeasured: the page cache then holds both.
"$timer" "$build/bin/velk-host" remind --ui desktop >/dev/null
"$timer" "$bare" "署名用,1A2B,$(era '20 days')" "利用者証明用,0080C3,$(era '75 days')" >/dev/null
for _ in $(seq "$runs"); do
  "$timer" "$build/bin/velk-host" remind --ui desktop >>"$work/host"
  "$timer" "$bare" "署名用,1A2B,$(era '20 days')" "利用者証明用,0080C3,$(era '75 days')" >>"$work/bare"
done
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
host_ms=$(median "$work/host")
bare_ms=$(median "$work/bare")
echo "velk-host remind --ui desktop: median $host_ms ms ($(paste -sd' ' "$work/host"))"
echo "bare_window:                   median $bare_ms ms ($(paste -sd' ' "$work/bare"))"
awk -v h="$host_ms" -v b="$bare_ms" 'BEGIN { printf "ratio %.2f\n", h / b }'
