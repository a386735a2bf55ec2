#!/usr/bin/env python3
"""Writes the Windows program's menu 101 and accelerators 115 as a resource
script from the command table (the JSON that `lumaforge-cli --list-commands`
prints), so the program's resources never differ from the table.

usage: write_menu_rc.py COMMANDS.json OUT.rc
"""
import json
import sys

# Virtual-key codes of the keys that are neither letters nor digits: F4, the
# "=" key (which also carries "+") and the "-" key.
VK = {'F4': 0x73, '=': 0xBB, '-': 0xBD}


def rc_string(text):
    return '"%s"' % text.replace('"', '""').replace('\t', '\\t')


def menu_lines(table):
    """The script's MENU and ACCELERATORS statements, one line each."""
    captions = {c['id']: c['caption'] for c in table['commands']}
    checked = {c['id'] for c in table['commands'] if c.get('checked')}
    lines = ['101 MENU', 'BEGIN']
    for popup in table['menu']:
        lines += ['    POPUP %s' % rc_string(popup['caption']), '    BEGIN']
        for item in popup['items']:
            if item == 0:
                lines.append('        MENUITEM SEPARATOR')
            else:
                lines.append('        MENUITEM %s, %d%s' % (rc_string(captions[item]), item,
                                                           ', CHECKED' if item in checked else ''))
        lines.append('    END')
    lines += ['END', '', '115 ACCELERATORS', 'BEGIN']
    for a in table['accelerators']:
        key = VK[a['key']] if a['key'] in VK else ord(a['key'])
        modifiers = [name for flag, name in (('ctrl', 'CONTROL'), ('alt', 'ALT'), ('shift', 'SHIFT')) if a[flag]]
        lines.append('    ' + ', '.join(['0x%X' % key, str(a['id']), 'VIRTKEY'] + modifiers + ['NOINVERT']))
    lines.append('END')
    return lines


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding='utf-8') as f:
        table = json.load(f)
    text = ('// Menu and accelerators of the Windows program, written from the command\n'
            '// table at build time by scripts/win32/write_menu_rc.py.\n'
            '#pragma code_page(65001)\n\n' + '\n'.join(menu_lines(table)) + '\n')
    with open(sys.argv[2], 'w', encoding='utf-8', newline='\n') as f:
        f.write(text)


if __name__ == '__main__':
    main()
