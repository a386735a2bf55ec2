#!/usr/bin/env python3
"""Checks a built lumaforge.exe from the file itself: a GUI program for the
expected machine that imports nothing but system DLLs, whose menus (101 and
on, one per language) and accelerators 115 decode to exactly what the command
table gives in each language (the JSONs of `lumaforge-cli --list-commands`
that write_menu_rc.py kept in TABLES_DIR), whose
dialog 116 is the parameter dialog's template, and whose icon 104 holds the
32x32 and 16x16 16-colour images of shell/win32/app.ico.

usage: check_resources.py EXE {i686|x86_64} SOURCE_DIR TABLES_DIR
Prints what it checked; exits 1 on the first mismatch.
"""
import glob
import os
import struct
import sys

import write_menu_rc

RT_ICON, RT_MENU, RT_DIALOG, RT_ACCELERATOR, RT_GROUP_ICON = 3, 4, 5, 9, 14
MACHINES = {'i686': 0x14C, 'x86_64': 0x8664}
# DLLs every Windows system has; anything else would have to ship beside the program.
SYSTEM_DLLS = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'comctl32.dll', 'comdlg32.dll', 'msvcrt.dll',
               'advapi32.dll', 'shell32.dll', 'ole32.dll', 'oleaut32.dll', 'windowscodecs.dll'}


