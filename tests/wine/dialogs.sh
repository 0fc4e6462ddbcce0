#!/usr/bin/env bash
# The dialogs of setup.exe under Wine and a virtual display, driven as a
# person would with xdotool: keys and clicks. What the program passes to the
# platform is read back from Wine's relay log (SetDlgItemTextA, MessageBoxA:
# the exact bytes), what the user sees from screenshots.
#   dialogs.sh WIN64_BUILD_DIR [SCREENSHOT_DIR]
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
build=$(cd "$1" && pwd)
shots=${2:-}
setup="$build/setup.exe" PROBE="$build/conformance_probe.exe"
[ -f "$setup" ] && [ -f "$PROBE" ] || fail "build the win64 preset first"
start_wine fonts-wine fonts-wqy-microhei fonts-liberation xvfb xdotool x11-utils imagemagick
# Wine does not load its own fonts from /usr/share by itself here; without a
# window manager, windows must not be managed (or every hide waits 2 s).
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
# The dialogs' own fonts, in faces with Windows' metrics, so that the shots
# show Windows' layout: "System" (dialog 129) is Wine's copy of the System
# font (vgasys.fon, copied above: dialog base units 8x16, as on Windows);
# "Times New Roman" (dialog 103), which Wine lacks, becomes Liberation Serif,
# made to its metrics. Without this the help text is set in a wider sans face.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' /t REG_SZ /d 'Liberation Serif' /f \
  >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
  /d 'user32.SetDlgItemTextA;user32.MessageBoxA' /f >/dev/null 2>&1
timeout 20 wineserver -k || true
timeout 20 wineserver -w || true
start_display

