#!/usr/bin/env python3
"""Starts the installed programs as a user would, on a virtual X server with
a window manager:

--desktop FILE   runs the Exec line of the installed desktop entry with a
                 picture, waits for the main window to show it, closes it
                 with Alt+F4.
--setup EXE      under Wine (its own prefix): the installer silently (/S),
                 then the program from its Start-menu shortcut and through
                 its "Open with" registration (the picture must show), then
                 the uninstaller
                 silently; checks that the files, the shortcut and the
                 registry keys were added and are gone again, and that a
                 type's keys another program shares are left as they were.

usage: install_test.py [--desktop FILE] [--setup SETUP.exe --exe lumaforge.exe]
                       --sample PICTURE --prefix WINEPREFIX --out DIR

Every wait is bounded. Exit code 0 when everything passed.
"""
import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), 'win32'))
from wine_test import TITLE, Failure, Picture, Session, log, wait_until  # noqa: E402

CLASSES = r'HKCU\Software\Classes'
PROGID = 'Lumaforge.Picture'
EXTENSIONS = ['.bmp', '.png', '.jpg', '.jpeg', '.gif', '.tif', '.tiff', '.webp']
UNINSTALL_ROOT = r'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'
UNINSTALL = UNINSTALL_ROOT + r'\Lumaforge'
# A type another program has registered too: the uninstaller must leave it be.
SHARED = (CLASSES + r'\.png\OpenWithProgids', 'Other.Picture')


