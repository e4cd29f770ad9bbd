#!/usr/bin/env bash
# The reminder window on a real terminal: records certificates with velk-host
# into a fresh home, runs `velk-host remind` inside a detached tmux session,
# reads the screen with capture-pane and presses keys with send-keys. Checks
# that the window shows the three columns and the soon expiring certificates,
# earliest first with their era dates, in a table whose rules line up by
# display width; that c, Alt+Shift+C and Ctrl+X leave it up; that Alt+C,
# Enter, Space, Escape and Ctrl+W each close it; and that the history has
# dropped the shown and the expired certificates afterwards.
# Usage: velk_host_remind_tmux.sh VELK-HOST VELK-MAKE-CERT [SCREEN-FILE]
# The screen as shown is written to SCREEN-FILE when given.
set -euo pipefail
host=$1
make_cert=$2
screen_file=${3:-}
session=remind
# shellcheck source=support/tmux_session.sh
. "$(dirname "$0")/support/tmux_session.sh"

# A date `days` from today in era form, e.g. 令和8年2月1日 (令和 dates only).
era_date() {
  local year month day
  read -r year month day < <(date -d "$1 days" '+%Y %-m %-d')
  local era_year=$((year - 2018))
  [ "$era_year" -eq 1 ] && era_year=元
  echo "令和${era_year}年${month}月${day}日"
}

export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
history="$XDG_DATA_HOME/velk/velk.dc_list"
# class, serial, expiry in days from today
while read -r class serial days; do
  "$make_cert" --serial "$serial" --not-after "$days" --out "$work/$serial.der"
  "$host" record --class "$class" "$work/$serial.der" >/dev/null
done <<'EOF'
A 7E01 +60
S 5A02 +10
S 3C03 +400
EOF
"$host" reminder on >/dev/null
# An expired record, as an older run of the family's programs may leave.
echo "A,7E04,$(date -d '-3 days' +%F),$(date -d '-400 days' '+%F %T')" >> "$history"

# Runs velk-host remind in a new tmux session; returns once the window is on
# screen. No display: the automatic choice is the terminal's window.
remind() {
  tmux -L "$socket" kill-session -t remind 2>/dev/null || true
  rm -f "$work/status"
  tmux -L "$socket" new-session -d -s remind -x 100 -y 24 \
    "TERM=xterm-256color XDG_DATA_HOME='$XDG_DATA_HOME' XDG_STATE_HOME='$XDG_STATE_HOME' \
     env -u DISPLAY -u WAYLAND_DISPLAY '$host' remind; echo \$? > '$work/status'; sleep 30"
  wait_for 'capture && grep -q "閉じる" "$work/screen"' || fail "the window did not show"
}

# The display columns at which "│" appears in a line.
rule_columns() {
  local line=$1 prefix="" columns="" i char
  for ((i = 0; i < ${#line}; i++)); do
    char=${line:i:1}
    if [ "$char" = "│" ]; then
      columns+="$(printf '%s' "$prefix" | wc -L) "
    fi
    prefix+=$char
  done
  echo "$columns"
}

remind
[ -n "$screen_file" ] && sed -e 's/[[:space:]]*$//' "$work/screen" > "$screen_file"

for text in "証明書の有効期限のお知らせ" "種別" "シリアル番号" "有効期限の満了日"; do
  grep -qF "$text" "$work/screen" || fail "the screen lacks $text"
done
soon=$(grep -n "署名用.*5A02.*$(era_date +10)" "$work/screen" | cut -d: -f1)
later=$(grep -n "利用者証明用.*7E01.*$(era_date +60)" "$work/screen" | cut -d: -f1)
[ -n "$soon" ] && [ -n "$later" ] || fail "the rows are missing"
[ "$soon" -lt "$later" ] || fail "the rows are not earliest first"
! grep -qE "3C03|7E04" "$work/screen" || fail "a certificate not due is shown"
rules=$(rule_columns "$(grep -F "種別" "$work/screen")")
[ "$(echo "$rules" | wc -w)" -eq 4 ] || fail "the header has no four rules"
for row in 5A02 7E01; do
  [ "$(rule_columns "$(grep -F "$row" "$work/screen")")" = "$rules" ] ||
    fail "the rules of the $row row are not lined up with the header's"
done

# Plain c, Alt+Shift+C and Ctrl+X leave the window up; Alt+C closes it.
tmux -L "$socket" send-keys -t remind c M-C C-x
sleep 0.5
[ ! -e "$work/status" ] || fail "c, Alt+Shift+C or Ctrl+X closed the window"
tmux -L "$socket" send-keys -t remind M-c
wait_for '[ -s "$work/status" ]' || fail "Alt+C did not close the window"
capture
[ "$(cat "$work/status")" = 0 ] || fail "velk-host remind failed"
grep -q "^history: " "$work/screen" || fail "velk-host did not show the history afterwards"

grep -q "^S,3C03," "$history" || fail "the later certificate is gone: $(cat "$history")"
! grep -qE "5A02|7E01|7E04" "$history" || fail "shown or expired ones remain: $(cat "$history")"
[ "$(wc -l < "$history")" -eq 2 ] || fail "unexpected history: $(cat "$history")"

# The button by keyboard, and the window's own close keys, close it as well,
# and the certificate shown goes.
for key in Enter Space Escape C-w; do
  "$host" record --class S "$work/5A02.der" >/dev/null
  remind
  tmux -L "$socket" send-keys -t remind "$key"
  wait_for '[ -s "$work/status" ]' || fail "$key did not close the window"
  ! grep -q "5A02" "$history" || fail "the certificate shown stayed after $key"
done
echo "velk-host remind on the terminal OK"
