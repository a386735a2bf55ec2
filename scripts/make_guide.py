#!/usr/bin/env python3
"""Writes the guide: one offline HTML page with a figure of every command of
the command table, made by running lumaforge-cli on the sample pictures, so
the figures always show what the program does.

usage: make_guide.py --cli CLI --out DIR [--texts FILE] [--samples DIR]
       make_guide.py --check --cli CLI [--texts FILE]

For every command, in menu order: its caption and shortcut, what it does
(docs/guide/texts.ru.txt), its dialog's range, the window's client area
before and after it (picture and histograms, as lumaforge-cli --view draws
them), a magnified crop around one pixel where the whole picture says little,
and the explanation of that pixel (--explain-text). --check only compares the
texts with the table: every command needs a text, and every text a command.
"""
import argparse
import html
import json
import os
import shutil
import struct
import subprocess
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PANEL_WIDTH, PANEL_HEIGHT = 283, 417  # the histogram panel beside the picture
PHOTO_PIXEL = (188, 297)               # on the edge of the orange disc
BLOCK_PIXEL = (10, 500)                # inside the bottom-left block of square.bmp
CROP = (256, 192)                      # client size of the magnified crops


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

    def run(self, sample, steps, extra):
        args = [self.cli, os.path.join(self.samples, sample)] + list(steps) + ['--seed', '1'] + extra
        done = subprocess.run(args, capture_output=True, text=True)
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

    def explain(self, sample, steps, pixel):
        return self.run(sample, steps, ['--explain-text', '%d,%d' % pixel]).rstrip('\n')


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


def dialog_range(command):
    d = command['dialog']
    kind = d.get('kind')
    if kind == 'block-size':
        return 'размер блока: степень двойки от 2 до меньшей стороны картинки'
    if kind in ('threshold', 'percent', 'aperture', 'noise-points') and 'min' in d:
        unit = '%' if kind == 'percent' else ''
        step = ', шаг %d' % d['step'] if d.get('step', 1) != 1 else ''
        return 'ползунок от %d%s до %d%s%s' % (d['min'], unit, d['max'], unit, step)
    if kind == 'kernel':
        return 'окно: ядро 3x3 или 5x5, веса от %d до %d, делитель или «авто», смещение, правило, каналы' % (
            d['weight']['min'], d['weight']['max'])
    if kind == 'file':
        return 'выбор файла'
    if kind == 'save-file':
        return 'выбор имени файла'
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
"""


def write_guide(table, texts, cli, samples, out):
    figures = Figures(cli, samples, out)
    commands = {c['id']: c for c in table['commands']}
    by_step = {c['step']: c for c in table['commands'] if c['step']}
    esc = html.escape

    def paragraphs(key):
        return ''.join('<p>%s</p>\n' % esc(p) for p in texts.get(key, []))

    def figure(src, caption):
        return '<figure><img src="img/%s" alt="%s"><figcaption>%s</figcaption></figure>\n' % (src, esc(caption),
                                                                                               esc(caption))

    body = ['<h1>%s</h1>\n' % esc(' '.join(texts['title'])), paragraphs('intro')]
    body.append('<nav><h2>Содержание</h2><ul>\n<li><a href="#window">Как читать окно</a></li>\n')
    for popup in table['menu']:
        first = next(i for i in popup['items'] if i)
        body.append('<li><a href="#menu-%d">%s</a>: %s</li>\n' % (
            first, esc(popup_caption(popup)),
            ', '.join('<a href="#%s">%s</a>' % (commands[i]['name'], esc(caption_of(commands[i])))
                      for i in popup['items'] if i)))
    body.append('</ul></nav>\n')

    body.append('<section id="window"><h2>Как читать окно</h2>\n')
    body.append(figure(figures.view('photo.bmp', SAMPLES['photo.bmp'], [], 100, (640 + PANEL_WIDTH, 480)),
                       'Окно программы: картинка в натуральную величину и четыре гистограммы'))
    body.append(figure(figures.crop('photo.bmp', SAMPLES['photo.bmp'], [], PHOTO_PIXEL, 1600),
                       'Масштаб 1600 %: значения R, G, B в каждом пикселе'))
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
            meta = [m for m in (('команда lumaforge-cli: <code>%s</code>' % esc(c['step'])) if c['step'] else '',
                                esc(dialog_range(c))) if m]
            if meta:
                body.append('<p class="meta">%s</p>\n' % '; '.join(meta))
            body.append(paragraphs(c['name']))
            p = plan(c, by_step)
            if p:
                sample, before, steps, pixel, crop = p
                size = SAMPLES[sample]
                segment = steps == ['segment']
                if c['name'] == 'IDM_ZOOM_IN':
                    body.append(figure(figures.crop(sample, size, [], pixel, crop), 'Фрагмент при 1600 %'))
                elif not steps:
                    body.append(figure(figures.window(sample, size, before), 'Открытая картинка'))
                else:
                    shown = ' '.join(steps)
                    body.append(figure(figures.window(sample, size, before), 'До'))
                    body.append(figure(figures.window(sample, size, before + steps, 100 if segment else 50, segment),
                                       'После: ' + shown))
                    if crop:
                        body.append('<br>\n')
                        body.append(figure(figures.crop(sample, size, before, pixel, crop), 'До, 400 %'))
                        body.append(figure(figures.crop(sample, size, before + steps, pixel, crop), 'После, 400 %'))
                if pixel and c['name'] != 'IDM_ZOOM_IN':
                    body.append('<p>Как получен пиксель (%d, %d):</p>\n<pre>%s</pre>\n' % (
                        pixel[0], pixel[1], esc(figures.explain(sample, before + steps, pixel))))
            body.append('</section>\n')

    page = ('<!DOCTYPE html>\n<html lang="ru"><head><meta charset="utf-8">\n'
            '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
            '<title>%s</title>\n<style>%s</style></head>\n<body>\n%s</body></html>\n' % (
                esc(' '.join(texts['title'])), STYLE, ''.join(body)))
    with open(os.path.join(out, 'index.html'), 'w', encoding='utf-8') as f:
        f.write(page)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--cli', required=True)
    parser.add_argument('--texts', default=os.path.join(ROOT, 'docs', 'guide', 'texts.ru.txt'))
    parser.add_argument('--samples', default=os.path.join(ROOT, 'samples'))
    parser.add_argument('--out')
    parser.add_argument('--check', action='store_true')
    args = parser.parse_args()
    table = json.loads(subprocess.run([args.cli, '--list-commands'], capture_output=True, text=True,
                                      check=True).stdout)
    texts = read_texts(args.texts)
    problems = check(table, texts)
    if problems:
        sys.exit('make_guide: %s:\n  %s' % (args.texts, '\n  '.join(problems)))
    if args.check:
        return
    if not args.out:
        parser.error('--out is needed unless --check')
    if os.path.isdir(args.out):
        shutil.rmtree(args.out)
    os.makedirs(args.out)
    write_guide(table, texts, args.cli, args.samples, args.out)


if __name__ == '__main__':
    main()
