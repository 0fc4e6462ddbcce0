#!/usr/bin/env bash
# The terminal front end under tmux: the dialog program is started in a tmux
# pane, keys are sent as a user would type them, and the screen is read back
# with capture-pane. Skips (exit 77) where tmux is not installed.
#   terminal_ui_test.sh PATH/TO/dialog_probe
set -euo pipefail
probe="$1"
if ! command -v tmux >/dev/null 2>&1; then
  echo "SKIP: tmux is not installed, so the terminal dialogs cannot be driven (apt-get install tmux)"
  exit 77
fi

work=$(mktemp -d /tmp/setup-tmux-XXXXXX)
socket="setup-ui-$$"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

start() {  # NAME LANGUAGE
  tmux -L "$socket" new-session -d -s "$1" -x 100 -y 34 \
    "env LANG=C.UTF-8 LC_ALL=C.UTF-8 TERM=xterm-256color '$probe' --new-machine '$work/machine-$1' --language $2; echo \$? > '$work/exit-$1'; sleep 60"
  session="$1"
}
screen() { tmux -L "$socket" capture-pane -p -t "$session"; }
keys() { tmux -L "$socket" send-keys -t "$session" "$@"; }
fail() {
  echo "FAIL: $1"
  echo "---- screen ----"
  screen || true
  exit 1
}
wait_for() {  # TEXT: until the screen shows it (5 s at most)
  for _ in $(seq 1 100); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.05
  done
  fail "the screen never showed: $1"
}
wait_gone() {  # TEXT: until the screen no longer shows it
  for _ in $(seq 1 100); do
    screen | grep -qF -- "$1" || return 0
    sleep 0.05
  done
  fail "the screen still shows: $1"
}
absent() { if screen | grep -qF -- "$1"; then fail "the screen shows what it must not: $1"; fi; }
wait_exit() {  # NAME CODE
  for _ in $(seq 1 100); do
    [ -s "$work/exit-$1" ] && break
    sleep 0.05
  done
  [ -s "$work/exit-$1" ] || fail "the program did not end"
  [ "$(cat "$work/exit-$1")" = "$2" ] || fail "exit code $(cat "$work/exit-$1"), expected $2"
}

# English: the main dialog as its template draws it, the option still hidden.
start en 0x0409
wait_for "Setup V1.31"
for text in "Device Driver Install / UnInstall" "Select INF File :" "[alpha.inf" "< INSTALL >" "[ UNINSTALL ]" \
            "[ ? HELP ]" "PROBE SUMMARY" "dialog 129 | focus: none"; do
  wait_for "$text"
done
absent "Delete the driver files"

# Tab reaches INSTALL; Enter presses it; its box is on top until Enter closes it.
keys Tab
wait_for "focus: 1001 INSTALL"
keys Enter
wait_for "(i) Install pressed"
wait_for "message box open"
keys Enter
wait_gone "Install pressed"
wait_for "focus: 1001 INSTALL"

# On to HELP; Space opens the help dialog on top; Enter leaves it open.
keys Tab Tab Tab
wait_for "focus: 1009 ? HELP"
keys Space
wait_for "Setup Program Overview"
wait_for "1.You should put all the drive files(sys,dll) in the"
keys Enter
sleep 0.3
wait_for "dialog 103 | focus: 65535"

# Esc closes it and the option appears; Shift+Tab reaches it and Space ticks it.
keys Escape
wait_for "[ ] !! Delete the driver files when uninstall the device."
keys BTab
wait_for "focus: 1004 !! Delete"
keys Space
wait_for "[x] !! Delete the driver files"

# From INSTALL, Up reaches the combo box, and Down selects the next file.
keys Tab Tab
wait_for "focus: 1001 INSTALL"
keys Up
wait_for "focus: 1000 alpha.inf"
keys Down
wait_for "[beta.inf"
wait_for "SELECTED BETA.INF"

keys Escape
wait_exit en 2
tmux -L "$socket" kill-session -t en

# Chinese: the help text in code page 936 appears as UTF-8 on the terminal.
start zh 0x0804
wait_for "Setup V1.31"
keys Tab Tab Tab Tab
wait_for "focus: 1009 ? HELP"
keys Space
wait_for "1.安装或卸载前,先从组合框内选择驱动安装文件*.INF"
keys Escape
wait_for "[ ] !! Delete"
keys Escape
wait_exit zh 2

echo "PASS: terminal dialogs under tmux"
