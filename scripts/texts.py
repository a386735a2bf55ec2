#!/usr/bin/env python3
"""The program's texts and their catalogues.

Every text the program shows is written in its source in Russian. A language
is one catalogue, i18n/<code>.po (the usual msgid/msgstr form: msgid the
Russian text, msgstr its translation), which the build compiles into the core.

usage:
  texts.py extract            every text of the source, one per line (escaped)
  texts.py check [PO ...]     fails when a catalogue (all of i18n/ by default)
                              lacks a text of the source, has one the source
                              lacks, or breaks a placeholder (%1), a mnemonic
                              (&) or a shortcut (after a tab)
  texts.py missing PO         the texts PO still lacks (a partial catalogue)
  texts.py new CODE NAME      a new catalogue with every text left to translate
  texts.py update PO          adds the texts PO lacks, untranslated, drops the
                              ones the source no longer has, and folds in the
                              language's part files (i18n/en.<part>.po)
  texts.py compile OUT PO...  the C++ table of the catalogues (the build runs it)
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
I18N = os.path.join(ROOT, 'i18n')
GUIDE = os.path.join('docs', 'guide', 'texts.ru.txt')

# Where the program's own texts are written.
CODE_DIRS = ['image', 'ops', 'render', 'commands', 'shell', 'cli']
CODE_EXT = ('.cpp', '.h', '.inc', '.rc', '.js', '.html')
CYRILLIC = re.compile('[\u0400-\u04FF]')

ESCAPES = {'n': '\n', 't': '\t', '"': '"', "'": "'", '\\': '\\', '0': '\0', 'r': '\r', '`': '`'}


def unescape(body):
    out, i = [], 0
    while i < len(body):
        c = body[i]
        if c == '\\' and i + 1 < len(body):
            out.append(ESCAPES.get(body[i + 1], body[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def literals(source, js=False):
    """The string literals of C++ or JavaScript source, adjacent C++ literals
    joined; comments skipped. Yields (text, line, is_template_with_holes)."""
    i, n, line = 0, len(source), 1
    pending, pending_line, gap_ok = None, 0, False
    quotes = '"\'`' if js else '"'
    while i < n:
        c = source[i]
        if c == '\n':
            line += 1
        if source.startswith('//', i):
            j = source.find('\n', i)
            i = n if j < 0 else j
            continue
        if source.startswith('/*', i):
            j = source.find('*/', i + 2)
            j = n if j < 0 else j + 2
            line += source.count('\n', i, j)
            i = j
            continue
        if c == "'" and not js:  # a character literal
            j = i + 1
            while j < n and source[j] != "'":
                j += 2 if source[j] == '\\' else 1
            i = j + 1
            continue
        if c in quotes:
            j = i + 1
            while j < n and source[j] != c:
                j += 2 if source[j] == '\\' else 1
            body = source[i + 1:j]
            start = line
            line += body.count('\n')
            text = unescape(body)
            holes = c == '`' and '${' in body
            if pending is not None and not js:
                pending += text
            else:
                if pending is not None:
                    yield pending, pending_line, False
                pending, pending_line = text, start
                if js:
                    yield pending, pending_line, holes
                    pending = None
            i = j + 1
            continue
        if not c.isspace() and pending is not None:
            yield pending, pending_line, False
            pending = None
        i += 1
    if pending is not None:
        yield pending, pending_line, False


def html_texts(source):
    """Text between tags and attribute values of an HTML page."""
    for m in re.finditer(r'>([^<>]+)<', source):
        t = ' '.join(m.group(1).split())
        if t:
            yield t, source.count('\n', 0, m.start()) + 1
    for m in re.finditer(r'\s(?:title|placeholder|aria-label|alt|value|content)="([^"]*)"', source):
        yield m.group(1), source.count('\n', 0, m.start()) + 1


def guide_paragraphs(path):
    """The guide's paragraphs as make_guide.py reads them."""
    with open(path, encoding='utf-8') as f:
        lines = f.read().split('\n')
    para, at = [], 0
    for number, raw in enumerate(lines + [''], 1):
        s = raw.strip()
        if s.startswith('#'):
            continue
        if not s or (s.startswith('[') and s.endswith(']')):
            if para:
                yield ' '.join(para), at
            para = []
            continue
        if not para:
            at = number
        para.append(s)