class Installer(Session):
    def prepare_wine(self):
        # No menu entries or file associations written into this machine's
        # desktop for what gets installed in the prefix.
        self.env.update(WINEPREFIX=self.args.prefix, WINEDEBUG='-all',
                        WINEDLLOVERRIDES='mscoree=;mshtml=;winemenubuilder.exe=d')
        if not os.path.exists(os.path.join(self.args.prefix, 'system.reg')):
            log('creating the Wine prefix (once)')
            started = time.monotonic()
            self.wine_command([self.args.wine, 'wineboot', '-i'], timeout=300)
            log('  %.0fs' % (time.monotonic() - started))

    def persistent_server(self):
        """One Wine server for the whole test (stopped with the rest): each
        command would otherwise start its own and wait for it to end. A
        server still running (after wineboot) is let go first."""
        self.wine_command(['wineserver', '-w'], timeout=60, check=False)
        self.wine_command(['wineserver', '-p'], timeout=30)

    def wine_command(self, command, timeout=60, check=True):
        """Runs a command with its output in files, not pipes: programs it
        leaves running (Wine's own services, a started program, the
        uninstaller's copy) would hold a pipe open after it ends."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            result = subprocess.run(command, env=self.env, timeout=timeout, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=err)
            out.seek(0)
            err.seek(0)
            result.stdout, result.stderr = out.read(), err.read()
        if check and result.returncode != 0:
            raise Failure('%s ended with exit code %d: %s' % (' '.join(command), result.returncode,
                                                               result.stderr.decode(errors='replace').strip()))
        return result

    def wine(self, *command, timeout=60, check=True):
        return self.wine_command([self.args.wine] + list(command), timeout=timeout, check=check)

    def unix_path(self, windows_path):
        return self.wine('winepath', '-u', windows_path).stdout.decode().strip()

    def windows_path(self, unix_path):
        return self.wine('winepath', '-w', unix_path).stdout.decode().strip()

    def folder(self, variable):
        return self.wine('cmd', '/c', 'echo %' + variable + '%').stdout.decode().strip()

    def registry(self):
        """{key: {value name: data}} of everything under CLASSES and
        UNINSTALL_ROOT, as `reg query /s` lists it."""
        tree = {}
        for root in (CLASSES, UNINSTALL_ROOT):
            key = None
            out = self.wine('reg', 'query', root, '/s', check=False).stdout.decode('utf-8', errors='replace')
            for line in out.splitlines():
                if line.startswith('HKEY_CURRENT_USER'):
                    key = 'HKCU' + line[len('HKEY_CURRENT_USER'):]
                    tree[key] = {}
                elif line.startswith('    ') and key:
                    name, _, data = (line[4:].split('    ', 2) + ['', ''])[:3]
                    tree[key][name] = data
        return tree

    # --- what the installer adds --------------------------------------------

    def locations(self):
        local, roaming = self.folder('LOCALAPPDATA'), self.folder('APPDATA')
        self.install_dir = self.unix_path(local + r'\Programs\Lumaforge')
        self.shortcut = roaming + r'\Microsoft\Windows\Start Menu\Programs\Lumaforge.lnk'
        self.shortcut_file = self.unix_path(self.shortcut)

    def traces(self, registry):
        """What of an installation is there: files and keys by name."""
        found = [p for p in (self.install_dir, self.shortcut_file) if os.path.exists(p)]
        found += [k for k in (CLASSES + '\\' + PROGID, CLASSES + r'\Applications\lumaforge.exe', UNINSTALL)
                  if k in registry]
        found += ['"Open with" %s' % e for e in EXTENSIONS
                  if PROGID in registry.get('%s\\%s\\OpenWithProgids' % (CLASSES, e), {})]
        return found

    def shows_picture(self, picture):
        """Whether the main window shows `picture` at the top left of its
        client area (below the menu bar)."""
        window = self.grab()[1]
        rows = min(8, picture.height)
        for top in range(0, min(80, window.height - rows)):
            if all(window.rows[top + y][:3 * 64] == picture.rows[y][:3 * 64] for y in range(rows)):
                return True
        return False

    def start_and_close(self, how, command, picture=None):
        """Starts the program by `command` under Wine, waits for its main
        window (showing `picture`, when given), closes it with Alt+F4, and
        expects the command to end well (`start` returns at once, the
        program itself when it is closed)."""
        started = time.monotonic()
        launcher = self.start([self.args.wine] + command, stdin=subprocess.DEVNULL, start_new_session=True)
        self.window = self.wait_window(TITLE, 60)
        log('  started %s: window "%s" after %.1fs' % (how, TITLE, time.monotonic() - started))
        if picture is not None:
            wait_until('the picture on the window', lambda: self.shows_picture(picture), 30, interval=0.5)
            log('  the picture is on the window')
        self.close_window()
        try:
            code = launcher.wait(30)
        except subprocess.TimeoutExpired:
            raise Failure('%s did not end within 30s of the window closing' % ' '.join(command))
        if code != 0:
            raise Failure('%s ended with exit code %d' % (' '.join(command), code))

    def close_window(self):
        """Alt+F4 until the main window is gone: a key pressed while the
        program is still setting its window up can go unheard."""
        def attempt():
            self.key('alt+F4')
            try:
                self.wait_gone(TITLE, 3)
                return True
            except Failure:
                return False
        wait_until('window "%s" to close after Alt+F4' % TITLE, attempt, 30, interval=0)

    def setup_scenario(self):
        self.prepare_wine()
        self.persistent_server()
        self.locations()
        if self.traces(self.registry()):
            log('  the prefix holds an earlier installation; starting from a new one')
            self.wine_command(['wineserver', '-k'], timeout=30, check=False)
            shutil.rmtree(self.args.prefix)
            self.prepare_wine()
            self.persistent_server()
        self.wine('reg', 'add', SHARED[0], '/v', SHARED[1], '/d', '', '/f')
        before = self.registry()

        started = time.monotonic()
        self.wine(self.args.setup, '/S', timeout=120)
        log('  installed silently in %.1fs' % (time.monotonic() - started))
        exe = os.path.join(self.install_dir, 'lumaforge.exe')
        with open(exe, 'rb') as installed, open(self.args.exe, 'rb') as built:
            if installed.read() != built.read():
                raise Failure('the installed %s is not the program that was built' % exe)
        registry = self.registry()
        expected = [self.install_dir, self.shortcut_file, CLASSES + '\\' + PROGID,
                    CLASSES + r'\Applications\lumaforge.exe', UNINSTALL] + ['"Open with" ' + e for e in EXTENSIONS]
        missing = [what for what in expected if what not in self.traces(registry)]
        if missing:
            raise Failure('after installing, missing: ' + ', '.join(missing))
        # The registered commands and the uninstaller must name files that exist.
        for key in (CLASSES + '\\' + PROGID + r'\shell\open\command',
                    CLASSES + r'\Applications\lumaforge.exe\shell\open\command'):
            command = registry.get(key, {}).get('(Default)', '')
            program = command.split('"')[1] if command.startswith('"') else ''
            if not command.endswith(' "%1"') or self.unix_path(program) != exe:
                raise Failure('%s is %r' % (key, command))
        uninstaller = registry[UNINSTALL].get('UninstallString', '').strip('"')
        if not uninstaller or not os.path.exists(self.unix_path(uninstaller)):
            raise Failure('UninstallString names %r, which is not there' % uninstaller)
        for page in ('index.html', os.path.join('en', 'index.html')):
            if not os.path.isfile(os.path.join(self.install_dir, 'guide', page)):
                raise Failure('the guide has no %s in %s' % (page, os.path.join(self.install_dir, 'guide')))
        log('  installed: the program, the guide in Russian and English, the shortcut, "Open with" for %s, '
            'the uninstaller' % ' '.join(EXTENSIONS))

        self.start_and_close('from the Start-menu shortcut', ['start', self.shortcut])
        # Wine's shell does not read the user's own classes, so the "Open with"
        # command runs here as Explorer would run it: %1 the picture's path.
        command = registry[CLASSES + '\\' + PROGID + r'\shell\open\command']['(Default)']
        sample = self.windows_path(os.path.abspath(self.args.sample))
        words = [quoted or bare for quoted, bare in re.findall(r'"([^"]*)"|(\S+)', command.replace('%1', sample))]
        self.start_and_close('with a picture by the "Open with" command', words, Picture.from_bmp(self.args.sample))

        started = time.monotonic()
        # The uninstaller copies itself away and returns at once; the copy
        # does the work.
        self.wine(uninstaller, '/S')
        wait_until('the uninstaller to remove ' + self.install_dir, lambda: not os.path.exists(self.install_dir), 60)
        log('  uninstalled silently in %.1fs' % (time.monotonic() - started))
        # The uninstaller's copy may still be finishing when the folder is
        # gone: the registry is compared once it stops changing (or 15 s).
        after = self.registry()
        deadline = time.monotonic() + 15
        while after != before and time.monotonic() < deadline:
            time.sleep(0.5)
            after = self.registry()
        left = self.traces(after)
        if left:
            raise Failure('the uninstaller left ' + ', '.join(left))
        if after != before:
            changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
            raise Failure('the registry differs from before installing at %s' %
                          ', '.join('%s (before %r, after %r)' % (k, before.get(k), after.get(k)) for k in changed))
        log('  gone: the files, the shortcut and every key; %s of another program kept' % SHARED[1])

    def desktop_scenario(self):
        fields = {}
        with open(self.args.desktop, encoding='utf-8') as f:
            for line in f:
                if '=' in line:
                    key, value = line.rstrip('\n').split('=', 1)
                    fields.setdefault(key, value)
        command = [self.args.sample if word == '%f' else word for word in shlex.split(fields['Exec'])]
        env = dict(self.env)
        env.pop('QT_QPA_PLATFORM', None)
        started = time.monotonic()
        self.program = subprocess.Popen(command, env=env, start_new_session=True, stdout=subprocess.DEVNULL,
                                        stderr=open(os.path.join(self.args.out, 'desktop.log'), 'ab'))
        self.window = self.wait_window(TITLE, 30)
        log('  %s: window "%s" after %.1fs' % (' '.join(command), TITLE, time.monotonic() - started))
        picture = Picture.from_bmp(self.args.sample)
        wait_until('the picture on the window', lambda: self.shows_picture(picture), 30, interval=0.5)
        log('  the picture is on the window')
        self.close_window()
        try:
            code = self.program.wait(30)
        except subprocess.TimeoutExpired:
            raise Failure('%s did not end within 30s of Alt+F4' % command[0])
        if code != 0:
            raise Failure('%s ended with exit code %d' % (command[0], code))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--desktop')
    parser.add_argument('--setup')
    parser.add_argument('--exe')
    parser.add_argument('--sample', required=True)
    parser.add_argument('--prefix', required=True)
    parser.add_argument('--out', required=True)
    parser.add_argument('--wine', default='/usr/lib/wine/wine64')
    args = parser.parse_args()
    if args.setup and not args.exe:
        parser.error('--setup needs --exe')
    os.makedirs(args.out, exist_ok=True)
    session = Installer(args)
    try:
        session.start_display()
        if args.desktop:
            session.desktop_scenario()
        if args.setup:
            session.setup_scenario()
    except (Failure, subprocess.TimeoutExpired, OSError) as e:
        try:
            session.screenshot('failure.png')
        except (Failure, subprocess.SubprocessError, OSError):
            pass
        print('FAIL: %s (see %s)' % (e, args.out), flush=True)
        return 1
    finally:
        session.stop()
    print('install: all checks passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
