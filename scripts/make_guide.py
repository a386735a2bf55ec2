#!/usr/bin/env python3
"""Writes the guide: one offline HTML page per language with a figure of every
command of the command table, made by running lumaforge-cli on the sample
pictures, so the figures always show what the program does.

usage: make_guide.py --cli CLI --out DIR [--lang CODE,...] [--texts FILE] [--samples DIR]
       make_guide.py --check --cli CLI [--texts FILE]

For every command, in menu order: its caption and shortcut, what it does
(docs/guide/texts.ru.txt), its dialog's range, the window's client area
before and after it (picture and histograms, as lumaforge-cli --view draws
them), a magnified crop around one pixel where the whole picture says little,
and the explanation of that pixel (--explain-text). --check only compares the
texts with the table: every command needs a text, and every text a command.

The texts are written in Russian; every paragraph is a text of the catalogues
(i18n/<code>*.po, read as scripts/texts.py reads them), so each language of
the catalogues gets its page: Russian in DIR/index.html, the others in
DIR/<code>/index.html (--lang picks some; all by default), the figures shared
in DIR/img, each page linking to the others. The captions and the pixels'
explanations are lumaforge-cli's own in that language (LUMAFORGE_LANG); a text
a catalogue lacks stays Russian.
"""
import argparse
import html
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import zlib

import texts as catalogues  # scripts/texts.py: the catalogues' reader

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PANEL_WIDTH, PANEL_HEIGHT = 283, 417  # the histogram panel beside the picture
PHOTO_PIXEL = (188, 297)               # on the edge of the orange disc
BLOCK_PIXEL = (10, 500)                # inside the bottom-left block of square.bmp
CROP = (256, 192)                      # client size of the magnified crops


def cli_environment(language):
    """lumaforge-cli's environment for texts in `language` (whatever the
    caller's own LUMAFORGE_LANG)."""
    return dict(os.environ, LUMAFORGE_LANG=language)


class Language:
    """A language of the guide: its code, own name and texts (Russian: none,
    the texts are written in it)."""

    def __init__(self, code, name, texts):
        self.code, self.name, self.texts = code, name, texts

    def tr(self, russian):
        return self.texts.get(russian, russian)

    def format(self, russian, *values):
        """The pattern in this language with %1, %2... filled in."""
        return re.sub(r'%([1-9])', lambda m: str(values[int(m.group(1)) - 1]), self.tr(russian))

    def folder(self):
        """The page's folder under the guide's own: '' for Russian."""
        return '' if self.code == 'ru' else self.code + '/'


def languages(wanted=None):
    """Russian and the catalogues' languages (i18n/), or those of `wanted`."""
    found = [Language('ru', 'Русский', {})]
    for group in catalogues.by_language(catalogues.catalogues()):
        header, entries = catalogues.read_language(group)
        code, name, _, _ = catalogues.language_of(group[0], header)
        found.append(Language(code, name, {a: b for a, b, _ in entries if b}))
    if wanted is None:
        return found
    codes = {lang.code: lang for lang in found}
    unknown = [c for c in wanted if c not in codes]
    if unknown:
        sys.exit('make_guide: no catalogue for %s in %s (i18n/<code>.po)' % (', '.join(unknown), catalogues.I18N))
    return [codes[c] for c in wanted]


def command_table(cli, language):
    """lumaforge-cli's command table, its captions in `language`."""
    table = json.loads(subprocess.run([cli, '--list-commands'], capture_output=True, text=True, check=True,
                                      env=cli_environment(language.code)).stdout)
    # A lumaforge-cli that gives the captions in Russian: the catalogue's.
    for c in table['commands']:
        c['caption'] = language.tr(c['caption'])
    for popup in table['menu']:
        popup['caption'] = language.tr(popup['caption'])
    return table


def read_texts(path):
    """{key: [paragraph, ...]} from the [key] blocks of the texts file."""
    texts, key, lines = {}, None, []

    def close():
        if key is not None:
            paragraphs = '\n'.join(lines).strip().split('\n\n')
            texts[key] = [' '.join(p.split('\n')) for p in paragraphs if p.strip()]

    with open(path, encoding='utf-8') as f:
        for raw in f:
            line = raw.rstrip('\n')
            if line.startswith('#'):
                continue
            if line.startswith('[') and line.endswith(']'):
                close()
                key, lines = line[1:-1], []
            elif key is not None:
                lines.append(line)
    close()
    return texts


def check(table, texts):
    """The differences between the table's commands and the texts, as lines."""
    names = {c['name'] for c in table['commands']}
    entries = {k for k in texts if k.startswith('IDM_')}
    return (['no text for %s' % n for n in sorted(names - entries)] +
            ['a text for %s, which the table lacks' % n for n in sorted(entries - names)])


