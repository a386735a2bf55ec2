#!/usr/bin/env python3
"""Writes the README's tables of commands (shortcuts, command-line steps)
from the command table, as `lumaforge-cli --list-commands` prints it, so the
README never restates the table by hand.

usage: readme_commands.py README.md LUMAFORGE_CLI          # rewrites the tables
       readme_commands.py --check README.md LUMAFORGE_CLI  # fails when stale
"""
import json
import re
import subprocess
import sys


def plain_caption(caption):
    return caption.split('\t')[0].replace('&', '').strip()


def value_text(command):
    d = command['dialog']
    kind = d['kind']
    if kind == 'file':
        return 'another file'
    if kind == 'save-file':
        return 'the file to write, its format from the extension (as `-o`)'
    if kind == 'block-size':
        return "block size: a power of two from 2 to the picture's smaller side (default the largest)"
    if kind == 'none':
        return ''
    if kind == 'kernel':
        return ('the whole kernel in one word, `SIZE:WEIGHTS/DIVISOR+OFFSET,RULE,CHANNELS`, or a preset\'s name '
                '(default `%s`; see "A kernel of your own")' % d['initial'])
    by = ', by %d' % d['step'] if d['step'] != 1 else ''
    idle = ', which does nothing' if d['initial'] == 0 and d['zero_does_nothing'] else ''
    return '%d..%d%s (default %d%s)' % (d['min'], d['max'], by, d['initial'], idle)


def tables(table):
    shortcuts = ['| keys | command |', '|---|---|']
    for c in table['commands']:
        if c['shortcut']:
            shortcuts.append('| %s | %s |' % (c['shortcut'], plain_caption(c['caption'])))
    steps = ['| step | command | values |', '|---|---|---|']
    for c in table['commands']:
        if not c['step']:
            continue
        kind = c['dialog']['kind']
        usage = c['step'] + ('=PATH' if kind in ('file', 'save-file') else '' if kind == 'none'
                             else '=N' if kind == 'block-size' else '=KERNEL' if kind == 'kernel' else '=V')
        steps.append('| `%s` | %s | %s |' % (usage, plain_caption(c['caption']), value_text(c)))
    return {'shortcuts': '\n'.join(shortcuts), 'steps': '\n'.join(steps)}


def rewrite(text, generated):
    for name, body in generated.items():
        pattern = re.compile(r'(<!-- commands:%s -->\n)(?:.*?\n)??(<!-- end -->)' % name, re.S)
        if not pattern.search(text):
            sys.exit('README has no <!-- commands:%s --> ... <!-- end --> block' % name)
        text = pattern.sub(lambda m: m.group(1) + body + '\n' + m.group(2), text)
    return text


def main():
    args = sys.argv[1:]
    check = args[:1] == ['--check']
    if check:
        args = args[1:]
    if len(args) != 2:
        sys.exit(__doc__)
    readme, cli = args
    table = json.loads(subprocess.run([cli, '--list-commands'], check=True, capture_output=True).stdout)
    with open(readme, encoding='utf-8') as f:
        text = f.read()
    new = rewrite(text, tables(table))
    if check:
        if new != text:
            sys.exit('the README\'s command tables differ from the command table; run\n  python3 %s %s %s'
                     % (sys.argv[0], readme, cli))
        print('README command tables match the command table')
        return
    with open(readme, 'w', encoding='utf-8') as f:
        f.write(new)


if __name__ == '__main__':
    main()
