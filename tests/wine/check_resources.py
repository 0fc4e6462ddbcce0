#!/usr/bin/python3
"""Reads the resources and imports of a built setup.exe back from the PE file
and checks them against the program's resource tables: classic dialog
templates with every style, rectangle, id, class, text, font and control
order; the two group icons; the version record; the manifest; language 0x0804
on every resource; imports of system libraries only. It also checks the file
is in the form it ships in: stripped, at most 64 KiB, and marked NX-compatible,
dynamic-base and terminal-server aware.

    check_resources.py SETUP_EXE
"""
import struct
import sys

try:
    import pefile
except ImportError:
    sys.exit('FAIL: python3-pefile is needed (Debian package python3-pefile)')

BUTTON, EDIT, STATIC, COMBOBOX = 0x80, 0x81, 0x82, 0x85

DIALOGS = {
    129: dict(style=0x80CA08C4, rect=(0, 0, 207, 122), caption='Setup V1.31', font=(12, 'System'), items=[
        (0xFFFF, BUTTON, 'Device Driver Install / UnInstall', 0x50000007, (7, 5, 194, 109)),
        (0xFFFF, STATIC, 'Select INF File :', 0x50020000, (13, 21, 56, 8)),
        (1000, COMBOBOX, '', 0x50200002, (73, 19, 122, 76)),
        (1001, BUTTON, 'INSTALL', 0x50010001, (12, 37, 57, 18)),
        (1002, BUTTON, 'UNINSTALL', 0x50010000, (12, 58, 57, 18)),
        (1003, EDIT, '', 0x5081088C, (73, 37, 122, 61)),
        (1004, BUTTON, '!! Delete the driver files when uninstall the device.', 0x40010003, (11, 102, 177, 8)),
        (1009, BUTTON, '? HELP', 0x50010000, (12, 80, 57, 18)),
    ]),
    103: dict(style=0x00C808C0, rect=(22, 17, 181, 144), caption='Setup Program Overview ',
              font=(12, 'Times New Roman'), items=[
        (0xFFFF, BUTTON, 'Setup program Overview ', 0x50000007, (3, 1, 173, 138)),
        (1012, STATIC, 'Static', 0x50020000, (6, 8, 167, 127)),
    ]),
}

SYSTEM_DLLS = {'kernel32.dll', 'user32.dll', 'setupapi.dll', 'cfgmgr32.dll', 'msvcrt.dll', 'advapi32.dll',
               'gdi32.dll', 'ntdll.dll'}

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def sz_or_ord(data, pos):
    """A name-or-ordinal field: 0 (none), 0xFFFF + ordinal, or a UTF-16 string."""
    (first,) = struct.unpack_from('<H', data, pos)
    if first == 0:
        return None, pos + 2
    if first == 0xFFFF:
        return ('ord', struct.unpack_from('<H', data, pos + 2)[0]), pos + 4
    end = pos
    while struct.unpack_from('<H', data, end)[0] != 0:
        end += 2
    return data[pos:end].decode('utf-16-le'), end + 2


def text(data, pos):
    value, pos = sz_or_ord(data, pos)
    return ('' if value is None else value), pos


def check_dialog(number, data):
    """The template field by field against the table: header, then each control
    in order (no extended styles, no creation data)."""
    want = DIALOGS[number]
    name = 'dialog %d' % number
    if struct.unpack_from('<I', data, 0)[0] == 0xFFFF0001:
        check(False, name + ' is an extended template (DIALOGEX)')
        return
    style, exstyle, count, x, y, cx, cy = struct.unpack_from('<IIHhhhh', data, 0)
    menu, pos = sz_or_ord(data, 18)
    cls, pos = sz_or_ord(data, pos)
    caption, pos = text(data, pos)
    (points,) = struct.unpack_from('<H', data, pos)
    face, pos = text(data, pos + 2)
    got = (hex(style), exstyle, (x, y, cx, cy), count, menu, cls, caption, (points, face))
    expected = (hex(want['style']), 0, want['rect'], len(want['items']), None, None, want['caption'], want['font'])
    check(got == expected, '%s: (style, extended style, rectangle, controls, menu, class, caption, font) %r, expected %r'
          % (name, got, expected))
    for index, (wid, wclass, wtext, wstyle, wrect) in enumerate(want['items']):
        pos = (pos + 3) & ~3
        if pos + 18 > len(data):
            check(False, '%s control %d missing' % (name, index))
            return
        istyle, iex, ix, iy, icx, icy, iid = struct.unpack_from('<IIhhhhH', data, pos)
        iclass, p = sz_or_ord(data, pos + 18)
        ititle, p = text(data, p)
        (extra,) = struct.unpack_from('<H', data, p)
        pos = p + 2 + extra
        got = (iid, iclass, ititle, hex(istyle), iex, (ix, iy, icx, icy), extra)
        expected = (wid, ('ord', wclass), wtext, hex(wstyle), 0, wrect, 0)
        check(got == expected, '%s control %d: (id, class, text, style, extended style, rectangle, creation data) %r, '
              'expected %r' % (name, index, got, expected))


