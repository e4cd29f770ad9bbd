# Shared by the scripts that drive a program on a real terminal inside a
# detached tmux session. Source it after setting `session` (the tmux session
# name); it provides $work (a scratch folder removed on exit), fail,
# wait_for and capture (the screen into $work/screen), and exits with 77
# (skipped) when tmux is missing.
export LC_ALL=C.UTF-8 LANG=C.UTF-8

if ! command -v tmux >/dev/null; then
  echo "tmux is not installed: the terminal cannot be driven (scripts/setup installs it)"
  exit 77
fi
work=$(mktemp -d)
socket="velk-$session-$$"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/screen" ] && cat "$work/screen" >&2
  exit 1
}

# Waits up to ten seconds for the shell test given as text to succeed.
wait_for() {
  for _ in $(seq 100); do
    if eval "$1"; then return 0; fi
    sleep 0.1
  done
  return 1
}

capture() { tmux -L "$socket" capture-pane -p -t "$session" > "$work/screen"; }