package="$here/../../examples/package"
mkdir -p "$WORK/pkg" && cd "$WORK/pkg"
cp "$package"/* .
# A second INF file, after the first in the directory's order.
sed 's/"Example USB Sensor"/"Example USB Sensor, second model"/; s/11\/20\/2026,1.3.0.0/12\/01\/2026,1.3.1.0/' \
  exampledrv.inf > sensor2.inf

relay="$WORK/relay.log"
# Waits until the relay log holds a line matching the pattern.
wait_relay() { wait_for 10 grep -qF -- "$1" "$relay" || fail "the program did not pass $1 (see $relay)"; }
# Centre of a control of the main dialog from its rectangle in dialog units
# (x y cx cy) and the window's size: a 3-pixel frame and a 19-pixel caption
# around the client area.
click_control() {
  local win=$1 x=$2 y=$3 cx=$4 cy=$5 WIDTH HEIGHT X Y SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$win")"
  local px py
  px=$(awk -v w="$WIDTH" -v x="$x" -v cx="$cx" 'BEGIN { printf "%d", 3 + (x + cx / 2) * (w - 6) / 207 }')
  py=$(awk -v h="$HEIGHT" -v y="$y" -v cy="$cy" 'BEGIN { printf "%d", 22 + (y + cy / 2) * (h - 25) / 122 }')
  xdotool mousemove --window "$win" "$px" "$py" click 1
}
shot() { import -window "$1" "$WORK/$2.png"; }
# Two shots of the same region differ somewhere.
region_changed() {
  convert "$WORK/$1.png" -crop "$3" +repage "$WORK/crop-a.png"
  convert "$WORK/$2.png" -crop "$3" +repage "$WORK/crop-b.png"
  local diff
  diff=$(compare -metric AE "$WORK/crop-a.png" "$WORK/crop-b.png" null: 2>&1 || true)
  [ "${diff%% *}" != 0 ]
}

WINEDEBUG=-all,+relay timeout 120 wine "$setup" 2>"$relay" &
pid=$!
main=$(wait_window '^Setup V1\.31$' 30) || fail "the main dialog did not appear"
wait_relay '000003eb,'
wait_relay '"Example Devices\r\n    |__ Example USB Sensor\r\n        |__ 11/20/2026,1.3.0.0")'
sleep 0.5
shot "$main" main
log "ok: the main window shows the summary of the first INF file"

# Enter presses INSTALL. (Wine's update call succeeds without a device.)
xdotool key Return
box=$(wait_window '^DriverSetup$' 20) || fail "no message box after INSTALL"
wait_relay '"Driver install success!",'
wait_relay '"DriverSetup",00000040)'
xdotool key Return
sleep 0.5
log "ok: Enter presses INSTALL and a DriverSetup box follows"

# The second INF of the list: open the combo (its arrow), Down, Return.
click_control "$main" 181 19 12 12
sleep 0.3
xdotool key Down Return
wait_relay '|__ Example USB Sensor, second model\r\n        |__ 12/01/2026,1.3.1.0")'
log "ok: the list holds the second INF file, and picking it shows its summary"
sleep 0.3

# HELP, three times: the help dialog each time; the delete option after the
# first; the contact notice after the third.
shot "$main" before_help
for press in 1 2 3; do
  click_control "$main" 12 80 57 18
  help=$(wait_window '^Setup Program Overview $' 20) || fail "no help dialog at press $press"
  wait_relay '000003f4,'
  [ "$press" = 1 ] && wait_relay '"1.You should put all the drive files(sys,dll) in the same directory at first, then select the installation file *.inf before installing or uninstalling the driver.\r\n2.Run the '"'"'setup.exe'"'"' file'
  [ "$press" = 1 ] && { sleep 0.3; shot "$help" help; }
  xdotool key Escape
  for i in $(seq 50); do xdotool search --onlyvisible --name '^Setup Program Overview $' >/dev/null 2>&1 || break; sleep 0.1; done
  sleep 0.3
  if [ "$press" = 1 ]; then
    shot "$main" after_help
    region_changed before_help after_help 360x20+20+225 || fail "the delete option did not appear after the first HELP"
    log "ok: the first HELP shows the NT help text, and the delete option once it is closed"
  fi
done
notice=$(wait_window '^Setup$' 20) || fail "no contact notice after the third HELP"
wait_relay '"Welcome to contact us if you have some question. \nWebsite:   www.example.com\nEmail:     support@example.com",'
xdotool key Return
sleep 0.3
log "ok: the third HELP is followed by the contact notice"

xdotool key Escape
code=0; wait "$pid" || code=$?
[ "$code" = 2 ] || fail "Escape ended the program with $code, not 2"
log "ok: Escape ends the program with exit code 2"

# Chinese: with the user language 0x0804 Wine gives code page 936, and the
# program shows the Chinese texts (fonts of the prefix replaced by a CJK one):
# a silent run without an INF file shows its box even so, and exits with 1.
for font in SimSun 'MS Shell Dlg' Tahoma; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
done
# (0xD4 leads a double-byte character in code page 936.)
locale=$(LC_ALL=zh_CN.UTF-8 wine_calls GetUserDefaultLangID 'IsDBCSLeadByte 0xD4') && [[ $locale == *lang=0x804* ]] ||
  fail "with zh_CN Wine reports another language or code page: $locale"
mkdir -p "$WORK/empty" && cd "$WORK/empty"
: > "$relay"
env LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all,+relay timeout 60 wine "$setup" /S 2>"$relay" &
pid=$!
box=$(wait_window '^DriverSetup$' 30) || fail "no Chinese message box"
# "在当前目录下没有发现安装文件(*.inf)" in code page 936, with the warning icon
wait_relay '"\xd4\xda\xb5\xb1\xc7\xb0\xc4\xbf\xc2\xbc\xcf\xc2\xc3\xbb\xd3\xd0\xb7\xa2\xcf\xd6\xb0\xb2\xd7\xb0\xce\xc4\xbc\xfe(*.inf)",'
wait_relay '"DriverSetup",00000030)'
sleep 0.3
shot "$box" chinese_box
xdotool key Return
code=0; wait "$pid" || code=$?
[ "$code" = 1 ] || fail "the silent run without an INF exited $code"
log "ok: with language 0x0804 the program shows the Chinese text"

if [ -n "$shots" ]; then
  mkdir -p "$shots"
  cp "$WORK"/main.png "$WORK"/help.png "$WORK"/after_help.png "$WORK"/chinese_box.png "$shots/"
  log "screenshots in $shots"
fi