class Mismatch(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Mismatch(what)


class PeFile:
    def __init__(self, data):
        self.data = data
        expect(data[:2] == b'MZ', 'not an executable (no MZ header)')
        pe = struct.unpack_from('<I', data, 0x3C)[0]
        expect(data[pe:pe + 4] == b'PE\0\0', 'no PE signature')
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from('<HHIIIHH', data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from('<H', data, opt)[0]
        self.subsystem = struct.unpack_from('<H', data, opt + 68)[0]
        directories = opt + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from('<II', data, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            _, vsize, vaddr, rawsize, rawptr = struct.unpack_from('<8sIIII', data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for vaddr, size, rawptr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rawptr + rva - vaddr
        raise Mismatch('address 0x%x lies in no section' % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b'\0', start)].decode('ascii')

    def imported_dlls(self):
        rva, _ = self.directories[1]
        names, at = [], self.offset(rva)
        while True:
            entry = struct.unpack_from('<IIIII', self.data, at)
            if entry == (0, 0, 0, 0, 0):
                return names
            names.append(self.cstring(entry[3]))
            at += 20

    def resources(self):
        """{(type, id): bytes} for every resource, first language."""
        rva, _ = self.directories[2]
        base = self.offset(rva)

        def entries(directory):
            named, numbered = struct.unpack_from('<HH', self.data, base + directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from('<II', self.data, base + directory + 16 + 8 * i)
                yield name, target

        found = {}
        for type_id, type_dir in entries(0):
            for res_id, res_dir in entries(type_dir & 0x7FFFFFFF):
                _, leaf = next(entries(res_dir & 0x7FFFFFFF))
                data_rva, size = struct.unpack_from('<II', self.data, base + leaf)
                start = self.offset(data_rva)
                found[(type_id, res_id)] = self.data[start:start + size]
        return found


def utf16z(blob, at):
    """The NUL-terminated UTF-16 string at `at` and the offset after it."""
    end = at
    while blob[end:end + 2] != b'\0\0':
        end += 2
    return blob[at:end].decode('utf-16-le'), end + 2


def decode_menu(number, blob):
    """The menu as the lines of its resource script."""
    version, header = struct.unpack_from('<HH', blob, 0)
    expect(version == 0, 'menu %d is not a standard menu template' % number)
    at = 4 + header
    lines = ['%d MENU' % number, 'BEGIN']

    def items(at, depth):
        while True:
            flags = struct.unpack_from('<H', blob, at)[0]
            at += 2
            pad = '    ' * depth
            if flags & 0x10:
                text, at = utf16z(blob, at)
                lines.extend([pad + 'POPUP ' + write_menu_rc.rc_string(text), pad + 'BEGIN'])
                at = items(at, depth + 1)
                lines.append(pad + 'END')
            else:
                command = struct.unpack_from('<H', blob, at)[0]
                text, at = utf16z(blob, at + 2)
                if command == 0 and text == '' and (flags & ~0x80) == 0:
                    lines.append(pad + 'MENUITEM SEPARATOR')
                else:
                    # A check mark (MF_CHECKED) is the one state an item may carry.
                    expect((flags & ~0x88) == 0, 'menu item %d carries flags 0x%x' % (command, flags))
                    lines.append(pad + 'MENUITEM %s, %d%s' % (write_menu_rc.rc_string(text), command,
                                                              ', CHECKED' if flags & 0x08 else ''))
            if flags & 0x80:
                return at

    items(at, 1)
    lines.append('END')
    return lines


def decode_accelerators(blob):
    lines = ['115 ACCELERATORS', 'BEGIN']
    for at in range(0, len(blob), 8):
        flags, key, command, _ = struct.unpack_from('<HHHH', blob, at)
        expect(flags & 0x03 == 0x03, 'accelerator %d is not a virtual key without inversion' % command)
        modifiers = [name for bit, name in ((0x08, 'CONTROL'), (0x10, 'ALT'), (0x04, 'SHIFT')) if flags & bit]
        lines.append('    ' + ', '.join(['0x%X' % key, str(command), 'VIRTKEY'] + modifiers + ['NOINVERT']))
        if flags & 0x80:
            expect(at + 8 == len(blob), 'accelerator table ends before its last entry')
    lines.append('END')
    return lines


WS_CHILD, WS_VISIBLE, WS_DISABLED, WS_TABSTOP = 0x40000000, 0x10000000, 0x08000000, 0x00010000
WS_CAPTION, WS_SYSMENU = 0x00C00000, 0x00080000
DS_SETFONT, DS_MODALFRAME, DS_CENTER = 0x40, 0x80, 0x800
WS_EX_CONTROLPARENT, WS_EX_STATICEDGE = 0x10000, 0x20000
BS_DEFPUSHBUTTON, ES_CENTER, ES_READONLY = 0x1, 0x1, 0x800
TBS_AUTOTICKS = 0x1  # TBS_HORZ and TBS_BOTTOM are 0
FIELD = WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP | ES_CENTER | ES_READONLY
BUTTON, EDIT = 0x80, 0x81

# id, class, text, x, y, width, height, style: the template's six controls in tab order.
DIALOG_CONTROLS = [
    (1, BUTTON, 'OK', 165, 53, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON),
    (1000, 'msctls_trackbar32', 'Slider1', 13, 22, 195, 19, WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_AUTOTICKS),
    (1001, EDIT, '', 80, 10, 61, 12, FIELD),
    (2, BUTTON, 'Отмена', 88, 53, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP),
    (1002, EDIT, '', 7, 10, 28, 12, FIELD),
    (1003, EDIT, '', 187, 10, 28, 12, FIELD),
]


def sz_or_ordinal(blob, at):
    if struct.unpack_from('<H', blob, at)[0] == 0xFFFF:
        return struct.unpack_from('<H', blob, at + 2)[0], at + 4
    return utf16z(blob, at)


def check_dialog(blob):
    version, signature, _, ex_style, style, count, x, y, cx, cy = struct.unpack_from('<HHIIIHhhhh', blob, 0)
    expect((version, signature) == (1, 0xFFFF), 'dialog 116 is not an extended template')
    expect(style == DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_CAPTION | WS_SYSMENU,
           'dialog 116 style 0x%x' % style)
    expect(ex_style == WS_EX_CONTROLPARENT | WS_EX_STATICEDGE, 'dialog 116 extended style 0x%x' % ex_style)
    expect((x, y, cx, cy) == (0, 0, 221, 74), 'dialog 116 is %dx%d at %d,%d' % (cx, cy, x, y))
    at = 26
    menu, at = sz_or_ordinal(blob, at)
    window_class, at = sz_or_ordinal(blob, at)
    title, at = utf16z(blob, at)
    expect(menu in (0, '') and window_class in (0, ''), 'dialog 116 names a menu or class')
    expect(title == 'Dialog', 'dialog 116 caption %r' % title)
    points, weight, italic, charset = struct.unpack_from('<HHBB', blob, at)
    font, at = utf16z(blob, at + 6)
    expect((points, font) == (8, 'MS Sans Serif'), 'dialog 116 font %r %d' % (font, points))
    expect(count == len(DIALOG_CONTROLS), 'dialog 116 has %d controls' % count)
    for expected in DIALOG_CONTROLS:
        at = (at + 3) & ~3
        _, ex, style, x, y, cx, cy, control_id = struct.unpack_from('<IIIhhhhI', blob, at)
        control_class, at = sz_or_ordinal(blob, at + 24)
        # Window class names are case-insensitive (the resource compiler
        # writes them in capitals); BUTTON and EDIT may also be ordinals.
        if isinstance(control_class, str):
            control_class = {'BUTTON': BUTTON, 'EDIT': EDIT}.get(control_class.upper(), control_class.lower())
        text, at = sz_or_ordinal(blob, at)
        extra = struct.unpack_from('<H', blob, at)[0]
        at += 2 + extra
        got = (control_id, control_class, text, x, y, cx, cy, style)
        expect(got == expected, 'dialog 116 control %r, expected %r' % (got, expected))


def check_icon(resources, ico_path):
    group = resources[(RT_GROUP_ICON, 104)]
    reserved, kind, count = struct.unpack_from('<HHH', group, 0)
    expect((reserved, kind) == (0, 1), 'icon 104 is not an icon group')
    with open(ico_path, 'rb') as f:
        ico = f.read()
    sizes = []
    for i in range(count):
        w, h, colours, _, planes, bits, size, icon_id = struct.unpack_from('<BBBBHHIH', group, 6 + 14 * i)
        expect((colours, bits) == (16, 4), 'icon 104 image %dx%d has %d colours' % (w, h, colours))
        image = resources[(RT_ICON, icon_id)]
        _, _, _, _, _, _, ico_size, ico_offset = struct.unpack_from('<BBBBHHII', ico, 6 + 16 * i)
        expect(image == ico[ico_offset:ico_offset + ico_size], 'icon image %dx%d differs from app.ico' % (w, h))
        sizes.append((w, h))
    expect(sizes == [(32, 32), (16, 16)], 'icon 104 holds %r' % sizes)


def check_menus(resources, tables_dir):
    """Each language's menu, and the one accelerator table, against the
    tables; no menu beyond the languages'."""
    tables = write_menu_rc.load(sorted(glob.glob(os.path.join(tables_dir, 'commands.*.json'))))
    expect(tables, 'no command tables in %s' % tables_dir)
    script = [line for line in write_menu_rc.script_lines(tables) if line]
    numbers = sorted(write_menu_rc.menu_id(t) for t in tables)
    decoded = []
    for number in numbers:
        expect((RT_MENU, number) in resources, 'menu %d is missing' % number)
        decoded += decode_menu(number, resources[(RT_MENU, number)])
    others = sorted(n for kind, n in resources if kind == RT_MENU and n not in numbers)
    expect(not others, 'menus %s belong to no language' % others)
    decoded += decode_accelerators(resources[(RT_ACCELERATOR, 115)])
    for number, (got, want) in enumerate(zip(decoded, script)):
        expect(got == want, 'menu line %d: built %r, table %r' % (number, got, want))
    expect(len(decoded) == len(script), 'built menus and accelerators have %d lines, the tables give %d'
           % (len(decoded), len(script)))
    codes = [write_menu_rc.language_of(t)[0] for t in sorted(tables, key=write_menu_rc.menu_id)]
    print('  menus %s (%s) and accelerators 115 decode to the command table (%d lines)'
          % (', '.join(map(str, numbers)), ', '.join(codes), len(script)))


def check(exe, arch, source_dir, tables_dir):
    with open(exe, 'rb') as f:
        pe = PeFile(f.read())
    expect(pe.machine == MACHINES[arch], 'machine 0x%x, expected %s' % (pe.machine, arch))
    expect(pe.subsystem == 2, 'subsystem %d, expected the GUI subsystem' % pe.subsystem)
    dlls = pe.imported_dlls()
    foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
    expect(not foreign, 'imports DLLs that are not the system\'s: %s' % ', '.join(foreign))
    print('  %s, GUI, imports %s' % (arch, ', '.join(sorted(dlls, key=str.lower))))

    resources = pe.resources()
    for kind, number in ((RT_MENU, 101), (RT_ACCELERATOR, 115), (RT_DIALOG, 116), (RT_DIALOG, 117), (RT_GROUP_ICON, 104)):
        expect((kind, number) in resources, 'resource %d of type %d is missing' % (number, kind))
    win32 = os.path.join(source_dir, 'shell', 'win32')
    check_menus(resources, tables_dir)
    check_dialog(resources[(RT_DIALOG, 116)])
    print('  dialog 116: extended template 221x74, MS Sans Serif 8, six controls as laid out')
    check_icon(resources, os.path.join(win32, 'app.ico'))
    print('  icon 104: 32x32 and 16x16, 16 colours, as app.ico')


def main():
    if len(sys.argv) != 5 or sys.argv[2] not in MACHINES:
        sys.exit(__doc__)
    print('%s:' % sys.argv[1])
    try:
        check(*sys.argv[1:])
    except (Mismatch, KeyError, ValueError) as e:
        print('FAIL: %s' % e)
        sys.exit(1)


if __name__ == '__main__':
    main()
