#!/usr/bin/env bash
# The real program on the terminal front end under tmux: no arguments, two INF
# files, the example sensor plugged in, a Chinese-speaking user; keys sent as a
# user types them, the screen read back. Skips (77) without tmux.
#   terminal_ui_test.sh PATH/TO/setup PATH/TO/winsim
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
setup="$1" winsim="$2"
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

# The example package, and a second INF of other texts that the search lists after it.
mkdir "$work/package"
cp "$here/../../examples/package/"* "$work/package/"
sed -e 's/^MfgName .*/MfgName = "Second Maker"/' -e 's/^DeviceDesc .*/DeviceDesc = "Second Sensor"/' \
  "$work/package/exampledrv.inf" > "$work/package/zeta.inf"
"$winsim" new "$work/machine" --lang 0x0804 >/dev/null
"$winsim" add-device "$work/machine" --hwid 'USB\VID_FEED&PID_5E50&REV_0100' --hwid 'USB\VID_FEED&PID_5E50' >/dev/null

session=ui
tmux -L "$socket" new-session -d -s "$session" -x 100 -y 40 \
  "cd '$work/package' && env LANG=C.UTF-8 LC_ALL=C.UTF-8 TERM=xterm-256color SETUP_MACHINE='$work/machine' '$setup'; echo \$? > '$work/exit'; sleep 60"
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

# The main dialog as its template draws it, the first file's summary, the option hidden.
wait_for "Setup V1.31"
for text in "Device Driver Install / UnInstall" "Select INF File :" "[exampledrv.inf" "< INSTALL >" "[ UNINSTALL ]" \
            "[ ? HELP ]" "EXAMPLE DEVICES" "|__ EXAMPLE USB SENSOR" "dialog 129 | focus: none"; do
  wait_for "$text"
done
absent "Delete the driver files"

# Tab and Enter press INSTALL: the result box, in the user's language, stays on top until Enter.
keys Tab
wait_for "focus: 1001 INSTALL"
keys Enter
wait_for "驱动安装成功!"
wait_for "message box open"
wait_for "installed driver oem0.inf [ExampleInstall]"
keys Enter
wait_gone "驱动安装成功!"
wait_for "focus: 1001 INSTALL"

# Space on HELP opens the help on top, with the Chinese text; Enter leaves it open.
keys Tab Tab Tab
wait_for "focus: 1009 ? HELP"
keys Space
wait_for "Setup Program Overview"
wait_for "1.安装或卸载前,先从组合框内选择驱动安装文件*.INF"
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

# UNINSTALL, three tab stops on: the device is removed and its files deleted.
keys Tab Tab Tab
wait_for "focus: 1002 UNINSTALL"
keys Space
wait_for "驱动卸载成功!"
wait_for 'deleted C:\WINDOWS\system32\drivers\exampledrv.sys'
keys Enter
wait_gone "驱动卸载成功!"

# Up twice reaches the combo box, and Down selects the next file, whose summary replaces the first.
keys Up
wait_for "focus: 1001 INSTALL"
keys Up
wait_for "focus: 1000 exampledrv.inf"
keys Down
wait_for "[zeta.inf"
wait_for "SECOND MAKER"
wait_for "|__ SECOND SENSOR"

# Esc ends the dialog, and the program exits with 2.
keys Escape
for _ in $(seq 1 100); do
  [ -s "$work/exit" ] && break
  sleep 0.05
done
[ -s "$work/exit" ] || fail "the program did not end"
[ "$(cat "$work/exit")" = 2 ] || fail "exit code $(cat "$work/exit"), expected 2"
echo "PASS: the program's dialogs on the terminal under tmux"
