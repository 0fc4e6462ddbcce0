# Shared by the Wine tests: packages, a fresh prefix of the test's own, and
# cleanup. Every wine call runs under a timeout: a missing source file makes
# Wine's file queue loop forever, and a dialog left open would block.
set -euo pipefail

WINE_TIMEOUT=${WINE_TIMEOUT:-60}

log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*"; }
fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }

# Installs the Debian packages given when any is missing (tests may run in
# parallel, so under a lock).
source "$(dirname "${BASH_SOURCE[0]}")/../../cmake/install_packages.sh"
need_packages() { (flock 9 && install_packages "$(basename "$0")" "the Wine tests" "$@") 9>/tmp/setup-tests-apt.lock; }

# What a Wine test starts with: Wine and the other packages it names, its
# directory and a prefix of its own.
start_wine() { need_packages wine wine64 "$@"; make_workdir; make_prefix; }

# A temporary directory for the test, removed at the end together with the
# prefix's wineserver.
make_workdir() {
  WORK=$(mktemp -d /tmp/setup-wine-XXXXXX)
  trap cleanup EXIT
}

cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    timeout 20 wineserver -k 2>/dev/null || true
  fi
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  if [ -n "${WORK:-}" ] && [ "${KEEP_WORK:-0}" != 1 ]; then rm -rf "$WORK"; fi
}

# A fresh 64-bit prefix in $WORK/prefix. No add-on installers, no debug
# output, no network.
make_prefix() {
  export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  log "creating the Wine prefix"
  timeout 180 wineboot -i >/dev/null 2>&1 || fail "wineboot -i did not finish"
  timeout 120 wineserver -w || true
}

# Runs a Windows program under Wine with a timeout; its exit code is returned.
# Standard input is not the caller's: a loop that reads its list from stdin
# would lose the rest of it to a program, or to the debugger Wine starts when
# one crashes.
wine_run() {
  local code=0
  timeout "$WINE_TIMEOUT" wine "$@" </dev/null || code=$?
  [ "$code" -ne 124 ] || fail "wine $* did not end within ${WINE_TIMEOUT}s"
  return "$code"
}

# The Windows form of a Linux path (drive Z: is the root).
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# A virtual display of the test's own (Xvfb picks a free display number).
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
  XVFB_PID=$!
  wait_for 5 test -s "$WORK/display" || fail "Xvfb did not start"
  export DISPLAY=":$(cat "$WORK/display")"
}

# Runs the command every 0.1 s until it succeeds, for at most SECONDS.
wait_for() {
  local end=$(($(date +%s) + $1))
  until "${@:2}"; do [ "$(date +%s)" -lt "$end" ] || return 1; sleep 0.1; done
}

# Waits until a visible top-level window whose name matches appears (within
# SECONDS, 20 by default); prints its id.
wait_window() { wait_for "${2:-20}" xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }

# Calls of Wine's platform made by the conformance probe, one case line each
# (tools/conformance_probe.cpp): prints the probe's lines and fails unless
# every call returned TRUE. PROBE is the probe's .exe.
wine_calls() {
  printf '%s\n' "$@" > "$WORK/calls.cases"
  local out
  out=$(wine_run "$PROBE" "$(winpath "$WORK")" "$(winpath "$WORK/calls.cases")" | tr -d '\r') || return 1
  printf '%s\n' "$out"
  [[ $out != *' -> FALSE'* ]]
}
# Whether Wine lists a device with the hardware id; given "driver", one with a
# driver key (property 9, SPDRP_DRIVER).
has_device() {
  wine_calls 'SetupDiGetClassDevsA present' "SetupDiEnumDeviceInfo \"$1\"" ${2:+'SetupDiGetDeviceRegistryPropertyA 9 512'} >/dev/null
}
# A root-enumerated device: class GUID, class, hardware ids joined by "|".
make_device() { wine_calls "create $1 \"$2\" \"$3\"" >/dev/null; }
remove_device() {
  wine_calls 'SetupDiGetClassDevsA all ROOT' "SetupDiEnumDeviceInfo \"$1\"" SetupDiCallClassInstaller >/dev/null
}

# Compares against a listing of known differences (lines "NAME<tab>REASON",
# "#" comments): fails on a difference it does not list, and on a name it
# lists that no longer differs. Reads a line per differing NAME on stdin,
# optionally followed by a tab and the difference's class (then REASON must
# begin "CLASS:"), and by tabs and the lines that show it when not listed.
# With "partial" the run compared only some of the listed names: a line
# "NAME<tab>=" gives one compared and found the same.
check_listed() {
  python3 -c '
import sys
listed = dict(l.rstrip("\n").partition("\t")[::2] for l in open(sys.argv[1], encoding="utf-8") if l.strip() and l[0] != "#")
lines = [(l.rstrip("\n") + "\t").split("\t") for l in sys.stdin]
differing = {name: (kind, detail) for name, kind, *detail in lines if kind != "="}
same = {name for name, kind, *_ in lines if kind == "="} if sys.argv[2:] == ["partial"] else set(listed) - set(differing)
bad = False
for name, (kind, detail) in sorted(differing.items()):
    if name in listed and listed[name].startswith(kind + ":" if kind else ""):
        print("known difference: %s (%s)" % (name, listed[name]))
        continue
    bad = True
    print("FAIL: differs from Wine and is not listed%s: %s" % (" as " + kind if kind else "", name))
    for line in filter(None, detail):
        print("  " + line)
for name in sorted(same & set(listed)):
    bad = True
    print("FAIL: listed as different but now the same: " + name)
sys.exit(1 if bad else 0)' "$@"
}
