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
wine_run() {
  local code=0
  timeout "$WINE_TIMEOUT" wine "$@" || code=$?
  [ "$code" -ne 124 ] || fail "wine $* did not end within ${WINE_TIMEOUT}s"
  return "$code"
}

# The Windows form of a Linux path (drive Z: is the root).
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# A virtual display of the test's own (Xvfb picks a free display number).
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
  XVFB_PID=$!
  local i
  for i in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
  [ -s "$WORK/display" ] || fail "Xvfb did not start"
  export DISPLAY=":$(cat "$WORK/display")"
}

# Waits until a visible top-level window whose name matches appears; prints its id.
wait_window() {
  local pattern=$1 seconds=${2:-20} end id
  end=$(($(date +%s) + seconds))
  while [ "$(date +%s)" -lt "$end" ]; do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