def source_texts():
    """{text: [where, ...]} of every Russian text of the program and its guide;
    a JavaScript template with ${} holes is an error (texts take %1)."""
    texts, errors = {}, []

    def add(text, where):
        if CYRILLIC.search(text):
            texts.setdefault(text, []).append(where)

    for top in CODE_DIRS:
        for folder, _, files in os.walk(os.path.join(ROOT, top)):
            for name in sorted(files):
                if not name.endswith(CODE_EXT):
                    continue
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, ROOT)
                with open(path, encoding='utf-8') as f:
                    source = f.read()
                if name.endswith('.html'):
                    for t, line in html_texts(source):
                        add(t, '%s:%d' % (rel, line))
                    continue
                for t, line, holes in literals(source, js=name.endswith('.js')):
                    if holes and CYRILLIC.search(t):
                        errors.append('%s:%d: a Russian text with ${} holes: write it with %%1 and text.format' %
                                      (rel, line))
                    add(t, '%s:%d' % (rel, line))
    guide = os.path.join(ROOT, GUIDE)
    if os.path.exists(guide):
        for t, line in guide_paragraphs(guide):
            add(t, '%s:%d' % (GUIDE, line))
    return texts, errors


def order(where):
    path, _, line = where.rpartition(':')
    return path, int(line)


# --- catalogues -----------------------------------------------------------

def po_quote(text):
    s = text.replace('\\', '\\\\').replace('"', '\\"').replace('\t', '\\t').replace('\0', '\\0')
    parts = s.split('\n')
    if len(parts) == 1:
        return '"%s"' % s
    lines = ['""'] + ['"%s\\n"' % p for p in parts[:-1]]
    if parts[-1]:
        lines.append('"%s"' % parts[-1])
    return '\n'.join(lines)


def read_po(path):
    """(header dict, [(msgid, msgstr, line)]) of a catalogue."""
    entries, header = [], {}
    key, cur, line_of = None, {}, 0
    with open(path, encoding='utf-8') as f:
        lines = f.read().split('\n')

    def flush():
        if 'msgid' in cur:
            if cur['msgid'] == '':
                for h in cur.get('msgstr', '').split('\n'):
                    if ':' in h:
                        k, v = h.split(':', 1)
                        header[k.strip()] = v.strip()
            else:
                entries.append((cur['msgid'], cur.get('msgstr', ''), line_of))
        cur.clear()

    for number, raw in enumerate(lines, 1):
        s = raw.strip()
        if not s or s.startswith('#'):
            if not s:
                flush()
                key = None
            continue
        m = re.match(r'^(msgid|msgstr)\s+"(.*)"$', s)
        if m:
            if m.group(1) == 'msgid':
                if 'msgid' in cur:
                    flush()
                line_of = number
            key = m.group(1)
            cur[key] = unescape(m.group(2))
        elif s.startswith('"') and s.endswith('"') and key:
            cur[key] += unescape(s[1:-1])
        else:
            raise SystemExit('%s:%d: cannot read this line' % (path, number))
    flush()
    return header, entries


def language_of(path, header):
    code = os.path.basename(path)[:-3].split('.')[0]
    name = header.get('X-Language-Name', code)
    point = header.get('X-Decimal-Point', '.')[:1] or '.'
    m = re.search(r'nplurals\s*=\s*(\d)', header.get('Plural-Forms', ''))
    return code, name, point, int(m.group(1)) if m else 2


def placeholders(text):
    return sorted(re.findall(r'%[1-9]', text))


def mnemonics(text):
    return len(re.findall(r'(?<!&)&(?!&)', text.split('\t')[0]))


