#!/usr/bin/env bash
# Silent runs of the Windows build against Wine's own setupapi and device
# tree, in a fresh prefix, asserting on the prefix's drive_c and exit codes.
#   silent.sh WIN64_BUILD_DIR LINUX_BUILD_DIR
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
build=$(cd "$1" && pwd)
linux=$(cd "$2" && pwd)
setup="$build/setup.exe" PROBE="$build/conformance_probe.exe"
[ -f "$setup" ] && [ -f "$PROBE" ] || fail "build the win64 preset first"
start_wine
drive="$WINEPREFIX/drive_c"
package="$here/../../examples/package"
hwid='USB\VID_FEED&PID_5E50'

# Wine's own INF files, to prove afterwards that nothing of theirs was touched.
wine_infs() { (cd "$drive/windows/inf" && ls | grep -iv '^exampledrv' | sort | xargs md5sum); }
wine_infs > "$WORK/wine-infs.before"

in_dir() { mkdir -p "$WORK/$1"; cd "$WORK/$1"; }

# The routes over the corpus's packages (an update, staging alone, Wine's
# update for an id no device has) are packages.sh's; these are the example
# package's own, and what needs Wine's own files. A silent run without an INF
# file, whose message box needs a display, is dialogs.sh's (in Chinese).

# 1. The 9x route, with Wine telling setup.exe that it runs on Windows 98:
#    the file queues copy the install section's files into system32\drivers
#    and system32, the INF is copied into C:\windows\inf and the driver index
#    file is deleted.
in_dir legacy
cp "$package"/* .
echo index > "$drive/windows/inf/drvidx.bin"
wine reg add 'HKCU\Software\Wine\AppDefaults\setup.exe' /v Version /t REG_SZ /d win98 /f >/dev/null 2>&1
code=0; wine_run "$setup" /S || code=$?
wine reg delete 'HKCU\Software\Wine\AppDefaults\setup.exe' /f >/dev/null 2>&1
[ "$code" = 0 ] || fail "/S on the 9x route exited $code"
cmp -s exampledrv.sys "$drive/windows/system32/drivers/exampledrv.sys" || fail "exampledrv.sys not in system32\\drivers"
cmp -s exampledrv.dll "$drive/windows/system32/exampledrv.dll" || fail "exampledrv.dll not in system32"
cmp -s exampledrv.inf "$drive/windows/inf/exampledrv.inf" || fail "the INF was not copied into C:\\windows\\inf"
[ ! -e "$drive/windows/inf/drvidx.bin" ] || fail "the driver index file is still there"
log "ok: the 9x route copies the files and the INF and deletes the driver index"
rm -f "$drive/windows/inf/exampledrv."* "$drive/windows/system32/drivers/exampledrv.sys" "$drive/windows/system32/exampledrv.dll"

# 2. /U of a device that carries the package's id. Wine's own devices come
#    back in the next process after a removal, so the device is a
#    root-enumerated one of the test's own, installed with /S first.
in_dir example
cp "$package"/* .
make_device '{88BAE032-5A81-49f0-BC3D-A4FF138216D6}' USBDevice "$hwid" || fail "could not make the test device"
has_device "$hwid" || fail "the test device $hwid is not listed"
touch "$WORK/before-install"
sleep 1
code=0; wine_run "$setup" /S || code=$?
[ "$code" = 0 ] || fail "/S for the present device exited $code"
# The same install on the simulated machine must land the same files. The one
# known difference: Windows (and the simulation) stage the INF as oemN.inf,
# Wine under its own name.
landed() {  # files added under a Windows directory since a marker, lower case, the staged INF named "<staged>"
  (cd "$1" && find . -maxdepth 3 -type f -cnewer "$2" | tr 'A-Z' 'a-z' |
    grep -E '^\./(inf|system32|system32/drivers)/[^/]+$' |
    sed -E 's#^\./inf/(oem[0-9]+|exampledrv)\.(inf|pnf)$#./inf/<staged>.\2#' | sort)
}
landed "$drive/windows" "$WORK/before-install" > "$WORK/landed.wine"
"$here/../../examples/machines/create" nt-present "$WORK/sim-machine" "$linux/winsim"
touch "$WORK/before-sim-install"
sleep 1
(SETUP_SIM_ECHO=0 SETUP_MACHINE="$WORK/sim-machine" "$linux/setup" /S) || fail "/S on the simulated machine failed"
landed "$WORK/sim-machine/drive_c/WINDOWS" "$WORK/before-sim-install" > "$WORK/landed.sim"
diff "$WORK/landed.sim" "$WORK/landed.wine" || fail "the simulated install and Wine's land different files"
for f in system32/drivers/exampledrv.sys system32/exampledrv.dll; do
  cmp -s "$drive/windows/$f" "$WORK/sim-machine/drive_c/WINDOWS/$f" || fail "$f differs between the simulation and Wine"
done
log "ok: the simulation and Wine land the same files: $(tr '\n' ' ' < "$WORK/landed.wine")"
ls "$drive/windows/inf/" | grep -qi '^exampledrv.inf$' || fail "no staged INF after the update"
code=0; wine_run "$setup" /U || code=$?
[ "$code" = 0 ] || fail "/U exited $code"
! has_device "$hwid" || fail "the device is still present after /U"
! ls "$drive/windows/inf/" | grep -qi '^exampledrv\.' || fail "the staged INF or PNF is still there"
wine_infs > "$WORK/wine-infs.after"
diff "$WORK/wine-infs.before" "$WORK/wine-infs.after" || fail "Wine's own INF files changed"
has_device 'root\winebus' || fail "Wine's own devices are gone"
log "ok: /U removes $hwid and the staged package; Wine's own INF files and devices are intact"

# 3. /U with no matching device fails.
code=0; wine_run "$setup" /U || code=$?
[ "$code" = 1 ] || fail "/U with no matching device exited $code"
log "ok: /U with no matching device exits 1"
