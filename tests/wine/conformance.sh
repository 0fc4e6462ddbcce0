#!/usr/bin/env bash
# The simulation against Wine call by call: every case file of conformance/
# is run by the probe on a simulated machine and in a Wine prefix that hold
# the same fixture device, and the two outputs are compared case by case. A
# case that differs must be listed, with its reason and source, in
# conformance-differences.txt; a listed case that no longer differs fails too.
#   conformance.sh LINUX_PROBE WIN64_PROBE_EXE
# winsim is taken from beside the Linux probe. KEEP_WORK=1 keeps the outputs.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
sim_probe=$1 wine_probe=$2 PROBE=$2
winsim=$(dirname "$sim_probe")/winsim
[ -x "$sim_probe" ] && [ -x "$winsim" ] && [ -f "$wine_probe" ] ||
  fail "build the linux and win64 presets first ($sim_probe, $wine_probe)"
start_wine

# The fixture: a root-enumerated device with the ids of the example machine's
# sensor (examples/machines/create), made once; each case file then runs on a
# fresh copy of this prefix, as it runs on a fresh simulated machine.
wine_calls 'create {88BAE032-5A81-49f0-BC3D-A4FF138216D6} USBDevice USB\VID_FEED&PID_5E50&REV_0100|USB\VID_FEED&PID_5E50 USB\Class_FF&SubClass_00' >/dev/null ||
  fail "could not make the fixture device"
timeout 60 wineserver -w || true
pristine=$WINEPREFIX

for cases in "$here"/conformance/*.cases; do
  name=$(basename "$cases" .cases)
  "$here/../../examples/machines/create" nt-present "$WORK/machine-$name" "$winsim"
  mkdir -p "$WORK/sim/$name" "$WORK/win/$name"
  SETUP_SIM_ECHO=0 SETUP_MACHINE="$WORK/machine-$name" \
    "$sim_probe" "$(winpath "$WORK/sim/$name")" "$(winpath "$cases")" > "$WORK/$name.sim" ||
    fail "the probe failed on the simulation with $name.cases"
  cp -a "$pristine" "$WORK/prefix-run"
  export WINEPREFIX="$WORK/prefix-run"
  wine_run "$wine_probe" "$(winpath "$WORK/win/$name")" "$(winpath "$cases")" 2>/dev/null | tr -d '\r' > "$WORK/$name.wine" ||
    fail "the probe failed under Wine with $name.cases"
  timeout 20 wineserver -k 2>/dev/null || true
  timeout 20 wineserver -w 2>/dev/null || true
  rm -rf "$WORK/prefix-run"
  export WINEPREFIX=$pristine
  log "$name: $(grep -c ' -> ' "$WORK/$name.sim") calls"
done

# The cases that differ, with each line where they do.
python3 - "$WORK" <<'PY' | check_listed "$here/conformance-differences.txt"
import glob, os, sys
def cases(path, prefix):
    out = {}
    for line in open(path, encoding='latin-1'):
        out.setdefault(prefix + '/' + line.split(' ', 1)[0], []).append(line.rstrip('\n').replace('\t', ' '))
    return out
sim, wine = {}, {}
for path in sorted(glob.glob(sys.argv[1] + '/*.sim')):
    name = os.path.basename(path)[:-4]
    sim.update(cases(path, name))
    wine.update(cases(path[:-4] + '.wine', name))
for case in sorted(c for c in set(sim) | set(wine) if sim.get(c) != wine.get(c)):
    a, b = sim.get(case, []), wine.get(case, [])
    a, b = a + ['(end)'] * (len(b) - len(a)), b + ['(end)'] * (len(a) - len(b))
    print('\t'.join([case, ''] + [s for x, y in zip(a, b) if x != y for s in ('sim:  ' + x[:400], 'wine: ' + y[:400])]))
print('%d cases, %d calls compared' % (len(sim), sum(len(v) for v in sim.values())), file=sys.stderr)
PY