def shortcut(text):
    return text.split('\t', 1)[1] if '\t' in text else None


def read_language(paths):
    """A language's catalogue: its file and any part files (i18n/en.qt.po)."""
    header, entries = {}, []
    for path in paths:
        h, e = read_po(path)
        header = header or h
        rel = os.path.relpath(path, ROOT)
        entries += [(a, b, '%s:%d' % (rel, line)) for a, b, line in e]
    return header, entries


def by_language(paths):
    groups = {}
    for path in paths:
        groups.setdefault(os.path.basename(path)[:-3].split('.')[0], []).append(path)
    return [sorted(g, key=len) for _, g in sorted(groups.items())]


def problems(paths, texts, partial=False):
    header, entries = read_language(paths)
    rel = os.path.relpath(paths[0], ROOT)
    out, seen = [], set()
    for msgid, msgstr, where in entries:
        if msgid in seen:
            out.append('%s: the text is there twice: %r' % (where, msgid))
        seen.add(msgid)
        if msgid not in texts:
            out.append('%s: the source no longer has %r' % (where, msgid))
            continue
        if not msgstr:
            if not partial:
                out.append('%s: not translated: %r' % (where, msgid))
            continue
        forms = msgstr.split('|') if '|' in msgid else [msgstr]
        for form in forms:
            if not set(placeholders(form)) <= set(placeholders(msgid)):
                out.append('%s: placeholders %s differ from %s in %r' %
                           (where, placeholders(form), placeholders(msgid), msgid))
        if '|' not in msgid and placeholders(msgstr) != placeholders(msgid):
            out.append('%s: placeholders %s differ from %s in %r' %
                       (where, placeholders(msgstr), placeholders(msgid), msgid))
        if mnemonics(msgid) != mnemonics(msgstr):
            out.append('%s: %d mnemonic ampersand(s) where the source has %d: %r' %
                       (where, mnemonics(msgstr), mnemonics(msgid), msgstr))
        if shortcut(msgid) != shortcut(msgstr):
            out.append('%s: shortcut %r where the command has %r' % (where, shortcut(msgstr), shortcut(msgid)))
    if not partial:
        for t in sorted(set(texts) - seen, key=lambda t: order(texts[t][0])):
            out.append('%s: lacks %r (%s)' % (rel, t, texts[t][0]))
    return out


def catalogues():
    return sorted(os.path.join(I18N, f) for f in os.listdir(I18N) if f.endswith('.po'))


def c_string(text):
    out = []
    for ch in text.encode('utf-8'):
        if ch == 0x5C:
            out.append('\\\\')
        elif ch == 0x22:
            out.append('\\"')
        elif ch == 0x0A:
            out.append('\\n')
        elif ch == 0x09:
            out.append('\\t')
        elif ch < 0x20 or ch >= 0x7F:
            out.append('\\%03o' % ch)
        else:
            out.append(chr(ch))
    return '"%s"' % ''.join(out)


def compile_catalogues(out, paths):
    # The guide's paragraphs are for its pages, which make_guide.py writes
    # from the catalogues; the program never shows them.
    guide = os.path.join(ROOT, GUIDE)
    guide_only = {t for t, _ in guide_paragraphs(guide)} if os.path.exists(guide) else set()
    lines = ['// Written by scripts/texts.py from the catalogues; do not edit.', '']
    tables = []
    for group in by_language(paths):
        header, entries = read_language(group)
        code, name, point, forms = language_of(group[0], header)
        pairs = [(a, b) for a, b, _ in entries if b and a not in guide_only]
        ident = 'kPairs_' + re.sub(r'\W', '_', code)
        lines.append('constexpr const char* %s[] = {' % ident)
        for a, b in pairs:
            lines.append('    %s, %s,' % (c_string(a), c_string(b)))
        if not pairs:
            lines.append('    nullptr, nullptr,')
        lines.append('};')
        tables.append('    {%s, %s, \'%s\', %d, %s, %d},' % (c_string(code), c_string(name), point, forms, ident,
                                                              len(pairs)))
    lines.append('constexpr CatalogueData kCompiledCatalogues[] = {')
    lines += tables or ['    {"", "", \'.\', 2, nullptr, 0},']
    lines.append('};')
    text = '\n'.join(lines) + '\n'
    if os.path.exists(out):
        with open(out, encoding='utf-8') as f:
            if f.read() == text:
                return
    with open(out, 'w', encoding='utf-8', newline='\n') as f:
        f.write(text)


