# Shared by the scripts that show the reminder's desktop window on an X
# server without a screen. Source it with the script's arguments: it re-runs
# the script under xvfb-run when not already there (exits 77, skipped, when
# xvfb-run or xdotool is missing), and provides $work (a scratch folder removed
# on exit) holding a fresh home, write_history and wait_for_window.
export LC_ALL=C.UTF-8 LANG=C.UTF-8

if [ -z "${VELK_UNDER_XVFB:-}" ]; then
  for tool in xvfb-run xdotool; do
    if ! command -v "$tool" >/dev/null; then
      echo "$tool is not installed: no window can be shown (scripts/setup installs it)"
      exit 77
    fi
  done
  # Display numbers are looked for from one picked by the process id, so that
  # runs started at once (several builds' test suites) rarely race for one.
  # -noreset: by default the server resets whenever its last client leaves
  # (the desktop plugin's display check, each xdotool call) and refuses the
  # connections that come meanwhile, which Qt answers by ending the process.
  VELK_UNDER_XVFB=1 exec xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 800x480x24 -noreset" \
    "$0" "$@"
fi
unset WAYLAND_DISPLAY
# Under LeakSanitizer, what Qt leaves in the libraries below it is not ours.
# Whole allocation stacks (Qt has no frame pointers) let the suppressions
# name the Qt function that allocated.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan-qt.supp:fast_unwind_on_malloc=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_DATA_HOME/velk" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
history="$XDG_DATA_HOME/velk/velk.dc_list"

# A history with the reminder on: two certificates that expire within three
# months, one later and one already expired, recorded a month ago.
write_history() {
  local recorded
  recorded="$(date -d '30 days ago' '+%F') 10:00:00"
  {
    echo 1
    echo "S,1A2B,$(date -d '20 days' +%F),$recorded"
    echo "A,0080C3,$(date -d '75 days' +%F),$recorded"
    echo "S,0457,$(date -d '900 days' +%F),$recorded"
    echo "A,0999,$(date -d '10 days ago' +%F),$recorded"
  } >"$history"
}

# Prints the id of the reminder's window once it is mapped, and gives it the
# keyboard focus unless the second argument is "nofocus"; fails when process
# PID ends first, or after thirty seconds (a loaded machine and a sanitizer
# build start Qt slowly).
wait_for_window() {
  local window
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '証明書の有効期限のお知らせ' 2>/dev/null | head -1)
    if [ -n "$window" ]; then
      [ "${2:-}" = nofocus ] || xdotool windowfocus --sync "$window"
      echo "$window"
      return 0
    fi
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  echo "FAIL: no reminder window was mapped" >&2
  return 1
}

# Waits up to fifteen seconds for the reminder PID to end after WHAT closed
# its window, and fails unless it ended well and the history written by
# write_history has lost exactly the shown and the expired certificates.
expect_closed() {
  for _ in $(seq 150); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$1" 2>/dev/null; then
    kill "$1"
    echo "FAIL: $2 left the window up" >&2
    return 1
  fi
  wait "$1" || { echo "FAIL: velk-host remind failed" >&2; cat "$work/err" >&2; return 1; }
  local expected="1
S,0457,$(date -d '900 days' +%F),$(date -d '30 days ago' +%F) 10:00:00"
  if [ "$(cat "$history")" != "$expected" ]; then
    echo "FAIL: the history afterwards is" >&2
    cat "$history" >&2
    return 1
  fi
}
