#!/usr/bin/env bash
# The README's first command, examples/run, with the programs of this build:
# each of its three stories must end as the program is meant to, and say so.
#   example_run_test.sh EXAMPLES_RUN BUILD_DIR
set -euo pipefail
out=$("$1" --build "$2" 2>&1) || { echo "$out"; echo "FAIL: examples/run exited $?"; exit 1; }
fail() {
  echo "$out"
  echo "FAIL: $1"
  exit 1
}
# The lines of story N, from its heading to the next.
story() { awk -v n="== $1." 'index($0, n) == 1 { on = 1; print; next } /^== / { on = 0 } on' <<<"$out"; }
has() { grep -qxF -- "$2" <<<"$1" || fail "story lacks the line: $2"; }
lacks() { ! grep -qF -- "$2" <<<"$1" || fail "story has what it must not: $2"; }

sensor='device USB\VID_FEED&PID_5E50\0004'
installed="$sensor: present, driver oem0.inf [ExampleInstall]"
staged='staged C:\WINDOWS\INF\oem0.inf (with PNF)'
sys='file C:\WINDOWS\system32\drivers\exampledrv.sys'
dll='file C:\WINDOWS\system32\exampledrv.dll'

one=$(story 1)
has "$one" "  exit code 0: done (or staged)"
has "$one" "    - $sensor: present, no driver"
has "$one" "    + $installed"
has "$one" "    + $staged"
has "$one" "    + $sys"
has "$one" "    + $dll"

two=$(story 2)
has "$two" "  exit code 0: done (or staged)"
has "$two" "    + $staged"
has "$two" "    + $sys"
# Staging leaves the device alone until it is plugged in; then it gets the staged driver.
[ "$(grep -cF -- "$sensor" <<<"$two")" -ge 2 ] || fail "the plugged-in device is not shown"
before_plug=$(sed -n '/^\$ winsim plug/q;p' <<<"$two")
lacks "$before_plug" "$sensor:"
has "$two" "    - $sensor: not present, no driver"
has "$two" "    + $installed"

three=$(story 3)
has "$three" "  exit code 0: done (or staged)"
has "$three" "    - $installed"
has "$three" "    - $staged"
lacks "$three" "- $sys"
lacks "$three" "- $dll"

lacks "$out" "exit code 1"
work=$(sed -n 's/^  work: *\([^;]*\);.*/\1/p' <<<"$out")
[ -n "$work" ] && [ ! -e "$work" ] || fail "the temporary directory $work is left behind"
echo "PASS: examples/run"
