#!/usr/bin/env python3
"""Drives the 64-bit lumaforge.exe under Wine on a virtual X server, with the
keyboard and the mouse wheel, and compares what the window shows with what
lumaforge-cli renders for the same steps, client size, scroll and zoom,
pixel for pixel. Pictures other than BMP (made here by lumaforge-cli and
ImageMagick) are decoded by the Windows Imaging Component in the window and
by Qt in lumaforge-cli: both must give the same pixels. Save As must write
what lumaforge-cli -o writes. One pass switches the window to English
through its menu and back: the menu bar, the title, a dialog, a tool window
and the status bar must read as the catalogue gives them (window_probe reads
them), the picture stay as it was.

usage: wine_test.py --exe lumaforge.exe --cli lumaforge-cli --probe window_probe.exe
                    --samples DIR --prefix WINEPREFIX --out DIR

Every wait is bounded; on a failure the screenshots and the expected views
are left in --out. Exit code 0 when everything matched.
"""
import argparse
import json
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import time

TITLE = 'Обработка изображений.'
FILE_DIALOG = 'Открыть графический файл.'
SAVE_DIALOG = 'Сохранить графический файл.'
EXPLAIN_PANEL = 'Как получен пиксель'
JOURNAL_PANEL = 'Журнал'
MEASURE_PANEL = 'Измерение'
KERNEL_DIALOG = 'Свой фильтр'
SCREEN = (1280, 1024)
SETTINGS_KEY = 'HKCU\\Software\\Lumaforge'


def command_table(cli, code='ru'):
    """lumaforge-cli's command table with its texts in language `code`."""
    env = dict(os.environ, LUMAFORGE_LANG=code)
    return json.loads(subprocess.run([cli, '--list-commands'], check=True, capture_output=True, env=env).stdout)


def catalogue(code):
    """{Russian text: translation} of language `code`, as the build compiled
    it from i18n/ (the program shows a text it lacks in Russian)."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
    import texts
    for paths in texts.by_language(texts.catalogues()):
        if os.path.basename(paths[0]).split('.')[0] == code:
            return {msgid: msgstr for msgid, msgstr, _ in texts.read_language(paths)[1] if msgstr}
    raise Failure('no catalogue of language %s in i18n/' % code)


def menu_commands(cli):
    """{caption: (step, value, dialog, in place, (popup, item))} for each
    image command of the menu, from the command table that the program and
    lumaforge-cli share: the caption without mnemonic and shortcut, the
    command-line step, the value the step takes when the dialog's slider is
    pushed to its far right (End; None where that is the initial value, as
    for the block sizes), whether a dialog opens, whether the command works
    in place, and the item's keyboard position (separators take none). Open,
    exit, undo and segmentation are driven on their own."""
    table = command_table(cli)
    by_id = {c['id']: c for c in table['commands']}
    commands = {}
    for p, popup in enumerate(table['menu']):
        item = 0
        for command_id in popup['items']:
            if command_id == 0:
                continue
            c = by_id[command_id]
            if c['runs'] != 'session':
                dialog = c['dialog']
                has_dialog = dialog['kind'] not in ('none', 'file')
                commands[c['caption'].split('\t')[0].replace('&', '').strip()] = (
                    c['step'], dialog.get('max'), has_dialog, c['runs'] == 'in-place', (p, item))
            item += 1
    return commands


MIN_BAR, MAX_BAR = 10, 32  # the thickness a scroll bar may have, in pixels
MAX_STATUS = 48  # the height the status bar may have
ZOOM_PERCENT = {-3: '12.5', -2: '25', -1: '50', 0: '100', 1: '200', 2: '400', 3: '800', 4: '1600', 5: '3200'}
VIEW_POPUP = 6  # Вид: Увеличить, Уменьшить, Исходный размер, По размеру окна, Строка состояния


def zoomed(size, zoom):
    """A picture side in screen pixels: ceil(size * 2^zoom)."""
    return size << zoom if zoom >= 0 else -(-size >> -zoom)


class Failure(Exception):
    pass


def log(text):
    print(text, flush=True)


def wait_until(what, probe, timeout, interval=0.25):
    """Calls probe until it returns something true; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure('timed out after %gs waiting for %s' % (timeout, what))
        time.sleep(interval)


class Picture:
    """Rows top-down of RGB bytes."""

    def __init__(self, width, height, rows):
        self.width, self.height, self.rows = width, height, rows

    @staticmethod
    def from_ppm(data):
        match = re.match(rb'P6\s+(\d+)\s+(\d+)\s+(\d+)\s', data)
        if not match or match.group(3) != b'255':
            raise Failure('unexpected screen grab format')
        w, h = int(match.group(1)), int(match.group(2))
        start = match.end()
        return Picture(w, h, [data[start + y * 3 * w:start + (y + 1) * 3 * w] for y in range(h)])

    @staticmethod
    def from_bmp(path):
        with open(path, 'rb') as f:
            data = f.read()
        offset = struct.unpack_from('<I', data, 10)[0]
        w, h = struct.unpack_from('<ii', data, 18)
        stride = (3 * w + 3) & ~3
        rows = []
        for y in range(h):
            bgr = data[offset + (h - 1 - y) * stride:offset + (h - 1 - y) * stride + 3 * w]
            rgb = bytearray(bgr)
            rgb[0::3], rgb[2::3] = bgr[2::3], bgr[0::3]
            rows.append(bytes(rgb))
        return Picture(w, h, rows)

    def crop(self, x, y, w, h):
        return Picture(w, h, [row[3 * x:3 * (x + w)] for row in self.rows[y:y + h]])

    def save_ppm(self, path):
        with open(path, 'wb') as f:
            f.write(b'P6\n%d %d\n255\n' % (self.width, self.height))
            f.write(b''.join(self.rows))


