#!/usr/bin/env bash
# Drives the terminal backend for real: runs appkit_terminal_check inside a
# detached tmux session, reads the screen with capture-pane and presses keys
# with send-keys. Checks that the window shows its title, the three columns
# and the rows, with the table's rules lined up by display width, and that
# each way of leaving ends the modal loop the right way.
# Usage: appkit_terminal_tmux.sh PATH-TO-appkit_terminal_check
set -euo pipefail
check=$1
session=check
# shellcheck source=support/tmux_session.sh
. "$(dirname "$0")/support/tmux_session.sh"

# Starts the check program; returns once the window is on screen.
start() {
  rm -f "$work/result"
  tmux -L "$socket" new-session -d -s check -x 100 -y 30 \
    "TERM=xterm-256color '$check' '$work/result'; sleep 30"
  wait_for 'capture && grep -q "閉じる\|Close" "$work/screen"' || fail "the window did not show"
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

# Presses `keys`, waits for the loop to end and checks the result's last
# controller event and response.
leave_with() {
  local expected=$1
  shift
  tmux -L "$socket" send-keys -t check "$@"
  wait_for '[ -s "$work/result" ]' || fail "the loop did not end after $*"
  grep -qx "$expected" "$work/result" || fail "after $*: expected $expected, got $(cat "$work/result")"
  grep -qx "response -1000" "$work/result" || fail "after $*: loop not stopped by stopModal"
  tmux -L "$socket" kill-session -t check
}

start
for text in "証明書の有効期限が近づいています" "種別" "シリアル番号" "有効期限の満了日" \
  "署名用" "0A1B2C3D" "令和8年1月31日" "利用者証明用" "令和元年5月1日" "[ Close ]"; do
  grep -qF "$text" "$work/screen" || fail "the screen lacks $text"
done
header=$(grep -F "種別" "$work/screen")
expected=$(rule_columns "$header")
[ "$(echo "$expected" | wc -w)" -eq 4 ] || fail "the header has no four rules: $header"
for row in "署名用" "利用者証明用"; do
  line=$(grep -F "$row" "$work/screen")
  [ "$(rule_columns "$line")" = "$expected" ] || fail "rules of the $row row are not aligned"
done
# Plain c and Alt+Shift+C leave the window up; Alt+C closes it.
tmux -L "$socket" send-keys -t check c M-C
sleep 0.3
[ ! -e "$work/result" ] || fail "c or Alt+Shift+C ended the loop"
leave_with "close button" M-c

start
leave_with "close button" Enter
start
leave_with "close button" Space
start
leave_with "windowWillClose" Escape
start
leave_with "windowWillClose" C-w
echo "terminal backend OK"