def write_po(path_or_none, code, name, header, entries):
    point = header.get('X-Decimal-Point', '.')
    plural = header.get('Plural-Forms', 'nplurals=2; plural=(n != 1);')
    head = ('msgid ""\nmsgstr ""\n"Language: %s\\n"\n"X-Language-Name: %s\\n"\n"X-Decimal-Point: %s\\n"\n'
            '"Plural-Forms: %s\\n"\n"Content-Type: text/plain; charset=UTF-8\\n"\n' % (code, name, point, plural))
    head = ('# %s texts of Lumaforge. msgid: the Russian text of the source (the line\n'
            '# after #: says where it is); msgstr: its translation. scripts/texts.py checks\n'
            '# this file and compiles it into the program; an empty msgstr shows the Russian.\n' % name) + head
    body = [head]
    for msgid, msgstr, where in entries:
        body.append('#: %s\nmsgid %s\nmsgstr %s\n' % (where, po_quote(msgid), po_quote(msgstr)))
    text = '\n'.join(body)
    if path_or_none is None:
        sys.stdout.write(text)
    else:
        with open(path_or_none, 'w', encoding='utf-8', newline='\n') as f:
            f.write(text)


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    cmd = args[0]
    if cmd == 'compile' and len(args) >= 2:
        compile_catalogues(args[1], args[2:])
        return
    texts, errors = source_texts()
    if cmd == 'extract':
        for t, where in sorted(texts.items(), key=lambda kv: order(kv[1][0])):
            print('%s\t%s' % (where[0], t.encode('unicode_escape').decode('ascii') if False else
                              t.replace('\\', '\\\\').replace('\n', '\\n').replace('\t', '\\t')))
        sys.exit(1 if errors else 0)
    if cmd == 'check':
        out = list(errors)
        for group in by_language(args[1:] or catalogues()):
            out += problems(group, texts)
        for p in out:
            print(p)
        if out:
            print('%d problem(s); `scripts/texts.py update i18n/<code>.po` adds what a catalogue lacks' % len(out))
        sys.exit(1 if out else 0)
    if cmd == 'missing' and len(args) == 2:
        _, entries = read_po(args[1])
        have = {a for a, b, _ in entries if b}
        for t in sorted(set(texts) - have, key=lambda t: order(texts[t][0])):
            print('%s\t%s' % (texts[t][0], t.replace('\n', '\\n').replace('\t', '\\t')))
        return
    if cmd == 'new' and len(args) == 3:
        entries = [(t, '', where[0]) for t, where in sorted(texts.items(), key=lambda kv: order(kv[1][0]))]
        write_po(None, args[1], args[2], {}, entries)
        return
    if cmd == 'update' and len(args) == 2:
        # The language's part files (i18n/en.qt.po) are folded in; remove them after.
        group = [g for g in by_language(catalogues() + [args[1]])
                 if os.path.abspath(args[1]) in map(os.path.abspath, g)][0]
        header, old = read_language(sorted(set(map(os.path.abspath, group)), key=len))
        have = {}
        for a, b, _ in old:
            if b or a not in have:
                have[a] = b
        code, name, _, _ = language_of(args[1], header)
        entries = [(t, have.get(t, ''), where[0]) for t, where in sorted(texts.items(), key=lambda kv: order(kv[1][0]))]
        write_po(args[1], code, name, header, entries)
        return
    sys.exit(__doc__)


if __name__ == '__main__':
    main()
