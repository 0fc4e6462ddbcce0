#!/usr/bin/env bash
# The simulated profile reader against Wine's, over every file of the INF
# corpus and the edge cases of tests/wine/profile-cases, each read made at
# every capacity from 1 to 16 and at 50, 100, 200 and 10000 (the conformance
# probe's --profiles): the two outputs must be the same except for the files
# listed, with the reason, in tests/wine/profile-differences.txt. Exit 77 (a
# CTest skip) without the corpus.
#   profile_reader.sh LINUX_PROBE WINDOWS_PROBE_EXE
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
sim_probe=$1 wine_probe=$2
corpus=$(cd "$here/../../../shared/inf-corpus" 2>/dev/null && pwd) || { echo "SKIPPED: INF corpus not found beside the project"; exit 77; }
[ -x "$sim_probe" ] && [ -f "$wine_probe" ] || fail "build the linux and win64 presets first ($sim_probe, $wine_probe)"
start_wine

{ find "$corpus" -type f ! -name '*.tsv' ! -name README.md; find "$here/profile-cases" -type f; } | sort |
  while read -r f; do winpath "$f"; printf '\n'; done > "$WORK/list.txt"
log "$(wc -l < "$WORK/list.txt") files"

SETUP_SIM_ECHO=0 SETUP_MACHINE="" XDG_STATE_HOME="$WORK/state" "$sim_probe" --profiles "$(winpath "$WORK/list.txt")" > "$WORK/sim.txt"
wine_run "$wine_probe" --profiles "$(winpath "$WORK/list.txt")" 2>/dev/null | tr -d '\r' > "$WORK/wine.txt"

# The files whose reads differ, each with its first differing read.
python3 - "$WORK/sim.txt" "$WORK/wine.txt" <<'PY' | check_listed "$here/profile-differences.txt"
import re, sys
def blocks(path):  # the reads of each file ("== NAME" and its lines), by name
    files = ('\n' + open(path, encoding='latin-1').read()).split('\n== ')[1:]
    return {f.split('\n', 1)[0]: f.rstrip('\n').split('\n')[1:] for f in files}
sim, wine = blocks(sys.argv[1]), blocks(sys.argv[2])
short = lambda path: re.sub(r'^.*?/(inf-corpus|profile-cases)/', r'\1/', path.replace('\\', '/'))
if set(sim) != set(wine):
    sys.exit('FAIL: the two runs read different files')
# A quoted value longer than the buffer is one known difference wherever it
# occurs: the simulation gives the value (read whole at 10000) cut to the
# capacity less one, Wine one byte less. Such lines do not make a file differ.
read = re.compile(r'  value (.*) cap=(\d+) ret=(\d+) ?(.*)$')
bytes_of = lambda t: re.sub(r'\\x([0-9A-F]{2})', lambda m: chr(int(m.group(1), 16)), t)
quoted_cuts = 0
def same(a, b):
    global quoted_cuts
    if len(a) != len(b): return False
    whole = {m.group(1): bytes_of(m.group(4)) for m in map(read.match, a) if m and m.group(2) == '10000'}
    for x, y in zip(a, b):
        if x == y: continue
        m, k = read.match(x), read.match(y)
        if not (m and k and m.group(1) == k.group(1) and m.group(1) in whole): return False
        v, cap = whole[m.group(1)], int(m.group(2))
        if not (len(v) >= cap - 1 and bytes_of(m.group(4)) == v[:cap - 1] and bytes_of(k.group(4)) == v[:cap - 2]):
            return False
        quoted_cuts += 1
    return True
differing = {}
for n in sim:
    if not same(sim[n], wine[n]):
        a, b = next((x, y) for x, y in zip(sim[n] + ['(end)'] * 5, wine[n] + ['(end)'] * 5) if x != y)
        differing.setdefault(short(n), ['sim:  ' + a[:300], 'wine: ' + b[:300]])
if quoted_cuts: differing['(quoted values cut)'] = []
for name, lines in sorted(differing.items()):
    print('\t'.join([name, ''] + [l.replace('\t', ' ') for l in lines]))
print('%d files compared, %d reads of a quoted value cut' % (len(sim), quoted_cuts), file=sys.stderr)
PY