def bmp_to_png(bmp_path, png_path, frames=()):
    """Converts a 24-bit BMP (as lumaforge-cli writes it) into a PNG; draws
    segmentation's frames (picture rows counted from the bottom) in black."""
    with open(bmp_path, 'rb') as f:
        data = f.read()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    stride = (3 * width + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source = y if height < 0 else height - 1 - y
        start = offset + source * stride
        bgr = data[start:start + 3 * width]
        rgb = bytearray(3 * width)
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(rgb)
    height = abs(height)
    for x0, x1, bottom, top in frames:
        y0, y1 = height - 1 - top, height - 1 - bottom
        for x in range(x0, x1 + 1):
            for y in (y0, y1):
                if 0 <= x < width and 0 <= y < height:
                    rows[y][3 * x:3 * x + 3] = b'\0\0\0'
        for y in range(y0, y1 + 1):
            for x in (x0, x1):
                if 0 <= x < width and 0 <= y < height:
                    rows[y][3 * x:3 * x + 3] = b'\0\0\0'
    raw = b''.join(b'\0' + bytes(r) for r in rows)

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))

    png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
    with open(png_path, 'wb') as f:
        f.write(png)


class Figures:
    """Runs lumaforge-cli and keeps the figures it drew, each made once."""

    def __init__(self, cli, samples, out):
        self.cli, self.samples, self.out = cli, samples, out
        self.made = {}
        self.work = os.path.join(out, 'img')
        os.makedirs(self.work, exist_ok=True)

    def run(self, sample, steps, extra, language='ru'):
        args = [self.cli, os.path.join(self.samples, sample)] + list(steps) + ['--seed', '1'] + extra
        done = subprocess.run(args, capture_output=True, text=True, env=cli_environment(language))
        if done.returncode != 0:
            raise SystemExit('make_guide: %s failed: %s' % (' '.join(args), done.stderr.strip()))
        return done.stdout

    def view(self, sample, size, steps, zoom, client, scroll=(0, 0), frames=False):
        """The PNG's name of the client area after `steps`."""
        key = (sample, tuple(steps), zoom, client, scroll, frames)
        if key in self.made:
            return self.made[key]
        name = 'f%03d.png' % len(self.made)
        bmp = os.path.join(self.work, name + '.bmp')
        out = self.run(sample, steps, ['--view', bmp, '--zoom', str(zoom), '--client', '%dx%d' % client,
                                       '--scroll', '%d,%d' % scroll])
        boxes = []
        if frames:
            boxes = [tuple(int(v) for v in line.split()[1:]) for line in out.splitlines() if line.startswith('frame ')]
        bmp_to_png(bmp, os.path.join(self.work, name), boxes)
        os.remove(bmp)
        self.made[key] = name
        return name

    def window(self, sample, size, steps, zoom=50, frames=False):
        """The picture at `zoom` with the histogram panel beside it."""
        w, h = (-(-size[0] * zoom // 100), -(-size[1] * zoom // 100))
        return self.view(sample, size, steps, zoom, (w + PANEL_WIDTH, max(h, PANEL_HEIGHT)), frames=frames)

    def crop(self, sample, size, steps, pixel, zoom=400):
        """A magnified crop with `pixel` in its middle."""
        f = zoom // 100
        scroll = (max(0, pixel[0] * f + f // 2 - CROP[0] // 2), max(0, pixel[1] * f + f // 2 - CROP[1] // 2))
        return self.view(sample, size, steps, zoom, CROP, scroll)

    def explain(self, sample, steps, pixel, language):
        return self.run(sample, steps, ['--explain-text', '%d,%d' % pixel], language).rstrip('\n')


SAMPLES = {'photo.bmp': (640, 480), 'square.bmp': (512, 512), 'text.bmp': (480, 160)}


def step_value(command):
    """The dialog value the guide shows the command with (the dialog's own
    first value, unless that one does nothing)."""
    dialog = command['dialog']
    kind = dialog.get('kind')
    if kind == 'block-size':
        return 256
    if kind == 'kernel':
        return 'sharpen'
    if kind == 'aperture':
        return 5
    if kind in ('percent',):
        return 40
    if 'initial' in dialog and not (dialog.get('zero_does_nothing') and dialog['initial'] == 0):
        return dialog['initial']
    return None


def plan(command, by_step):
    """What the command's figure shows: (sample, steps before, the command's
    steps, pixel to explain, crop zoom or None), or None for no figure."""
    step = command['step']
    if command['name'] == 'IDM_OPEN':
        return ('photo.bmp', [], [], PHOTO_PIXEL, None)
    if command['name'] == 'IDM_UNDO':
        return ('photo.bmp', ['negative'], ['undo'], PHOTO_PIXEL, None)
    if command['name'] == 'IDM_ZOOM_IN':
        return ('photo.bmp', [], [], PHOTO_PIXEL, 1600)
    if not step or command['runs'] not in ('image', 'in-place') and step != 'segment':
        return None
    if step == 'segment':
        return ('text.bmp', [], ['segment'], None, None)
    value = step_value(command)
    own = step if value is None else '%s=%s' % (step, value)
    if command['runs'] == 'in-place':
        before = []
        if step.endswith('-inverse'):
            family = step.split('-')[0]
            before = ['%s-2d=256' % family]
        return ('square.bmp', before, [own], BLOCK_PIXEL, None)
    crop = 400 if command['menu']['popup'] == 2 and step != 'noise' else None
    return ('photo.bmp', [], [own], PHOTO_PIXEL, crop)


def dialog_range(command, texts, lang):
    d = command['dialog']
    kind = d.get('kind')
    if kind == 'block-size':
        return lang.tr(texts['range-block-size'][0])
    if kind in ('threshold', 'percent', 'aperture', 'noise-points') and 'min' in d:
        unit = '%' if kind == 'percent' else ''
        low, high = '%d%s' % (d['min'], unit), '%d%s' % (d['max'], unit)
        if d.get('step', 1) != 1:
            return lang.format(texts['range-slider-step'][0], low, high, d['step'])
        return lang.format(texts['range-slider'][0], low, high)
    if kind == 'kernel':
        return lang.format(texts['range-kernel'][0], d['weight']['min'], d['weight']['max'])
    if kind == 'file':
        return lang.tr(texts['range-file'][0])
    if kind == 'save-file':
        return lang.tr(texts['range-save-file'][0])
    return ''


def caption_of(command):
    return command['caption'].split('\t')[0].replace('&', '').strip()


def popup_caption(popup):
    return popup['caption'].replace('&', '').strip()


STYLE = """
body { font: 15px/1.45 "DejaVu Sans", sans-serif; max-width: 1280px; margin: 1em auto; padding: 0 1em; color: #111; }
h1 { font-size: 1.6em; } h2 { margin-top: 2em; border-bottom: 1px solid #999; } h3 { margin-top: 1.6em; }
.keys { font: 13px monospace; background: #eee; border: 1px solid #bbb; border-radius: 3px; padding: 0 4px; }
.meta { color: #444; } figure { display: inline-block; margin: 0.4em 1em 0.4em 0; vertical-align: top; }
figcaption { font-size: 0.9em; color: #444; } img { image-rendering: pixelated; border: 1px solid #ccc; }
pre { background: #f6f6f6; border: 1px solid #ddd; padding: 0.5em; overflow-x: auto; font-size: 13px; }
nav ul { columns: 2; } @media print { section { break-inside: avoid; } nav { display: none; } }
.languages { float: right; margin: 0.3em 0; } .languages b, .languages a { margin-left: 0.8em; }
"""


def write_page(table, texts, lang, pages, figures, out):
    """The page of `lang` in its folder under `out`; `pages` are all the
    languages written, for the links between them."""
    commands = {c['id']: c for c in table['commands']}
    by_step = {c['step']: c for c in table['commands'] if c['step']}
    esc = html.escape
    up = '../' * lang.folder().count('/')

    def paragraphs(key):
        out = []
        for russian in texts.get(key, []):
            t = lang.tr(russian)
            # A text the catalogue lacks stays Russian, and says so.
            mark = ' lang="ru"' if lang.code != 'ru' and t == russian else ''
            out.append('<p%s>%s</p>\n' % (mark, esc(t)))
        return ''.join(out)

    def own(key, *values):
        """One of the page's own texts (a [page-...] block)."""
        return lang.format(texts[key][0], *values)

    def figure(src, caption):
        return '<figure><img src="%simg/%s" alt="%s"><figcaption>%s</figcaption></figure>\n' % (
            up, src, esc(caption), esc(caption))

    body = []
    if len(pages) > 1:
        links = []
        for other in pages:
            if other is lang:
                links.append('<b>%s</b>' % esc(other.name))
            else:
                links.append('<a href="%s%sindex.html" hreflang="%s" lang="%s">%s</a>' % (
                    up, other.folder(), other.code, other.code, esc(other.name)))
        body.append('<p class="languages">%s</p>\n' % ''.join(links))
    title = ' '.join(lang.tr(t) for t in texts['title'])
    body += ['<h1>%s</h1>\n' % esc(title), paragraphs('intro')]
    body.append('<nav><h2>%s</h2><ul>\n<li><a href="#window">%s</a></li>\n' % (
        esc(own('page-contents')), esc(own('page-window'))))
    for popup in table['menu']:
        first = next(i for i in popup['items'] if i)
        body.append('<li><a href="#menu-%d">%s</a>: %s</li>\n' % (
            first, esc(popup_caption(popup)),
            ', '.join('<a href="#%s">%s</a>' % (commands[i]['name'], esc(caption_of(commands[i])))
                      for i in popup['items'] if i)))
    body.append('</ul></nav>\n')

    body.append('<section id="window"><h2>%s</h2>\n' % esc(own('page-window')))
    body.append(figure(figures.view('photo.bmp', SAMPLES['photo.bmp'], [], 100, (640 + PANEL_WIDTH, 480)),
                       own('page-window-figure')))
    body.append(figure(figures.crop('photo.bmp', SAMPLES['photo.bmp'], [], PHOTO_PIXEL, 1600),
                       own('page-zoom-figure')))
    body.append(paragraphs('window') + paragraphs('figures') + '</section>\n')

    for popup in table['menu']:
        first = next(i for i in popup['items'] if i)
        body.append('<h2 id="menu-%d">%s</h2>\n' % (first, esc(popup_caption(popup))))
        for item in popup['items']:
            if not item:
                continue
            c = commands[item]
            body.append('<section id="%s"><h3>%s' % (c['name'], esc(caption_of(c))))
            if c['shortcut']:
                body.append(' <span class="keys">%s</span>' % esc(c['shortcut']))
            body.append('</h3>\n')
            step = ''
            if c['step']:
                step = esc(lang.tr(texts['page-cli-step'][0])).replace('%1', '<code>%s</code>' % esc(c['step']))
            meta = [m for m in (step, esc(dialog_range(c, texts, lang))) if m]
            if meta:
                body.append('<p class="meta">%s</p>\n' % '; '.join(meta))
            body.append(paragraphs(c['name']))
            p = plan(c, by_step)
            if p:
                sample, before, steps, pixel, crop = p
                size = SAMPLES[sample]
                segment = steps == ['segment']
                if c['name'] == 'IDM_ZOOM_IN':
                    body.append(figure(figures.crop(sample, size, [], pixel, crop), own('page-detail-1600')))
                elif not steps:
                    body.append(figure(figures.window(sample, size, before), own('page-opened')))
                else:
                    shown = ' '.join(steps)
                    body.append(figure(figures.window(sample, size, before), own('page-before')))
                    body.append(figure(figures.window(sample, size, before + steps, 100 if segment else 50, segment),
                                       own('page-after', shown)))
                    if crop:
                        body.append('<br>\n')
                        body.append(figure(figures.crop(sample, size, before, pixel, crop), own('page-before-400')))
                        body.append(figure(figures.crop(sample, size, before + steps, pixel, crop),
                                           own('page-after-400')))
                if pixel and c['name'] != 'IDM_ZOOM_IN':
                    explained = figures.explain(sample, before + steps, pixel, lang.code)
                    # A lumaforge-cli that explains in Russian only: said so.
                    mark = ' lang="ru"' if lang.code != 'ru' and catalogues.CYRILLIC.search(explained) else ''
                    body.append('<p>%s</p>\n<pre%s>%s</pre>\n' % (
                        esc(own('page-pixel', pixel[0], pixel[1])), mark, esc(explained)))
            body.append('</section>\n')

    page = ('<!DOCTYPE html>\n<html lang="%s"><head><meta charset="utf-8">\n'
            '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
            '<title>%s</title>\n<style>%s</style></head>\n<body>\n%s</body></html>\n' % (
                lang.code, esc(title), STYLE, ''.join(body)))
    folder = os.path.join(out, lang.folder())
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, 'index.html'), 'w', encoding='utf-8') as f:
        f.write(page)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--cli', required=True)
    parser.add_argument('--texts', default=os.path.join(ROOT, 'docs', 'guide', 'texts.ru.txt'))
    parser.add_argument('--samples', default=os.path.join(ROOT, 'samples'))
    parser.add_argument('--out')
    parser.add_argument('--lang', help='the languages to write, comma-separated (default: Russian and every '
                                       'language of i18n/)')
    parser.add_argument('--check', action='store_true')
    args = parser.parse_args()
    russian = Language('ru', 'Русский', {})
    table = command_table(args.cli, russian)
    texts = read_texts(args.texts)
    problems = check(table, texts)
    if problems:
        sys.exit('make_guide: %s:\n  %s' % (args.texts, '\n  '.join(problems)))
    if args.check:
        return
    if not args.out:
        parser.error('--out is needed unless --check')
    pages = languages(args.lang.split(',') if args.lang else None)
    if os.path.isdir(args.out):
        shutil.rmtree(args.out)
    os.makedirs(args.out)
    # The figures show pictures and numbers only: every page shares them.
    figures = Figures(args.cli, args.samples, args.out)
    for lang in pages:
        write_page(table if lang.code == 'ru' else command_table(args.cli, lang), texts, lang, pages, figures,
                   args.out)


if __name__ == '__main__':
    main()