def check_icons(pe, groups, icons):
    check(sorted(groups) == [107, 108], 'group icons %s, expected 107 and 108' % sorted(groups))
    for number, size in ((107, 32), (108, 16)):
        if number not in groups:
            continue
        _, kind, count = struct.unpack_from('<HHH', groups[number], 0)
        width, height, colours, _, _, bits, _, icon_id = struct.unpack_from('<BBBBHHIH', groups[number], 6)
        got, expected = (kind, count, width, height, colours, bits), (1, 1, size, size, 16, 4)
        check(got == expected, 'group icon %d: (type, images, width, height, colours, bits) %r, expected %r'
              % (number, got, expected))
        image = icons.get(icon_id)
        check(image is not None, 'group icon %d names a missing icon %d' % (number, icon_id))
        if image:
            header = struct.unpack_from('<IiiHH', image, 0)
            check(header[1:] == (size, 2 * size, 1, 4), 'icon %d bitmap header %s' % (icon_id, header))


def check_version(pe):
    fixed = pe.VS_FIXEDFILEINFO[0]
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x00010003, 0), 'file version is not 1.3.0.0')
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x00010003, 0), 'product version is not 1.3.0.0')
    tables = []
    translations = []
    for info in pe.FileInfo[0]:
        if info.Key == b'StringFileInfo':
            tables += info.StringTable
        elif info.Key == b'VarFileInfo':
            for var in info.Var:
                translations += list(var.entry.values())
    check([t.LangID for t in tables] == [b'080404B0'], 'string blocks %s' % [t.LangID for t in tables])
    given = {k.decode(): v.decode() for t in tables for k, v in t.entries.items() if v}  # every other string empty
    check(given == {'FileVersion': '1, 3, 0, 0', 'ProductVersion': '1.30'}, 'version strings %r' % given)
    check(translations == ['0x0804 0x04b0'], 'translation %s' % translations)


SHIPPED_MAX_BYTES = 64 * 1024
DLL_CHARACTERISTICS = {'DYNAMIC_BASE': 0x0040, 'NX_COMPAT': 0x0100, 'TERMINAL_SERVER_AWARE': 0x8000}


def check_shipped_form(pe, size):
    check(size <= SHIPPED_MAX_BYTES, 'the file has %d bytes, more than %d' % (size, SHIPPED_MAX_BYTES))
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    for name, bit in DLL_CHARACTERISTICS.items():
        check(flags & bit, 'not marked %s (DllCharacteristics 0x%04X)' % (name, flags))
    check(pe.FILE_HEADER.PointerToSymbolTable == 0 and pe.FILE_HEADER.NumberOfSymbols == 0,
          'not stripped: it has a symbol table')
    debug = [s.Name.rstrip(b'\0').decode() for s in pe.sections if s.Name.startswith(b'.debug') or s.Name.startswith(b'/')]
    check(not debug, 'not stripped: it has the sections %s' % debug)


def main():
    pe = pefile.PE(sys.argv[1])
    check_shipped_form(pe, len(pe.__data__))
    groups, icons, manifest = {}, {}, None
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for entry in kind.directory.entries:
            for lang in entry.directory.entries:
                check(lang.id == 0x0804, 'resource type %s id %s has language 0x%04X' % (kind.id, entry.id, lang.id))
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                if kind.id == 5:
                    if entry.id in DIALOGS:
                        check_dialog(entry.id, data)
                    else:
                        check(False, 'unexpected dialog %s' % entry.id)
                elif kind.id == 14:
                    groups[entry.id] = data
                elif kind.id == 3:
                    icons[entry.id] = data
                elif kind.id == 24:
                    manifest = data.decode('utf-8')
    dialogs = {e.id for k in pe.DIRECTORY_ENTRY_RESOURCE.entries if k.id == 5 for e in k.directory.entries}
    check(dialogs == set(DIALOGS), 'dialogs %s' % sorted(dialogs))
    check_icons(pe, groups, icons)
    check_version(pe)
    check(manifest is not None, 'no manifest')
    if manifest:
        check('requireAdministrator' in manifest, 'the manifest does not ask for administrator rights')
        check(manifest.count('<supportedOS') >= 5, 'the manifest declares too few Windows versions')
        check('Common-Controls' not in manifest, 'the manifest asks for the visual styles')
    imports = sorted(entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT)
    for dll in imports:
        check(dll in SYSTEM_DLLS, 'imports %s, which is not a system library' % dll)
    check('newdev.dll' not in imports, 'newdev.dll must be loaded at run time, not imported')
    if failures:
        for f in failures:
            print('FAIL: ' + f)
        sys.exit(1)
    print('%s: resources and imports as expected (%s)' % (sys.argv[1], ', '.join(imports)))


main()
