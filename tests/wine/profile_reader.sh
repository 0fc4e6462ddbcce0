#!/usr/bin/env bash
# The simulated profile reader against Wine's, over every file of the INF
# corpus and the edge cases of tests/wine/profile-cases: the two outputs must
# be the same except for the files listed, with the reason, in
# tests/wine/profile-differences.txt.
#   profile_reader.sh LINUX_PROFILE_DUMP WINDOWS_PROFILE_DUMP_EXE
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
sim_dump=$1 wine_dump=$2
corpus=$(cd "$here/../../../shared/inf-corpus" 2>/dev/null && pwd) || { echo "SKIPPED: INF corpus not found beside the project"; exit 0; }
[ -x "$sim_dump" ] && [ -f "$wine_dump" ] || fail "build the linux and win64 presets first ($sim_dump, $wine_dump)"
need_packages wine wine64
make_workdir
make_prefix

{ find "$corpus" -type f ! -name '*.tsv' ! -name README.md; find "$here/profile-cases" -type f; } | sort |
  while read -r f; do winpath "$f"; printf '\n'; done > "$WORK/list.txt"
log "$(wc -l < "$WORK/list.txt") files"

SETUP_SIM_ECHO=0 SETUP_MACHINE="" XDG_STATE_HOME="$WORK/state" "$sim_dump" "$WORK/list.txt" > "$WORK/sim.txt"
wine_run "$wine_dump" "$(winpath "$WORK/list.txt")" 2>/dev/null | tr -d '\r' > "$WORK/wine.txt"

# The files whose reads differ.
python3 - "$WORK/sim.txt" "$WORK/wine.txt" "$here/profile-differences.txt" "$corpus" "$here/profile-cases" <<'PY'
import sys
def blocks(path):
    out, name = {}, None
    for line in open(path, encoding='latin-1'):
        if line.startswith('== '):
            name = line[3:].rstrip('\n')
            out[name] = []
        elif name:
            out[name].append(line)
    return out
sim, wine = blocks(sys.argv[1]), blocks(sys.argv[2])
listed = {}
for line in open(sys.argv[3], encoding='utf-8'):
    if line.strip() and not line.startswith('#'):
        name, _, reason = line.rstrip('\n').partition('\t')
        listed[name] = reason
def short(path):
    p = path.replace('\\', '/')
    for root, tag in ((sys.argv[4], 'inf-corpus'), (sys.argv[5], 'profile-cases')):
        r = 'Z:' + root
        if p.startswith(r + '/'):
            return tag + '/' + p[len(r) + 1:]
    return p
if set(sim) != set(wine):
    sys.exit('FAIL: the two runs read different files')
differing = {short(n) for n in sim if sim[n] != wine[n]}
bad = False
for name in sorted(differing - set(listed)):
    bad = True
    print('FAIL: differs from Wine and is not listed: ' + name)
    full = [n for n in sim if short(n) == name][0]
    for a, b in zip(sim[full] + ['(end)\n'] * 5, wine[full] + ['(end)\n'] * 5):
        if a != b:
            print('  sim:  ' + a.rstrip()[:300]); print('  wine: ' + b.rstrip()[:300]); break
for name in sorted(set(listed) - differing):
    bad = True
    print('FAIL: listed as different but now the same: ' + name)
for name in sorted(differing & set(listed)):
    print('known difference: %s (%s)' % (name, listed[name]))
print('%d files compared, %d known differences' % (len(sim), len(differing)))
sys.exit(1 if bad else 0)
PY
