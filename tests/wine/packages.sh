#!/usr/bin/env bash
# Every driver package of the INF corpus, silently installed and uninstalled
# on the simulation and under Wine, compared package by package: exit codes,
# the route /S took, the files /S lands and /U removes, the device gone or not.
#   packages.sh LINUX_BUILD_DIR WIN64_BUILD_DIR [all|handful]
# LINUX_BUILD_DIR holds setup, winsim and preview; WIN64_BUILD_DIR setup.exe
# and conformance_probe.exe. A package is a directory holding the INF and every file
# it names (small made-up contents): Wine's file queue loops forever on a
# missing source file. A template's $ARCH$ is stamped amd64, as its build does.
# The device carries the first hardware id Windows reads from the INF (preview
# --device-id). Differences must be those listed, with their class, in
# packages-differences.txt. Exit 77 (a CTest skip) without the corpus.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
linux=$(cd "$1" && pwd) win=$(cd "$2" && pwd) mode=${3:-all}
corpus=$(cd "$here/../../../shared/inf-corpus" 2>/dev/null && pwd) || { echo "SKIPPED: INF corpus not found beside the project"; exit 77; }
PROBE=$win/conformance_probe.exe
for f in "$linux/setup" "$linux/winsim" "$linux/preview" "$win/setup.exe" "$PROBE"; do
  [ -f "$f" ] || fail "$f is missing: build the linux and win64 presets first"
done
# The handful the CTest runs: an update (the id reaches the device), a package
# staged only (the program's model scan names no section), a catalog named
# plainly and one named only with a decoration (Wine 8.0 reads only the plain
# key), Wine's update "succeeding" for an id no device has, and
# the 9x route (Wine told it is Windows 98, a 9x simulated machine).
handful="reactos/hdaudbus.inf reactos/cpu.inf lufa/AVRISP_mkII.inf universaladbdriver/android_winusb.inf
  reactos/ports.inf reactos/usbstor.inf@9x"
[ "$mode" = all ] || [ "$mode" = handful ] || fail "the mode is all or handful, not $mode"
start_wine

# The packages: name, directory, class and class GUID, a tab apart.
python3 - "$corpus" "$WORK/pkg" "$mode" "$handful" > "$WORK/packages.tsv" <<'PY'
import os, re, sys
corpus, out, mode, handful = sys.argv[1:]
fields = lambda text: [f.strip().strip('"').strip() for f in text.split(',')]
for entry in handful.split() if mode == 'handful' else sorted(os.path.relpath(os.path.join(d, f), corpus)
                                                              for d, _, fs in os.walk(corpus) for f in fs):
    name, sections, current = entry.split('@')[0], {}, None
    raw = open(os.path.join(corpus, name), 'rb').read()  # a template's $ARCH$ stamped as its amd64 build does
    raw = raw.replace(b'$ARCH$', b'amd64').replace('$ARCH$'.encode('utf-16-le'), 'amd64'.encode('utf-16-le'))
    text = raw[2:].decode('utf-16-le') if raw[:2] == b'\xff\xfe' else raw.decode('latin-1').lstrip('\xef\xbb\xbf')
    for line in text.splitlines():
        line = re.sub(r';[^"]*$', '', line).strip()
        if line.startswith('['): current = sections.setdefault(line[1:].split(']')[0].strip().lower(), [])
        elif line and current is not None: current.append([x.strip().strip('"') for x in line.partition('=')[::2]])
    if 'manufacturer' not in sections: continue
    strings = {k.lower(): v for s in sections if s.startswith('strings') for k, v in sections[s]}
    expand = lambda t: re.sub(r'%([^%]+)%', lambda m: strings.get(m.group(1).lower(), m.group(0)), t)
    files, places = set(), {''}
    for s, sec in sections.items():
        for k, v in sec:
            fs = fields(v or k)
            if k.lower() == 'copyinf': files.update(fs)
            if k.lower() == 'copyfiles':  # "@file" or copy sections: "destination[, source]" lines
                files.update(f[1:] for f in fs if f.startswith('@'))
                files.update((c[1:2] + c)[0] or c[0] for f in fs for x, y in sections.get(f.lower(), []) for c in [fields(x or y)])
            if s.startswith('sourcedisksfiles'): files.add(k); places.update(fs[1:2])
            if s.startswith('sourcedisksnames'): places.update(fs[3:4]); files.update(fs[1:2])
            if s == 'version' and k.lower().startswith('catalogfile'): files.add(v)
    pkg = os.path.join(out, entry.replace('/', '~'))
    os.makedirs(pkg)
    open(os.path.join(pkg, re.sub(r'\.(inx|inf\.in|txt)$', '.inf', os.path.basename(name))), 'wb').write(raw)
    for f in {expand(f).replace('\\', '/') for f in files if f}:  # in every place a source disk or path names
        for d in {os.path.normpath(os.path.join(pkg, expand(a + '/' + b).replace('\\', '/').lstrip('/')))
                  for a in places for b in places}:
            if d.startswith(pkg) and not os.path.exists(os.path.join(d, f)):
                os.makedirs(os.path.dirname(os.path.join(d, f)), exist_ok=True)
                open(os.path.join(d, f), 'w').write('%s of the %s test package\n' % (f, name))
    version = {k.lower(): expand(v) for k, v in sections.get('version', [])}
    print('\t'.join([entry, pkg, version.get('class', ''), version.get('classguid', '')]))