class Session:
    def __init__(self, args):
        self.args = args
        self.env = dict(os.environ)
        self.processes = []  # what this test started, stopped in reverse order
        self.program = None
        self.window = None
        self.steps = []  # the steps run so far, as lumaforge-cli steps
        self.sample = None
        self.views = 0
        self.scroll = (0, 0)
        self.zoom = 0
        self.status_bar = True  # shown
        self.status_height = None  # learnt from the first view without a horizontal bar
        self.lines = []  # lines drawn straight onto the window since the last paint
        self.client = None
        self.display_pipe = None

    # --- processes -------------------------------------------------------

    def start(self, command, **kw):
        process = subprocess.Popen(command, env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=open(os.path.join(self.args.out, 'stderr.log'), 'ab'), **kw)
        self.processes.append(process)
        return process

    def run(self, command, timeout=30, check=True):
        result = subprocess.run(command, env=self.env, capture_output=True, timeout=timeout)
        if check and result.returncode != 0:
            raise Failure('%s failed: %s' % (' '.join(command), result.stderr.decode(errors='replace').strip()))
        return result

    def start_display(self):
        read_end, write_end = os.pipe()
        self.start(['Xvfb', '-displayfd', str(write_end), '-screen', '0', '%dx%dx24' % SCREEN,
                    '-nolisten', 'tcp', '-noreset'], pass_fds=(write_end,))
        os.close(write_end)
        ready, _, _ = select.select([read_end], [], [], 30)
        if not ready:
            raise Failure('the virtual X server did not start')
        # The read end stays open while the server runs: it writes the number
        # again when it resets, and a closed pipe would end it.
        self.display_pipe = read_end
        display = os.read(read_end, 64).decode().strip()
        self.env['DISPLAY'] = ':' + display
        self.start(['openbox', '--sm-disable'])
        wait_until('the window manager', lambda: b'window id' in self.run(
            ['xprop', '-root', '_NET_SUPPORTING_WM_CHECK'], check=False).stdout, 30)
        log('X display :%s with openbox' % display)

    def map_letters(self, text):
        """Gives every non-ASCII letter of `text` a key of its own. xdotool
        otherwise remaps one spare key for each such letter as it types, and
        a program that reads the key after the next remapping loses letters."""
        table = self.run(['xmodmap', '-pke']).stdout.decode()
        free = [int(k) for k in re.findall(r'^keycode\s+(\d+) =\s*$', table, re.M)]
        letters = sorted({c for c in text if ord(c) > 127})
        if len(free) < len(letters):
            raise Failure('not enough free key codes for %r' % ''.join(letters))
        for keycode, letter in zip(free, letters):
            self.run(['xmodmap', '-e', 'keycode %d = U%04X' % (keycode, ord(letter))])

    def prepare_wine(self):
        self.env.update(WINEPREFIX=self.args.prefix, WINEDLLOVERRIDES='mscoree=;mshtml=', WINEDEBUG='-all')
        if not os.path.exists(os.path.join(self.args.prefix, 'system.reg')):
            log('creating the Wine prefix (once)')
            started = time.monotonic()
            self.run([self.args.wine, 'wineboot', '-i'], timeout=300)
            log('  %.0fs' % (time.monotonic() - started))
        # No language kept from an earlier run: the program starts in Russian.
        self.run([self.args.wine, 'reg', 'delete', SETTINGS_KEY, '/f'], timeout=60, check=False)

    def stop(self):
        if self.program is not None and self.program.poll() is None:
            os.killpg(self.program.pid, signal.SIGKILL)
        if 'WINEPREFIX' in self.env:
            self.run(['wineserver', '-k'], timeout=30, check=False)
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
        if self.display_pipe is not None:
            os.close(self.display_pipe)

    # --- the program's windows ---------------------------------------------

    def find_window(self, title, visible=False):
        pattern = '^' + re.escape(title) + '$'
        only = ['--onlyvisible'] if visible else []
        found = self.run(['xdotool', 'search'] + only + ['--name', pattern], check=False).stdout.split()
        return found[0].decode() if found else None

    def wait_window(self, title, timeout=30, visible=False):
        return wait_until('window "%s"' % title, lambda: self.find_window(title, visible), timeout)

    def wait_gone(self, title, timeout=30, visible=False):
        wait_until('window "%s" to close' % title, lambda: self.find_window(title, visible) is None, timeout)

    def key(self, *keys, window=None):
        target = window or self.window
        self.run(['xdotool', 'windowactivate', '--sync', target], timeout=10, check=False)
        for k in keys:
            self.run(['xdotool', 'key', '--clearmodifiers', k], timeout=10)
            time.sleep(0.15)

    def grab(self):
        shot = Picture.from_ppm(self.run(['import', '-window', 'root', '-depth', '8', 'ppm:-'], timeout=30).stdout)
        # xwininfo, not xdotool: under a reparenting window manager xdotool
        # counts the frame's offset twice.
        info = self.run(['xwininfo', '-id', self.window]).stdout.decode()
        field = lambda name: int(re.search(name + r':\s+(-?\d+)', info).group(1))
        x, y = field('Absolute upper-left X'), field('Absolute upper-left Y')
        w, h = field('Width'), field('Height')
        return shot, shot.crop(x, y, w, h)

    def expected_view(self, width, height):
        path = os.path.join(self.args.out, 'expected-%d.bmp' % self.views)
        command = [self.args.cli, self.sample] + self.steps + [
            '--view', path, '--client', '%dx%d' % (width, height), '--scroll', '%d,%d' % self.scroll,
            '--zoom', ZOOM_PERCENT[self.zoom]]
        self.run(command)
        picture = Picture.from_bmp(path)
        rows = [bytearray(row) for row in picture.rows]
        sx, sy = self.scroll
        for x0, y0, x1, y1 in self.lines:  # horizontal or vertical, end point left out
            xs = range(x0, x1, 1 if x1 >= x0 else -1) if y0 == y1 else [x0]
            ys = range(y0, y1, 1 if y1 >= y0 else -1) if x0 == x1 else [y0]
            for y in ys:
                for x in xs:
                    if 0 <= x - sx < width and 0 <= y - sy < height:
                        rows[y - sy][3 * (x - sx):3 * (x - sx) + 3] = b'\0\0\0'
        picture.rows = [bytes(row) for row in rows]
        return picture

    def find_client(self, window, expected):
        """The view's rectangle (top, width, height) inside the window: below
        the menu bar, left of the vertical scroll bar and above the status bar
        and the horizontal scroll bar when they show. It is the largest one
        that shows `expected` (rendered for the whole window: the view's
        pixels do not depend on the client size) exactly."""
        def common_prefix(a, b):  # in pixels
            low, high = 0, min(len(a), len(b)) // 3
            while low < high:
                mid = (low + high + 1) // 2
                if a[:3 * mid] == b[:3 * mid]:
                    low = mid
                else:
                    high = mid - 1
            return low

        bars = [0] + list(range(MIN_BAR, MAX_BAR + 1))  # scroll bar thickness, none or some
        below_view = range(0, MAX_BAR + MAX_STATUS + 1)  # status bar and scroll bar, either or both
        best = None
        for top in range(0, 80):
            if window.rows[top][:3 * 64] != expected.rows[0][:3 * 64]:
                continue
            widths = []
            for y in range(window.height - top):
                widths.append(common_prefix(window.rows[top + y], expected.rows[y]))
                if widths[-1] < window.width - MAX_BAR:
                    break
            for below in below_view:
                height = window.height - top - below
                if height <= 0 or height > len(widths):
                    continue
                narrowest = min(widths[:height])
                beside = min((b for b in bars if window.width - b <= narrowest), default=None)
                if beside is None:
                    continue
                found = (top, window.width - beside, height)
                if best is None or found[1] * found[2] > best[1] * best[2]:
                    best = found
            if best:
                return best
        return None

    def check_view(self, label, picture_size, timeout=30, quiet=False):
        """Waits until the client area shows exactly what the renderer draws
        after the steps so far, for that client size, with the scroll bars
        shown exactly when the content is larger than the client. A window
        whose bars are still coming or going (a paint sets their ranges, and
        the resize that follows paints again) is waited for, not failed."""
        self.views += 1
        last = {}
        w, h = zoomed(picture_size[0], self.zoom), zoomed(picture_size[1], self.zoom)

        def bars_of(window, client):
            top, width, height = client
            below = window.height - top - height
            if self.status_bar and self.status_height is None:
                # Learnt from two grabs in a row without bars, the window settled.
                if w + 283 > width or max(h, 417) > height or width < window.width:
                    return None
                if last.get('status') != below:
                    last['status'] = below
                    return None
                self.status_height = below
                log('  the status bar is %d pixels high' % below)
            status = self.status_height if self.status_bar else 0
            return below > status, width < window.width

        def matches():
            shot, window = self.grab()
            last.update(window=window)
            if last.get('size') != (window.width, window.height):
                last.update(size=(window.width, window.height),
                            whole=self.expected_view(window.width, window.height))
            client = self.find_client(window, last['whole'])
            if client is None:
                return None
            top, width, height = client
            exact = self.expected_view(width, height)
            if window.crop(0, top, width, height).rows != exact.rows:
                return None
            bars = bars_of(window, client)
            if bars is None:
                return None
            if bars != (w + 283 > width, max(h, 417) > height):
                last['bars'] = 'scroll bars %s/%s for a %dx%d picture in a %dx%d client area' % (
                    bars[0], bars[1], w, h, width, height)
                return None
            last.pop('bars', None)
            return client, bars

        try:
            (top, width, height), (horizontal, vertical) = wait_until('the view after ' + label, matches, timeout,
                                                                      interval=0.5)
        except Failure:
            if last:
                last['window'].save_ppm(os.path.join(self.args.out, 'failed-%d-window.ppm' % self.views))
                last['whole'].save_ppm(os.path.join(self.args.out, 'failed-%d-expected.ppm' % self.views))
            if 'bars' in last:
                raise Failure('after %s: %s' % (label, last['bars']))
            raise
        window = last['window']
        if not quiet:
            log('  %s: the %dx%d client area matches the renderer (%s %%, scroll %d,%d; bars: %s)'
                % (label, width, height, ZOOM_PERCENT[self.zoom], self.scroll[0], self.scroll[1],
                   ' and '.join(n for n, b in (('horizontal', horizontal), ('vertical', vertical)) if b) or 'none'))
        self.client = (top, width, height)
        return window

    def check_picture_close(self, label, size, tolerance=2):
        """For a JPEG, which two decoders may round differently here and
        there: waits until the window shows the picture as lumaforge-cli
        renders it, every channel within `tolerance` and at most one pixel in
        a thousand off at all."""
        w, h = size
        expected = self.expected_view(w, h)
        found = {}

        def close():
            window = self.grab()[1]
            for top in range(0, min(80, window.height - h)):
                first = window.rows[top][:3 * w]
                if max(abs(a - b) for a, b in zip(first, expected.rows[0])) > tolerance:
                    continue
                off, worst = 0, 0
                for y in range(h):
                    row, want = window.rows[top + y][:3 * w], expected.rows[y]
                    if row == want:
                        continue
                    for x in range(w):
                        d = max(abs(row[3 * x + c] - want[3 * x + c]) for c in range(3))
                        off, worst = off + (d > 0), max(worst, d)
                if worst <= tolerance and off * 1000 <= w * h:
                    found.update(off=off, worst=worst)
                    return True
            return False

        wait_until('the picture after ' + label, close, 30, interval=0.5)
        log('  %s: the %dx%d picture matches lumaforge-cli\'s within %d (%d pixels off)'
            % (label, w, h, found['worst'], found['off']))

    # --- the scenario -----------------------------------------------------

    def screenshot(self, name):
        self.run(['import', '-window', 'root', os.path.join(self.args.out, name)], timeout=30)

    def picture_size(self, path):
        """Width and height of a picture as the program opens it."""
        stats = json.loads(self.run([self.args.cli, path, '--stats']).stdout)
        return stats['width'], stats['height']

    def type_path(self, title, shortcut, path):
        """Opens the file dialog `title` by its shortcut, types the path as
        Wine names it, and confirms with Enter."""
        self.key(shortcut)
        dialog = self.wait_window(title)
        wine_path = 'Z:' + os.path.abspath(path).replace('/', '\\')
        self.run(['xdotool', 'windowactivate', '--sync', dialog], timeout=10, check=False)
        self.run(['xdotool', 'type', '--delay', '40', wine_path], timeout=60)
        self.key('Return', window=dialog)
        self.wait_gone(title)

    def open_file(self, path):
        self.type_path(FILE_DIALOG, 'ctrl+o', path)
        self.sample, self.steps = path, []
        self.zoom = 0  # a new picture shows at 100 %
        return self.picture_size(path)

    def save_as(self, name):
        """Save As with a name typed with .bmp over the proposed PNG name.
        The file must be what lumaforge-cli -o writes for the same steps."""
        saved = name + '.bmp'
        if os.path.exists(saved):
            os.remove(saved)
        self.type_path(SAVE_DIALOG, 'ctrl+shift+s', saved)
        wait_until('Save As to write ' + saved, lambda: os.path.exists(saved), 30)
        expected = os.path.join(self.args.out, 'expected-saved.bmp')
        self.run([self.args.cli, self.sample] + self.steps + ['-o', expected])
        with open(saved, 'rb') as f, open(expected, 'rb') as g:
            if f.read() != g.read():
                raise Failure('%s is not what lumaforge-cli -o writes' % saved)
        log('  Save As: %s, byte for byte what lumaforge-cli -o writes' % os.path.basename(saved))

    def param_dialog(self, shortcut, title, keys, step, screenshot=None):
        self.key(shortcut)
        dialog = self.wait_window(title)
        for k in keys:
            self.key(k, window=dialog)
        if screenshot:
            time.sleep(0.5)
            self.screenshot(screenshot)
        self.key('Escape' if step is None else 'Return', window=dialog)
        self.wait_gone(title)
        if step is not None:
            self.steps.append(step)

    def kernel_dialog(self, size):
        """The kernel dialog's fields reach the command: from the first
        weight, two Shift+Tabs reach the preset list, End picks its last
        preset (emboss), two Tabs reach the first weight, typed over; Enter
        is OK. The view must be lumaforge-cli's for the same kernel word."""
        # The filter keeps its frame from the other record, which the noise
        # of every_menu_command left unrecorded: a negative and its undo
        # give it known bytes first.
        self.key('ctrl+n', 'ctrl+z')
        self.steps += ['negative', 'undo']
        self.check_view('Ctrl+N, Ctrl+Z before the kernel dialog', size, quiet=True)
        commands = menu_commands(self.args.cli)
        caption = next(c for c in commands if commands[c][0] == 'kernel')
        self.menu(*commands[caption][4])
        dialog = self.wait_window(KERNEL_DIALOG)
        self.key('shift+Tab', 'shift+Tab', 'End', 'Tab', 'Tab', 'minus', '3', window=dialog)
        time.sleep(0.5)
        self.screenshot('screen-kernel-dialog.png')
        self.key('Return', window=dialog)
        self.wait_gone(KERNEL_DIALOG)
        self.steps.append('kernel=3:-3,-1,0,-1,0,1,0,1,1/1+0,plus128,luma')
        self.check_view('the kernel dialog: emboss, its first weight typed over', size)

    def probe(self, what, title):
        return self.run([self.args.wine, self.args.probe, what, title]).stdout.decode().splitlines()

    def menu_bar(self, title):
        """The window's menu bar captions and the language items checked."""
        lines = self.probe('menu', title)
        captions = [line.split('\t', 1)[1] for line in lines if line.startswith('menu\t')]
        checked = [int(line.split('\t')[1]) for line in lines if line.startswith('language\t') and
                   line.endswith('\tchecked')]
        return captions, checked

    def remembered_language(self):
        found = re.search(r'Language\s+REG_SZ\s+(\S+)', self.run(
            [self.args.wine, 'reg', 'query', SETTINGS_KEY, '/v', 'Language'], timeout=60, check=False).stdout.decode())
        return found.group(1) if found else None

    def choose_language(self, table, index):
        """Вид > Язык / Language > the index-th language, by keyboard."""
        row = table['languages']['menu_id']
        popup = next(p for p, items in enumerate(table['menu']) if row in items['items'])
        item = [i for i in table['menu'][popup]['items'] if i].index(row)
        self.key('F10', *['Right'] * popup, 'Down', *['Down'] * item, 'Right', *['Down'] * index, 'Return')

    def check_language(self, table, title, code):
        """The menu bar is the table's (the language's item checked), the
        title `title`, and the choice kept for the next start."""
        item = next(i for i in table['languages']['items'] if i['code'] == code)
        want = ([p['caption'] for p in table['menu']], [item['id']])
        got = {}

        def matches():
            got['menu'] = self.menu_bar(title) if self.find_window(title) else None
            return got['menu'] == want

        try:
            wait_until('the menu bar in %s' % code, matches, 15, interval=0.5)
        except Failure:
            raise Failure('the window "%s" shows the menu %r, the %s table gives %r' % (title, got['menu'], code, want))
        if self.remembered_language() != code:
            raise Failure('the registry keeps %r, not %s' % (self.remembered_language(), code))

    def language_pass(self, size):
        """Вид > Язык / Language > English with the explanation panel open:
        the menu bar, the title, the panel's title and the status bar change
        at once, the kernel dialog opens in English; Русский brings every
        text back and the picture stays as it was."""
        russian, english = command_table(self.args.cli, 'ru'), command_table(self.args.cli, 'en')
        tr = catalogue('en')
        en = lambda text: tr.get(text, text)
        status = self.probe('status', TITLE)
        self.key('ctrl+e')
        self.wait_window(EXPLAIN_PANEL, visible=True)

        self.choose_language(russian, 1)
        self.check_language(english, en(TITLE), 'en')
        self.wait_window(en(EXPLAIN_PANEL), visible=True)
        # The pixel under the cursor aside, the status bar's parts as the
        # catalogue gives them.
        got = self.probe('status', en(TITLE))
        if got[1:] != [en(part) for part in status[1:]]:
            raise Failure('the status bar reads %r in English, %r in Russian' % (got, status))
        caption = next(c['caption'] for c in english['commands'] if c['step'] == 'kernel')
        position = next(v[4] for v in menu_commands(self.args.cli).values() if v[0] == 'kernel')
        self.menu(*position)
        dialog = self.wait_window(en(KERNEL_DIALOG))
        time.sleep(0.5)
        self.screenshot('screen-english.png')
        texts = self.probe('children', en(KERNEL_DIALOG))
        wanted = [en(t) for t in ('Образец:', 'Делитель:', 'авто (сумма весов)', 'Отмена')]
        if not set(wanted) <= set(texts):
            raise Failure('the kernel dialog (%s) shows %r, not %r' % (caption, texts, wanted))
        self.key('Escape', window=dialog)
        self.wait_gone(en(KERNEL_DIALOG))
        log('  in English: menu bar %s, "%s", "%s", status %r' % (' '.join(english['menu'][i]['caption'].strip()
            for i in range(len(english['menu']))), en(TITLE), en(KERNEL_DIALOG), got[1:]))

        self.choose_language(english, 0)
        self.check_language(russian, TITLE, 'ru')
        self.wait_window(EXPLAIN_PANEL, visible=True)
        if self.probe('status', TITLE)[1:] != status[1:]:
            raise Failure('the status bar reads %r back in Russian, %r before' % (self.probe('status', TITLE), status))
        self.key('ctrl+e')
        self.wait_gone(EXPLAIN_PANEL, visible=True)
        self.check_view('English and back to Russian', size)

    def menu(self, popup, item=0):
        """Chooses a menu item by keyboard, both counted from 0."""
        self.key('F10', *['Right'] * popup, 'Down', *['Down'] * item, 'Return')

    def every_menu_command(self, size):
        """Runs each command of the menu once from its popup, every dialog
        confirmed at the slider's far right, and compares the view with the
        renderer's. Commands that show their result are undone at once, so
        each works on the opened picture; noise, which draws random points,
        runs last and is compared only through its undo."""
        commands = menu_commands(self.args.cli)
        order = sorted(commands, key=lambda caption: (commands[caption][0] == 'noise', commands[caption][4]))
        skipped = []
        for caption in order:
            step, value, has_dialog, in_place, position = commands[caption]
            cli_step = step if value is None else '%s=%d' % (step, value)
            probe = self.run([self.args.cli, self.sample] + self.steps + [cli_step, '--seed', '1'], check=False)
            if probe.returncode != 0:
                skipped.append(step)
                continue
            before = self.client_rows() if step == 'noise' else None
            self.menu(*position)
            if has_dialog:
                dialog = wait_until('the dialog of ' + caption, lambda: self.active_window(other_than=self.window), 30)
                self.key('End', 'Return', window=dialog)
                wait_until('the dialog of %s to close' % caption, lambda: self.active_window() == self.window, 30)
            if step == 'noise':
                wait_until('noise on the view', lambda: self.client_rows() != before, 30, interval=0.5)
                self.key('ctrl+z')
                self.check_view('noise, then Ctrl+Z', size)
                continue
            self.steps.append(cli_step)
            self.check_view('the menu\'s ' + caption, size, quiet=True)
            if not in_place:
                self.key('ctrl+z')
                self.steps.append('undo')
        log('  every menu command: %d run and compared%s' % (len(order) - len(skipped), (
            '; lumaforge-cli cannot run %s yet, left out' % ', '.join(skipped)) if skipped else ''))

    def active_window(self, other_than=None):
        active = self.run(['xdotool', 'getactivewindow'], check=False).stdout.decode().strip()
        return active if active and active != other_than else None

    def client_rows(self):
        top, width, height = self.client
        return self.grab()[1].crop(0, top, width, height).rows

    def click(self, x, y, button=1, modifier=None):
        """A click at (x, y) of the window; buttons 4 and 5 turn the wheel
        away from the user and towards them."""
        info = self.run(['xwininfo', '-id', self.window]).stdout.decode()
        field = lambda name: int(re.search(name + r':\s+(-?\d+)', info).group(1))
        click = ['click', str(button)]
        if modifier:
            click = ['keydown', modifier] + click + ['keyup', modifier]
        self.run(['xdotool', 'mousemove', '--sync', str(field('Absolute upper-left X') + x),
                  str(field('Absolute upper-left Y') + y)] + click)

    def move_to(self, x, y):
        """The cursor to (x, y) of the window, no button pressed."""
        info = self.run(['xwininfo', '-id', self.window]).stdout.decode()
        field = lambda name: int(re.search(name + r':\s+(-?\d+)', info).group(1))
        self.run(['xdotool', 'mousemove', '--sync', str(field('Absolute upper-left X') + x),
                  str(field('Absolute upper-left Y') + y)])

    def explanation(self, pixel):
        """lumaforge-cli --explain-text of a picture pixel after the steps so far."""
        return self.run([self.args.cli, self.sample] + self.steps +
                        ['--explain-text', '%d,%d' % pixel]).stdout.decode()

    def check_copied(self, panel, expected, what):
        """Ctrl+C in the panel copies its text; Wine hands the clipboard to X,
        where it must read as `expected` (line ends aside)."""
        self.key('ctrl+c', window=panel)
        copied = {}

        def matches():
            result = self.run(['xclip', '-o', '-selection', 'clipboard', '-t', 'UTF8_STRING'], check=False)
            copied['text'] = result.stdout.decode(errors='replace').replace('\r\n', '\n')
            return copied['text'].rstrip('\n') == expected.rstrip('\n')

        try:
            wait_until('the panel\'s text for ' + what, matches, 15, interval=0.5)
        except Failure:
            with open(os.path.join(self.args.out, 'failed-explanation.txt'), 'w') as f:
                f.write('copied:\n%s\nexpected:\n%s' % (copied.get('text'), expected))
            raise
        log('  the panel explains %s as lumaforge-cli --explain-text does (%d lines)'
            % (what, expected.count('\n')))

    def explain_panel(self, size):
        """Ctrl+E opens the panel; the pixel last clicked stays explained while
        the cursor moves on, a click beside the picture lets the panel follow
        the cursor, and its text is lumaforge-cli's --explain-text. Alt+F4
        closes the panel alone, and the item's state follows: Ctrl+E then
        opens it again."""
        if self.zoom != 0 or self.scroll != (0, 0):
            raise Failure('the panel check expects the picture at natural size, not scrolled')
        top, _, height = self.client
        pinned, hovered = (123, 77), (301, 203)  # picture pixels, and client points at natural size
        if self.explanation(pinned) == self.explanation(hovered):
            raise Failure('two pixels with the same explanation cannot tell pinned from hovered')
        self.key('ctrl+e')
        panel = self.wait_window(EXPLAIN_PANEL, visible=True)
        self.click(pinned[0], top + pinned[1])
        self.move_to(hovered[0], top + hovered[1])
        time.sleep(0.5)
        self.screenshot('screen-explain.png')
        self.check_copied(panel, self.explanation(pinned), 'the pixel clicked, %d,%d' % pinned)
        beside = top + size[1] + 20
        if beside >= top + height:
            raise Failure('no room below the picture for a click beside it')
        self.click(40, beside)
        self.move_to(hovered[0], top + hovered[1])
        self.check_copied(panel, self.explanation(hovered), 'the pixel under the cursor, %d,%d' % hovered)

        self.key('alt+F4', window=panel)
        self.wait_gone(EXPLAIN_PANEL, visible=True)
        if self.program.poll() is not None:
            raise Failure('Alt+F4 in the panel ended the program')
        self.key('ctrl+e')
        self.wait_window(EXPLAIN_PANEL, visible=True)
        self.key('ctrl+e')
        self.wait_gone(EXPLAIN_PANEL, visible=True)
        self.check_view('the panel closed again', size)

    def journal_panel(self):
        """Shift+J opens the journal; Ctrl+C there copies the session's
        command line for cmd.exe, whose steps are the ones sent so far; its
        close box shuts it and the item's state follows."""
        self.key('shift+j')
        panel = self.wait_window(JOURNAL_PANEL, visible=True)
        time.sleep(0.5)
        self.screenshot('screen-journal.png')
        self.key('ctrl+c', window=panel)
        expected = ' '.join(self.steps)
        copied = {}

        def matches():
            result = self.run(['xclip', '-o', '-selection', 'clipboard', '-t', 'UTF8_STRING'], check=False)
            copied['text'] = result.stdout.decode(errors='replace')
            return copied['text'].startswith('lumaforge-cli ') and copied['text'].endswith(' ' + expected)

        try:
            wait_until('the journal\'s command line', matches, 15, interval=0.5)
        except Failure:
            raise Failure('the journal copied %r, not a line ending in %r' % (copied.get('text'), expected))
        log('  the journal copies %r' % copied['text'])
        self.key('alt+F4', window=panel)
        self.wait_gone(JOURNAL_PANEL, visible=True)

    def measure_region(self):
        """Shift+O and a drag from one corner past the other: the panel's
        numbers, copied with Ctrl+C, are lumaforge-cli --region's, before and
        after; Shift+U closes the panel. The rectangle stays drawn until the
        next picture of another size."""
        if self.zoom != 0 or self.scroll != (0, 0):
            raise Failure('the region check expects the picture at natural size, not scrolled')
        top = self.client[0]
        self.key('shift+o')
        panel = self.wait_window(MEASURE_PANEL, visible=True)
        info = self.run(['xwininfo', '-id', self.window]).stdout.decode()
        left, upper = (int(re.search(name + r':\s+(-?\d+)', info).group(1))
                       for name in ('Absolute upper-left X', 'Absolute upper-left Y'))
        self.run(['xdotool', 'mousemove', '--sync', str(left + 130), str(upper + top + 90), 'mousedown', '1',
                  'mousemove', '--sync', str(left + 80), str(upper + top + 60),
                  'mousemove', '--sync', str(left + 30), str(upper + top + 40), 'mouseup', '1'])
        region = json.loads(self.run([self.args.cli, self.sample] + self.steps + ['--region', '30,40,101,51']).stdout)
        names = {'r': 'R', 'g': 'G', 'b': 'B', 'luma': 'яркость'}
        expected = 'картинка\tканал\tчисло\tмин\tмакс\tсреднее\tст. откл.\tмедиана\n'
        for which, stats in (('на экране', region['shown']), ('другая', region['other'])):
            for key in ('r', 'g', 'b', 'luma'):
                s = stats[key]
                expected += '%s\t%s\t%d\t%d\t%d\t%.4f\t%.4f\t%d\n' % (which, names[key], s['count'], s['min'],
                                                                   s['max'], s['mean'], s['std'], s['median'])
        time.sleep(0.5)
        self.screenshot('screen-region.png')
        self.key('ctrl+c', window=panel)
        copied = {}

        def matches():
            result = self.run(['xclip', '-o', '-selection', 'clipboard', '-t', 'UTF8_STRING'], check=False)
            copied['text'] = result.stdout.decode(errors='replace').replace('\r\n', '\n')
            return copied['text'] == expected

        try:
            wait_until('the region\'s numbers on the clipboard', matches, 15, interval=0.5)
        except Failure:
            with open(os.path.join(self.args.out, 'failed-region.txt'), 'w') as f:
                f.write('copied:\n%s\nexpected:\n%s' % (copied.get('text'), expected))
            raise
        log('  a dragged rectangle\'s numbers are lumaforge-cli --region\'s, before and after')
        self.key('shift+u')
        self.wait_gone(MEASURE_PANEL, visible=True)

    def status_strip(self):
        """The status bar's rows under the view, as the screen shows them."""
        top, width, height = self.client
        return self.grab()[1].crop(0, top + height, width, self.status_height).rows

    def status_has_text(self):
        """Whether the status bar's left part, the pixel under the cursor,
        shows anything: dark text on its face (the zoom, size and file name
        stay at its right)."""
        return sum(1 for row in self.status_strip() for i in range(0, len(row) // 2 // 3 * 3, 3)
                   if max(row[i:i + 3]) < 96) > 20

    def zoom_and_wheel(self, size):
        """Ctrl and the wheel zoom about the cursor to 400 %, the wheel and
        Shift with it scroll, the status bar follows the cursor and hides from
        the menu, fitting returns to natural size."""
        top = self.client[0]
        cx, cy = 200, 150  # a point of the picture at natural size, scrolled to 0,0
        for _ in range(2):
            self.click(cx, top + cy, 4, 'ctrl')
            # The screen pixel under the cursor doubles, the scroll follows it.
            self.zoom += 1
            w, h = zoomed(size[0], self.zoom), zoomed(size[1], self.zoom)
            _, width, height = self.client
            sx, sy = [min(max(2 * (c + s) - c, 0), max(limit, 0)) for c, s, limit in (
                (cx, self.scroll[0], w + 283 - width), (cy, self.scroll[1], max(h, 417) - height))]
            self.scroll = (sx, sy)
            self.check_view('Ctrl and the wheel at %d,%d' % (cx, cy), size)
        self.screenshot('screen-400.png')
        if not self.status_has_text():
            raise Failure('the status bar is empty with the cursor over the picture')
        self.click(cx, top + cy, 5)
        self.scroll = (self.scroll[0], self.scroll[1] + 48)
        self.check_view('a notch of the wheel', size)
        self.click(cx, top + cy, 5, 'shift')
        self.scroll = (self.scroll[0] + 48, self.scroll[1])
        self.check_view('a notch of the wheel with Shift', size)

        self.menu(VIEW_POPUP, 3)  # По размеру окна: natural size fits, the scroll goes to the edge
        self.zoom, self.scroll = 0, (0, 0)
        self.check_view('the menu\'s Вид > По размеру окна', size)
        _, width, height = self.client
        self.click(width - 20, top + height // 2, 1)  # right of the panel: no picture pixel
        wait_until('an empty status bar', lambda: not self.status_has_text(), 10)
        self.menu(VIEW_POPUP, 4)  # Строка состояния: hidden, the view grows
        self.status_bar = False
        self.check_view('the menu\'s Вид > Строка состояния (hidden)', size)
        if self.client[2] <= height:
            raise Failure('hiding the status bar left the view %d rows high' % self.client[2])
        self.menu(VIEW_POPUP, 4)
        self.status_bar = True
        self.check_view('the menu\'s Вид > Строка состояния (shown)', size)

    def pixel_values(self):
        """Ctrl+= to 1600 %, where each pixel shows its values, and Ctrl+0 back."""
        size = self.open_file(self.small)
        self.check_view('opening a 48x32 picture', size)
        for zoom in range(1, 5):
            self.key('ctrl+equal')
            self.zoom = zoom
            self.check_view('Ctrl+= to %s %%' % ZOOM_PERCENT[zoom], size, quiet=zoom not in (2, 4))
        self.screenshot('screen-1600.png')
        self.key('ctrl+minus')
        self.zoom = 3
        self.check_view('Ctrl+-', size)
        self.key('ctrl+0')
        self.zoom = 0
        self.check_view('Ctrl+0', size)

    def segmentation_frames(self):
        """The frames lumaforge-cli reports for segmenting the picture on
        display, as lines in client pixels; None when it cannot segment."""
        result = self.run([self.args.cli, self.sample] + self.steps + ['segment'], check=False)
        if result.returncode != 0:
            return None
        with open(self.sample, 'rb') as f:
            height = struct.unpack_from('<i', f.read(26), 22)[0]
        lines = []
        for line in result.stdout.decode().splitlines():
            _, start, end, bottom, top = line.split()
            start, end = int(start), int(end)
            yb, yt = height - 1 - int(bottom), height - 1 - int(top)
            # Lower and upper edges, then left and right ones; a line stops
            # short of its end point.
            lines += [(start, yb, end, yb), (start, yt, end, yt), (start, yb, start, yt), (end, yb, end, yt)]
        return lines

    def scenario(self):
        # A file whose name is outside every single-byte code page but one.
        cyrillic = os.path.join(self.args.out, 'снимок.bmp')
        shutil.copyfile(os.path.join(self.args.samples, 'photo.bmp'), cyrillic)
        self.map_letters(cyrillic)

        started = time.monotonic()
        self.program = self.start([self.args.wine, self.args.exe], start_new_session=True)
        self.window = self.wait_window(TITLE, timeout=120)
        name = self.run(['xdotool', 'getwindowname', self.window]).stdout.decode().rstrip('\n')
        if name != TITLE:
            raise Failure('window title %r' % name)
        # Keys reach the window only once it holds the focus.
        wait_until('the window to take the focus', lambda: self.run(
            ['xdotool', 'getactivewindow'], check=False).stdout.decode().strip() == self.window, 30)
        log('  window "%s" up after %.0fs' % (name, time.monotonic() - started))

        size = self.open_file(cyrillic)
        window = self.check_view('opening снимок.bmp through the file dialog', size)
        self.screenshot('screen-opened.png')
        if self.status_height is None or not 10 <= self.status_height <= MAX_STATUS:
            raise Failure('no status bar under the view (%r rows)' % self.status_height)
        # The menu bar: its captions drawn in dark text above the client area.
        top = self.client[0]
        bar = window.crop(0, 0, window.width, top)
        dark = sum(1 for row in bar.rows for i in range(0, len(row), 3) if max(row[i:i + 3]) < 96)
        if top < 10 or dark < 200:
            raise Failure('no menu bar above the client area (%d rows, %d dark pixels)' % (top, dark))
        self.zoom_and_wheel(size)

        self.key('ctrl+s')
        self.steps.append('sobel')
        self.check_view('Ctrl+S', size)
        self.explain_panel(size)
        self.key('ctrl+z')
        self.steps.append('undo')
        self.check_view('Ctrl+Z after Sobel', size)

        self.key('ctrl+n')
        self.steps.append('negative')
        self.check_view('Ctrl+N', size)
        self.key('ctrl+z')
        self.steps.append('undo')
        self.check_view('Ctrl+Z', size)
        self.menu(5)  # Редактирование > Отмена
        self.steps.append('undo')
        self.check_view('the menu\'s Редактирование > Отмена', size)
        self.journal_panel()
        self.check_view('the journal closed', size)

        self.param_dialog('ctrl+b', 'Порог для бинаризации', ['Right'], 'binarize=129', 'screen-dialog.png')
        self.check_view('binarization at 129', size)
        self.param_dialog('ctrl+y', 'Преобразование яркости', ['Home'], None)
        self.check_view('a cancelled brightness dialog', size)
        self.param_dialog('ctrl+y', 'Преобразование яркости', ['Home'], 'brightness=-100')
        self.check_view('brightness at -100%', size)

        # Other formats through the same file dialog: a PNG, whose negative
        # Save As then writes as a BMP; a palette GIF; a photo as a JPEG.
        pictures = self.other_formats()
        size = self.open_file(pictures['png'])
        self.check_view('opening a PNG through the file dialog', size)
        self.key('ctrl+n')
        self.steps.append('negative')
        self.check_view('Ctrl+N on the PNG', size)
        self.save_as(os.path.join(self.args.out, 'saved'))
        size = self.open_file(pictures['gif'])
        self.check_view('opening a GIF through the file dialog', size)
        size = self.open_file(pictures['jpg'])
        self.check_picture_close('opening a JPEG through the file dialog', size)

        size = self.open_file(os.path.join(self.args.samples, 'text.bmp'))
        self.check_view('opening text.bmp', size)
        frames = self.segmentation_frames()
        if frames is None:
            log('  segmentation: lumaforge-cli cannot segment yet, left out')
        else:
            self.menu(4)  # Распознавание > Сегментирование
            self.lines = frames
            self.check_view('the menu\'s Распознавание > Сегментирование (%d frames)' % (len(frames) // 4), size)
            self.screenshot('screen-segmented.png')
            self.lines = []
        self.key('ctrl+n')
        self.steps.append('negative')
        self.check_view('Ctrl+N on text.bmp', size)
        self.measure_region()

        self.small = os.path.join(self.args.out, 'small.bmp')
        write_test_picture(self.small, 48, 32)
        self.pixel_values()

        size = self.open_file(os.path.join(self.args.samples, 'odd.bmp'))
        self.check_view('opening odd.bmp', size)
        self.every_menu_command(size)
        self.kernel_dialog(size)
        self.language_pass(size)

        # A picture larger than the screen: both scroll bars, one line step each.
        big = os.path.join(self.args.out, 'big.bmp')
        write_test_picture(big, 1500, 1200)
        size = self.open_file(big)
        self.check_view('opening a 1500x1200 picture', size)
        top, width, height = self.client
        status = self.status_height  # between the view and the horizontal bar
        bar = window.height - top - height - status
        self.click(width - bar // 2 - 1, top + height + status + bar // 2)
        self.scroll = (5, 0)
        self.check_view('a click on the horizontal bar\'s right arrow', size)
        self.click(width + bar // 2, top + height - bar // 2 - 1)
        self.scroll = (5, 1)
        self.check_view('a click on the vertical bar\'s down arrow', size)
        self.screenshot('screen-scrolled.png')

        self.key('alt+F4')
        try:
            code = self.program.wait(30)
        except subprocess.TimeoutExpired:
            raise Failure('the program did not end within 30s of Alt+F4')
        if code != 0:
            raise Failure('exit code %d after Alt+F4' % code)
        log('  Alt+F4: exit code 0 after %.0fs in all' % (time.monotonic() - started))

        # A picture named on the command line, as "Open with" passes it.
        gif = pictures['gif']
        self.program = self.start([self.args.wine, self.args.exe, 'Z:' + os.path.abspath(gif).replace('/', '\\')],
                                  start_new_session=True)
        self.window = self.wait_window(TITLE, timeout=120)
        self.sample, self.steps, self.scroll = gif, [], (0, 0)
        self.check_view('a GIF named on the command line', self.picture_size(gif))
        wait_until('the window to take the focus', lambda: self.active_window() == self.window, 30)
        self.key('alt+F4')
        if self.program.wait(30) != 0:
            raise Failure('exit code %d after Alt+F4' % self.program.returncode)

    def other_formats(self):
        """A PNG (written by lumaforge-cli), a GIF and a JPEG (ImageMagick) of
        the samples."""
        out, samples = self.args.out, self.args.samples
        pictures = {kind: os.path.join(out, 'picture.' + kind) for kind in ('png', 'gif', 'jpg')}
        self.run([self.args.cli, os.path.join(samples, 'photo.bmp'), '-o', pictures['png']])
        self.run(['convert', os.path.join(samples, 'odd.bmp'), pictures['gif']])
        self.run(['convert', os.path.join(samples, 'photo.bmp'), '-quality', '90', pictures['jpg']])
        return pictures


def write_test_picture(path, width, height):
    """A 24-bit BMP of crossing gradients, different at every pixel near its edges."""
    stride = (3 * width + 3) & ~3
    rows = []
    for y in range(height):
        row = bytearray(stride)
        row[0:3 * width:3] = bytes((x + 2 * y) & 255 for x in range(width))
        row[1:3 * width:3] = bytes(y & 255 for _ in range(width))
        row[2:3 * width:3] = bytes(x & 255 for x in range(width))
        rows.append(bytes(row))
    header = struct.pack('<2sIHHIIiiHHIIiiII', b'BM', 54 + stride * height, 0, 0, 54, 40, width, height, 1, 24,
                         0, stride * height, 0, 0, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + b''.join(rows))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--exe', required=True)
    parser.add_argument('--cli', required=True)
    parser.add_argument('--probe', required=True)
    parser.add_argument('--samples', required=True)
    parser.add_argument('--prefix', required=True)
    parser.add_argument('--out', required=True)
    parser.add_argument('--wine', default='/usr/lib/wine/wine64')
    args = parser.parse_args()
    os.environ.pop('LUMAFORGE_LANG', None)  # the program and the tables start in Russian
    os.makedirs(args.out, exist_ok=True)
    session = Session(args)
    try:
        session.start_display()
        session.prepare_wine()
        session.scenario()
    except (Failure, subprocess.TimeoutExpired) as e:
        print('FAIL: %s (see %s)' % (e, args.out), flush=True)
        return 1
    finally:
        session.stop()
    print('wine: all checks passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
