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

tmux -L "$socket" new-session -d -s ui -x 100 -y 40 \
  "cd '$work/package' && env LANG=C.UTF-8 LC_ALL=C.UTF-8 TERM=xterm-256color SETUP_MACHINE='$work/machine' '$setup'; echo \$? > '$work/exit'; sleep 60"
screen() { tmux -L "$socket" capture-pane -p -t ui; }
keys() { tmux -L "$socket" send-keys -t ui "$@"; }
fail() {
  echo "FAIL: $1"
  echo "---- screen ----"
  screen || true
  exit 1
}
wait_for() {  # TEXT...: until the screen shows each, 5 s at most
  for text in "$@"; do
    for _ in $(seq 1 100); do
      screen | grep -qF -- "$text" && continue 2
      sleep 0.05
    done
    fail "the screen did not come to show: $text"
  done
}

# The main dialog as its template draws it, the first file's summary, the option hidden.
wait_for "Setup V1.31" "Device Driver Install / UnInstall" "Select INF File :" "[exampledrv.inf" "< INSTALL >" \
  "[ UNINSTALL ]" "[ ? HELP ]" "EXAMPLE DEVICES" "|__ EXAMPLE USB SENSOR" "dialog 129 | focus: none"
if screen | grep -qF "Delete the driver files"; then fail "the hidden option is drawn"; fi

# Tab and Enter press INSTALL: the result box, in the user's language, takes
# the keys until Enter closes it (or the tabs below would not reach HELP).
keys Tab
wait_for "focus: 1001 INSTALL"
keys Enter
wait_for "驱动安装成功!" "message box open" "installed driver oem0.inf [ExampleInstall]"
keys Enter

# Space on HELP opens the help on top, with the Chinese text and the focus on its first control.
keys Tab Tab Tab
wait_for "focus: 1009 ? HELP"
keys Space
wait_for "Setup Program Overview" "1.安装或卸载前,先从组合框内选择驱动安装文件*.INF" "dialog 103 | focus: 65535"

# Esc closes it and the option appears; Shift+Tab reaches it and Space ticks it.
keys Escape
wait_for "[ ] !! Delete the driver files when uninstall the device."
keys BTab
wait_for "focus: 1004 !! Delete"
keys Space
wait_for "[x] !! Delete the driver files"

# Three tab stops on is UNINSTALL; Up twice from there reaches the combo box, and Down selects
# the next file, whose summary replaces the first.
keys Tab Tab Tab Up Up
wait_for "focus: 1000 exampledrv.inf"
keys Down
wait_for "[zeta.inf" "SECOND MAKER" "|__ SECOND SENSOR"

# Esc ends the dialog, and the program exits with 2.
keys Escape
for _ in $(seq 1 100); do [ -s "$work/exit" ] && break; sleep 0.05; done
[ "$(cat "$work/exit" 2>/dev/null)" = 2 ] || fail "the program did not end with 2"
echo "PASS: the program's dialogs on the terminal under tmux"
