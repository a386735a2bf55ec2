#!/usr/bin/env python3
"""Writes the Windows program's menus and accelerators 115 as a resource
script from the command table (the JSON that `lumaforge-cli --list-commands
--lang CODE` prints), so the program's resources never differ from the table:
one menu per language, 101 for the first of the table's "languages" (Russian)
and 101 + k for the k-th, each from the table printed in that language. The
"Язык / Language" row is a submenu of the languages, the menu's own checked.
The accelerators are the same in every language: one table.

usage: write_menu_rc.py OUT.rc --cli LUMAFORGE_CLI TABLES_DIR
       write_menu_rc.py OUT.rc COMMANDS.json [COMMANDS.json ...]
The first asks lumaforge-cli for the table in each of its languages (through
LUMAFORGE_LANG) and keeps them as TABLES_DIR/commands.CODE.json; the second
takes the tables given (one per language, in any order: each names its own).
"""
import glob
import json
import os
import subprocess
import sys

# Virtual-key codes of the keys that are neither letters nor digits: F1, F4, the
# "=" key (which also carries "+") and the "-" key.
VK = {'F1': 0x70, 'F4': 0x73, '=': 0xBB, '-': 0xBD}
FIRST_MENU = 101


def rc_string(text):
    return '"%s"' % text.replace('"', '""').replace('\t', '\\t')


def language_of(table):
    """The code of the language the table was printed in, and its index in the
    list of languages."""
    items = table['languages']['items']
    for index, item in enumerate(items):
        if item['chosen']:
            return item['code'], index
    raise ValueError('the table names no chosen language')


def menu_id(table):
    return FIRST_MENU + language_of(table)[1]


def menu_lines(table):
    """The script's MENU statement for the table's language, one line each."""
    captions = {c['id']: c['caption'] for c in table['commands']}
    checked = {c['id'] for c in table['commands'] if c.get('checked')}
    languages = table['languages']
    lines = ['%d MENU' % menu_id(table), 'BEGIN']
    for popup in table['menu']:
        lines += ['    POPUP %s' % rc_string(popup['caption']), '    BEGIN']
        for item in popup['items']:
            if item == 0:
                lines.append('        MENUITEM SEPARATOR')
            elif item == languages['menu_id']:
                lines += ['        POPUP %s' % rc_string(captions[item]), '        BEGIN']
                for language in languages['items']:
                    lines.append('            MENUITEM %s, %d%s' % (rc_string(language['name']), language['id'],
                                                                   ', CHECKED' if language['chosen'] else ''))
                lines.append('        END')
            else:
                lines.append('        MENUITEM %s, %d%s' % (rc_string(captions[item]), item,
                                                           ', CHECKED' if item in checked else ''))
        lines.append('    END')
    lines.append('END')
    return lines


def accelerator_lines(table):
    """The script's ACCELERATORS statement, one line each."""
    lines = ['115 ACCELERATORS', 'BEGIN']
    for a in table['accelerators']:
        key = VK[a['key']] if a['key'] in VK else ord(a['key'])
        modifiers = [name for flag, name in (('ctrl', 'CONTROL'), ('alt', 'ALT'), ('shift', 'SHIFT')) if a[flag]]
        lines.append('    ' + ', '.join(['0x%X' % key, str(a['id']), 'VIRTKEY'] + modifiers + ['NOINVERT']))
    lines.append('END')
    return lines


def script_lines(tables):
    """Every menu, in the order of the languages, then the accelerators; the
    tables must cover the languages and agree on the keys."""
    tables = sorted(tables, key=menu_id)
    codes = [item['code'] for item in tables[0]['languages']['items']]
    got = [language_of(t)[0] for t in tables]
    if got != codes:
        raise ValueError('tables in %s; the languages are %s' % (', '.join(got), ', '.join(codes)))
    for t in tables[1:]:
        if t['accelerators'] != tables[0]['accelerators']:
            raise ValueError('the %s table has other accelerators than the %s one' % (language_of(t)[0], codes[0]))
    lines = []
    for t in tables:
        lines += menu_lines(t) + ['']
    return lines + accelerator_lines(tables[0])


def load(paths):
    tables = []
    for path in paths:
        with open(path, encoding='utf-8') as f:
            tables.append(json.load(f))
    return tables


def table_in(cli, code):
    env = dict(os.environ, LUMAFORGE_LANG=code)
    result = subprocess.run([cli, '--list-commands'], env=env, capture_output=True)
    if result.returncode != 0:
        raise ValueError('%s --list-commands in %s failed: %s' % (cli, code, result.stderr.decode(errors='replace')))
    table = json.loads(result.stdout)
    if language_of(table)[0] != code:
        raise ValueError('%s --list-commands with LUMAFORGE_LANG=%s printed the %s table'
                         % (cli, code, language_of(table)[0]))
    return table


def tables_from_cli(cli, directory):
    """The table in every language lumaforge-cli has, each kept in `directory`."""
    os.makedirs(directory, exist_ok=True)
    for old in glob.glob(os.path.join(directory, 'commands.*.json')):
        os.remove(old)
    first = table_in(cli, 'ru')
    tables = [first] + [table_in(cli, item['code']) for item in first['languages']['items'] if item['code'] != 'ru']
    for table in tables:
        path = os.path.join(directory, 'commands.%s.json' % language_of(table)[0])
        with open(path, 'w', encoding='utf-8') as f:
            json.dump(table, f, ensure_ascii=False, indent=1)
    return tables


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    try:
        if sys.argv[2] == '--cli' and len(sys.argv) == 5:
            tables = tables_from_cli(sys.argv[3], sys.argv[4])
        else:
            tables = load(sys.argv[2:])
        lines = script_lines(tables)
    except (ValueError, KeyError, OSError) as e:
        sys.exit('write_menu_rc.py: %s' % e)
    text = ('// Menus and accelerators of the Windows program, written from the command\n'
            '// table at build time by scripts/win32/write_menu_rc.py.\n'
            '#pragma code_page(65001)\n\n' + '\n'.join(lines) + '\n')
    with open(sys.argv[1], 'w', encoding='utf-8', newline='\n') as f:
        f.write(text)


if __name__ == '__main__':
    main()