PY
log "$(wc -l < "$WORK/packages.tsv") packages with a [Manufacturer] section"

# One wineserver for the whole run (it would otherwise end and start again
# around every call); cleanup ends it.
timeout 10 wineserver -p
drive="$WINEPREFIX/drive_c"
# The files of the directories an install writes to: the name in lower case
# (Windows and Wine differ in case), the change time, the name as it is, the
# modification time and size (which restoring a file with cp -a keeps).
files_of() {
  (cd "$1" && find . -mindepth 2 -maxdepth 4 -type f \( -ipath './inf/*' -o -ipath './system32/*' \) -printf '%P\t%C@\t%T@ %s\n') |
    awk -F'\t' '{ l = tolower($1) } l ~ /^(inf|system32|system32\/drivers|system32\/catroot\/[^\/]+)\/[^\/]+$/ {
      print l "\t" $2 "\t" $1 "\t" $3 }' | LC_ALL=C sort
}
own() { cut -f1,3,4 "$1"; }  # what restoring Wine's own files is checked on
win_dir=$(cd "$drive" && ls -d [wW][iI][nN][dD][oO][wW][sS])
own <(files_of "$drive/$win_dir") > "$WORK/wine.baseline"
cp -a "$drive/$win_dir" "$WORK/pristine"
win98() { wine_run reg "$1" 'HKCU\Software\Wine\AppDefaults\setup.exe' "${@:2}" /f >/dev/null 2>&1; }

# One side's row of results from its file lists before /S, after /S and after
# /U: exit codes, route, files landed, files removed, device gone.
row() {
  printf '%s\t' "${name%@9x}" "$1" $s $u $route "$(LC_ALL=C comm -13 <(cut -f1,2 "$2") <(cut -f1,2 "$3") | cut -f1 | tr '\n' '|')" \
    "$(LC_ALL=C comm -23 <(cut -f1 "$3") <(cut -f1 "$4") | tr '\n' '|')" >> "$WORK/results.tsv"
  echo $gone >> "$WORK/results.tsv"
}
: > "$WORK/results.tsv"
while IFS=$'\t' read -r name pkg class guid; do
  id=$("$linux/preview" --device-id "$pkg" 2>/dev/null) || { log "skipped $name: the preview refuses it"; continue; }
  [ -n "$id" ] || { log "skipped $name: no hardware id"; continue; }
  family=nt; [[ $name == *@9x ]] && family=9x
  # The simulation: a fresh machine with the device present.
  m="$WORK/machine"; rm -rf "$m"
  "$linux/winsim" new "$m" --family $family >/dev/null && "$linux/winsim" add-device "$m" --hwid "$id" >/dev/null
  files_of "$m/drive_c/WINDOWS" > "$WORK/s0"
  s=0; (cd "$pkg" && SETUP_SIM_ECHO=0 SETUP_MACHINE="$m" "$linux/setup" /S) || s=$?
  files_of "$m/drive_c/WINDOWS" > "$WORK/s1"
  route=none; grep -q '"inf_staged"' "$m/transcript.jsonl" && route=staged
  grep -q '"via":"UpdateDriverForPlugAndPlayDevicesA"' "$m/transcript.jsonl" && route=update; [ $family = 9x ] && route=9x
  u=0; (cd "$pkg" && SETUP_SIM_ECHO=0 SETUP_MACHINE="$m" "$linux/setup" /U) || u=$?
  files_of "$m/drive_c/WINDOWS" > "$WORK/s2"
  gone=no; "$linux/winsim" show "$m" | grep -qiF "hardware ids: $id" || gone=yes
  row sim "$WORK/s0" "$WORK/s1" "$WORK/s2"
  # Wine: a root-enumerated device of the package's class carrying the id.
  [[ $guid =~ ^\{[0-9A-Fa-f-]{36}\}$ ]] || { guid='{88BAE032-5A81-49f0-BC3D-A4FF138216D6}'; class=USBDevice; }
  make_device "$guid" "${class:-USBDevice}" "$id" || fail "$name: could not make the device $id"
  [ $family = 9x ] && win98 add /v Version /t REG_SZ /d win98
  cd "$pkg"
  files_of "$drive/$win_dir" > "$WORK/w0"
  s=0; wine_run "$win/setup.exe" /S || s=$?
  files_of "$drive/$win_dir" > "$WORK/w1"
  route=none; LC_ALL=C comm -13 <(cut -f1 "$WORK/w0") <(cut -f1 "$WORK/w1") | grep -q '^inf/.*\.inf$' && route=staged
  has_device "$id" driver && route=update; [ $family = 9x ] && route=9x
  u=0; wine_run "$win/setup.exe" /U || u=$?
  files_of "$drive/$win_dir" > "$WORK/w2"
  gone=yes; has_device "$id" && gone=no
  cd "$WORK"
  [ $family = 9x ] && win98 delete
  row wine "$WORK/w0" "$WORK/w1" "$WORK/w2"
  # Back to the prefix as it was: no fixture device, nothing the package
  # brought, Wine's own files as they were (restored, and said, when not).
  remove_device "$id" || log "$name: could not remove the device $id"
  files_of "$drive/$win_dir" > "$WORK/w3"
  LC_ALL=C join -t $'\t' -v 1 "$WORK/w3" "$WORK/wine.baseline" | cut -f3 | while read -r f; do rm -f "$drive/$win_dir/$f"; done
  LC_ALL=C comm -23 "$WORK/wine.baseline" <(own <(files_of "$drive/$win_dir")) | cut -f2 | while read -r f; do
    cp -a "$WORK/pristine/$f" "$drive/$win_dir/$f"; log "$name: Wine's own $f was changed; restored"
    echo "$name" >> "$WORK/touched"
  done
