#!/usr/bin/env bash
# The reminder's desktop window as a screen reader finds it over AT-SPI, on a
# private session bus and Xvfb: a dialog named by its title in an application
# named after velk-host, the named table with its column headers and cells, and
# the close button, pressed through its action; the history has then lost the
# shown and the expired certificates (skipped without dbus, at-spi2-core or
# python3-pyatspi).
# Usage: velk_host_desktop_atspi.sh VELK-HOST
set -euo pipefail
host=$1
python=/usr/bin/python3
if [ -z "${VELK_UNDER_DBUS:-}" ]; then
  if ! command -v dbus-run-session >/dev/null || [ ! -x /usr/libexec/at-spi-bus-launcher ] ||
    ! "$python" -c 'import pyatspi' 2>/dev/null; then
    echo "dbus, at-spi2-core or python3-pyatspi is not installed (scripts/setup installs them)"
    exit 77
  fi
  VELK_UNDER_DBUS=1 exec dbus-run-session -- "$0" "$@"
fi
# shellcheck source=support/xvfb_window.sh
. "$(dirname "$0")/support/xvfb_window.sh"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# A date as the window writes it in the era calendar (from 2020 on).
era() {
  local year month day
  read -r year month day <<<"$(date -d "$1" '+%Y %-m %-d')"
  echo "令和$((year - 2018))年${month}月${day}日"
}

write_history
"$host" remind --ui desktop >"$work/out" 2>"$work/err" &
pid=$!
wait_for_window "$pid" >/dev/null || { cat "$work/err" >&2; exit 1; }
"$python" "$(dirname "$0")/support/atspi_reminder.py" "$pid" "$(basename "$host")" \
  "署名用,1A2B,$(era '20 days')" "利用者証明用,0080C3,$(era '75 days')" || {
  kill "$pid"
  exit 1
}
expect_closed "$pid" "pressing the button through AT-SPI"
echo "AT-SPI: dialog, named table, columns, cells and the close button read; pressing it closed the window"