done < "$WORK/packages.tsv"
has_device 'root\winebus' || fail "Wine's own devices are gone"

# The table (on stderr), and the differences against the list of known ones.
python3 - "$WORK/results.tsv" "$WORK/touched" <<'PY' | check_listed "$here/packages-differences.txt" partial
import collections, os, re, sys
show = lambda text: print(text, file=sys.stderr)
rows = collections.defaultdict(dict)
for line in open(sys.argv[1]):
    name, side, s, u, route, landed, removed, gone = line.rstrip('\n').split('\t')
    stem = re.escape(re.sub(r'\.(inx|inf\.in|txt|inf)$', '', os.path.basename(name)).lower())
    norm = lambda files: {re.sub(r'^system32/catroot/[^/]+/[^/]+$', 'catroot/<staged>.cat',  # staged under any name
                                 re.sub(r'^inf/(oem\d+|%s)\.(inf|pnf)$' % stem, r'inf/<staged>.\2', f))
                          for f in files.split('|') if f}
    rows[name][side] = dict(S=s, U=u, route=route, landed=norm(landed), removed=norm(removed), gone=gone)
touched = set(open(sys.argv[2]).read().splitlines()) if os.path.exists(sys.argv[2]) else set()
def kind(a, b):  # the class of a difference
    nocat = lambda r: {k: {f for f in v if not f.startswith('catroot/')} if isinstance(v, set) else v for k, v in r.items()}
    if a == b: return 'identical'
    if nocat(a) == nocat(b): return 'catalog'
    if a['route'] == 'staged' and b['route'] == 'none' and a['S'] == b['S'] == '0':
        return 'wine-update-no-device'  # Wine's update "succeeds" for an id no device has
    return 'route' if a['route'] != b['route'] else 'other'
fmt = '%-44s %-5s %-5s %-15s %-7s %-7s %-7s %s'
show(fmt % ('package (sim, then wine)', '/S', '/U', 'route', 'landed', 'removed', 'gone', 'class'))
count = collections.Counter()
for name, r in sorted(rows.items()):
    a, b = r['sim'], r['wine']
    k = kind(a, b)
    count[k] += 1
    pair = lambda key, f=str: '%s %s' % (f(a[key]), f(b[key]))
    show(fmt % (name, pair('S'), pair('U'), pair('route'), pair('landed', len), pair('removed', len), pair('gone'), k))
    for key in ('landed', 'removed'):
        for side, only in (('sim', a[key] - b[key]), ('wine', b[key] - a[key])):
            if only: show('    %s only on %s: %s' % (key, side, ' '.join(sorted(only))))
    if name in touched: show("    changed Wine's own files (restored)")
    print(name + '\t' + ('=' if k == 'identical' else k))
show('summary: %d packages, identical %d; differing: %s' % (len(rows), count.pop('identical', 0),
     ', '.join('%s %d' % kv for kv in sorted(count.items())) or 'none'))
PY
