#!/usr/bin/python3
"""The page in headless Chromium, driven as a user drives it (file input,
keys, menu clicks, dialog keys and buttons, the mouse and its wheel), its
canvas compared after each step with what the native lumaforge-cli renders
for the same client size, zoom and scroll; its status bar, explanation panel
and downloads compared with what the tool says and writes.

usage: page_test.py --page lumaforge.html --cli lumaforge-cli --samples DIR
       [--corpus-maker make_picture_corpus]   also the picture corpus
       [--timing WxH]           instead prints the time of each command on
                                samples/photo.bmp tiled to W x H, beside
                                the native tool's on one core at the
                                baseline vector level, and their ratio
       [--served]               with --timing: the page served cross-origin
                                isolated (its threaded module), the native
                                tool on every core
       [--only REGEX]           with --timing: only the commands whose step
                                (a forward transform's for its pair) matches
       [--screenshot OUT.png]   instead writes a picture of the page in use

Chromium runs with the network off (the page must need none) and a fresh
profile; the test starts its own chromedriver and ends it.
"""
import argparse
import base64
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

FAILURES = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        FAILURES.append(what)


def address(page):
    """The page's address: an http one as it is, a file's from its path."""
    return page if page.startswith("http") else "file://" + os.path.abspath(page)


class Page:
    def __init__(self, page, profile, downloads, size=(900, 700)):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", f"--window-size={size[0]},{size[1]}", f"--user-data-dir={profile}",
                     "--proxy-server=127.0.0.1:9", "--force-device-scale-factor=1"):
            options.add_argument(flag)
        options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                                  "download.prompt_for_download": False})
        self.downloads = downloads
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
        self.driver.execute_cdp_cmd("Performance.enable", {})
        self.driver.set_script_timeout(120)
        started = time.monotonic()
        self.driver.get(address(page))
        self.wait_state("idle", 60)
        self.load_seconds = time.monotonic() - started

    def reload(self, page, fragment=""):
        self.driver.get("about:blank")
        self.driver.get(address(page) + fragment)
        self.wait_state("idle", 60)

    def quit(self):
        self.driver.quit()

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def state(self):
        return self.js("return document.body.dataset.state")

    def wait_state(self, wanted, seconds=120):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            state = self.state()
            if state == wanted:
                return
            if state == "failed":
                raise RuntimeError(self.js("return document.body.textContent"))
            time.sleep(0.02)
        raise TimeoutError(f"page state {self.state()!r}, waited for {wanted!r}")

    def keys(self, *keys, modifiers=()):
        chain = ActionChains(self.driver)
        for m in modifiers:
            chain.key_down(m)
        chain.send_keys(*keys)
        for m in reversed(modifiers):
            chain.key_up(m)
        chain.perform()

    def thread_seconds(self):
        """Processor time of the page's main thread so far."""
        metrics = self.driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
        return next(m["value"] for m in metrics if m["name"] == "ThreadTime")

    def give_file(self, path):
        self.driver.find_element(By.ID, "file-input").send_keys(os.path.abspath(path))

    def view(self):
        return self.js("return window.lumaforge.view()")

    def text_of(self, element_id):
        return self.js("return document.getElementById(arguments[0]).textContent", element_id)

    def client_origin(self):
        return self.js("const r = document.getElementById('client').getBoundingClientRect(); return [r.left, r.top]")

    def point_at(self, x, y):
        """The mouse to client point (x, y) of the view."""
        left, top = self.client_origin()
        actions = ActionBuilder(self.driver)
        actions.pointer_action.move_to_location(int(left) + x, int(top) + y)
        actions.perform()

    def click_at(self, x, y):
        self.point_at(x, y)
        ActionChains(self.driver).click().perform()

    def wheel_at(self, x, y, notches, modifiers=()):
        """Wheel notches at client point (x, y): positive towards the user."""
        left, top = self.client_origin()
        for _ in range(abs(notches)):
            # One chain a notch: the driver holds the keys for its first turn only.
            chain = ActionChains(self.driver)
            for m in modifiers:
                chain.key_down(m)
            chain.scroll_from_origin(ScrollOrigin.from_viewport(int(left) + x, int(top) + y), 0,
                                     100 if notches > 0 else -100)
            for m in reversed(modifiers):
                chain.key_up(m)
            chain.perform()
        self.wait_state("idle")

    def checked_items(self, popup_caption):
        """The command ids of the popup's items that show a check mark."""
        return self.js("""
            const t = [...document.querySelectorAll('.popup-title')].find(e => e.dataset.caption === arguments[0]);
            t.dispatchEvent(new MouseEvent('mousedown', {bubbles: true}));
            const ids = [...document.querySelectorAll('.menu .item.checked')].map(e => Number(e.dataset.id));
            t.dispatchEvent(new MouseEvent('mousedown', {bubbles: true}));
            return ids;""", popup_caption)

    def downloaded(self, name, seconds=20):
        """The bytes of a finished download, or None."""
        path = os.path.join(self.downloads, name)
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if os.path.exists(path) and not os.path.exists(path + ".crdownload"):
                return open(path, "rb").read()
            time.sleep(0.05)
        return None

    def save_as(self, name, filter_index=0):
        """Save As through the page's dialog: `name`, the filter at `filter_index`;
        returns the name the dialog proposed."""
        self.keys("s", modifiers=(Keys.CONTROL, Keys.SHIFT))
        self.wait_state("modal")
        d = self.dialog()["element"]
        field = d.find_element(By.CSS_SELECTOR, "input.name")
        proposed = field.get_attribute("value")
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(name)
        Select(d.find_element(By.CSS_SELECTOR, "select.type")).select_by_index(filter_index)
        field.send_keys(Keys.ENTER)
        return proposed

    def menu(self, popup_caption, item_caption):
        for title in self.driver.find_elements(By.CSS_SELECTOR, ".popup-title"):
            if title.get_attribute("data-caption") == popup_caption:
                title.click()
                break
        else:
            raise KeyError(popup_caption)
        for item in self.driver.find_elements(By.CSS_SELECTOR, ".menu .item"):
            if item.get_attribute("data-caption") == item_caption:
                item.click()
                return
        raise KeyError(item_caption)

    def dialog(self):
        found = self.driver.find_elements(By.CSS_SELECTOR, "#modal-layer .dialog")
        if not found:
            return None
        d = found[0]
        texts = lambda css: [e.text for e in d.find_elements(By.CSS_SELECTOR, css)]
        return {"caption": texts(".caption .text")[0], "body": texts(".body")[0] if "message" in d.get_attribute("class") else None,
                "min": (texts(".min") or [None])[0], "value": (texts(".value") or [None])[0],
                "max": (texts(".max") or [None])[0], "element": d}

    def canvas(self):
        data = self.js("""
            const c = document.getElementById('view');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let s = '';
            for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
            return [c.width, c.height, btoa(s)];""")
        return data[0], data[1], base64.b64decode(data[2])


def rgba_of_bmp(path):
    """The client area the CLI wrote (24-bit bottom-up BMP) as top-down RGBA."""
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (3 * width + 3) // 4 * 4
    out = bytearray(4 * width * height)
    for y in range(height):
        row = data[offset + (height - 1 - y) * stride:]
        o = 4 * width * y
        out[o:o + 4 * width:4] = row[2:3 * width:3]
        out[o + 1:o + 4 * width:4] = row[1:3 * width:3]
        out[o + 2:o + 4 * width:4] = row[0:3 * width:3]
        out[o + 3:o + 4 * width:4] = b"\xff" * width
    return width, height, out


class Cli:
    def __init__(self, cli, scratch, env=None, prefix=()):
        self.cli, self.scratch = cli, scratch
        self.env, self.prefix = {**os.environ, **env} if env else None, list(prefix)

    def run(self, *args):
        return subprocess.run([*self.prefix, self.cli, *args], capture_output=True, text=True, env=self.env)

    def view(self, picture, steps, size, scroll=(0, 0), zoom=100):
        out = os.path.join(self.scratch, "view.bmp")
        r = self.run(picture, *steps, "--view", out, "--client", f"{size[0]}x{size[1]}",
                     "--scroll", f"{scroll[0]},{scroll[1]}", "--zoom", str(zoom))
        if r.returncode != 0:
            raise RuntimeError(r.stderr)
        return rgba_of_bmp(out), r.stdout


def differing(a, b, width):
    return [(i // 4 % width, i // 4 // width) for i in range(0, len(a), 4) if a[i:i + 3] != b[i:i + 3]]


def compare(page, cli, picture, steps, what, scroll=(0, 0), zoom=100):
    width, height, shown = page.canvas()
    (w, h, expected), _ = cli.view(picture, steps, (width, height), scroll, zoom)
    same = (w, h) == (width, height) and shown == expected
    if not same and (w, h) == (width, height):
        bad = differing(shown, expected, width)
        what += f" ({len(bad)} pixels differ, first at {bad[:3]})"
    check(same, what)
    return width, height


def frame_lines(frames, height, scroll):
    """The black pixels of the segmentation frames on the client area: four
    lines per frame, each without its end point."""
    pixels = set()
    for seg_start, seg_end, bottom, top in frames:
        left, right = seg_start - scroll[0], seg_end - scroll[0]
        lower, upper = height - 1 - bottom - scroll[1], height - 1 - top - scroll[1]
        for x in range(left, right):
            pixels.update({(x, lower), (x, upper)})
        for y in range(min(lower, upper) + (1 if upper < lower else 0), max(lower, upper) + (1 if upper < lower else 0)):
            pixels.update({(left, y), (right, y)})
    return pixels


def png_bytes(width, height, rgba):
    rows = b"".join(b"\0" + bytes(rgba[4 * width * y:4 * width * (y + 1)]) for y in range(height))
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def bmp_bytes(width, height, rgb_rows):
    stride = (3 * width + 3) // 4 * 4
    block = b"".join(bytes(rgb_rows[y]) + b"\0" * (stride - 3 * width) for y in reversed(range(height)))
    return (b"BM" + struct.pack("<IHHI", 54 + len(block), 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(block), 0, 0, 0, 0) + block)


def test_page(page, cli, samples, scratch):
    commands = json.loads(cli.run("--list-commands").stdout)
    by_name = {c["name"]: c for c in commands["commands"]}
    caption = lambda name: by_name[name]["caption"]
    popup = lambda name: commands["menu"][by_name[name]["menu"]["popup"]]["caption"]

    check(page.driver.title == "Обработка изображений." and
          page.js("return document.getElementById('title').textContent") == "Обработка изображений.",
          "the window's title")
    shown_popups = page.js("return [...document.querySelectorAll('.popup-title')].map(e => e.dataset.caption)")
    check(shown_popups == [p["caption"] for p in commands["menu"]], "the menu bar's popups are the table's")
    check(page.js("return document.getElementById('version').textContent").endswith(
        cli.run("--version").stdout.split()[-1]), "the page shows the program's version")

    check(page.js("return window.lumaforge.module") == "simd", "Chromium runs the module with SIMD")
    photo, text, square = (os.path.join(samples, n) for n in ("photo.bmp", "text.bmp", "square.bmp"))
    page.give_file(photo)
    page.wait_state("idle")
    size = compare(page, cli, photo, [], "open through the file input")
    check(page.state() == "idle" and page.dialog() is None, "an opened picture shows no message")

    page.keys("g", modifiers=(Keys.CONTROL,))
    page.wait_state("idle")
    compare(page, cli, photo, ["grayscale"], "Ctrl+G: grayscale")

    page.keys("b", modifiers=(Keys.CONTROL,))
    page.wait_state("modal")
    d = page.dialog()
    check((d["caption"], d["min"], d["value"], d["max"]) == ("Порог для бинаризации", "0", "128", "255"),
          f"the threshold dialog as it opens: {d['caption']} {d['min']} {d['value']} {d['max']}")
    page.keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT, Keys.ARROW_RIGHT, Keys.ARROW_LEFT, Keys.ARROW_RIGHT)
    check(page.dialog()["value"] == "131", "arrow keys move the slider by one and the value follows")
    page.keys(Keys.ENTER)
    page.wait_state("idle")
    steps = ["grayscale", "binarize=131"]
    compare(page, cli, photo, steps, "Enter is OK: binarize at 131")

    page.menu(popup("IDM_BRIGHTNESS"), caption("IDM_BRIGHTNESS"))
    page.wait_state("modal")
    check(page.dialog()["value"] == "0%", "the brightness dialog opens at 0%")
    page.keys(Keys.ARROW_RIGHT)
    [b for b in page.dialog()["element"].find_elements(By.CSS_SELECTOR, "button.push") if b.text == "Отмена"][0].click()
    page.wait_state("idle")
    compare(page, cli, photo, steps, "Cancel changes nothing")
    page.keys(Keys.ARROW_RIGHT, modifiers=(Keys.CONTROL,))  # no command: nothing happens
    page.menu(popup("IDM_CONTRAST"), caption("IDM_CONTRAST"))
    page.wait_state("modal")
    page.keys(Keys.ESCAPE)
    page.wait_state("idle")
    compare(page, cli, photo, steps, "Escape cancels")

    # The kernel dialog: a preset fills the fields, a bad weight keeps it
    # open naming the field, OK runs the kernel the fields give.
    page.menu(popup("IDM_CUSTOM_KERNEL"), caption("IDM_CUSTOM_KERNEL"))
    page.wait_state("modal")
    check(page.dialog()["caption"] == "Свой фильтр" and
          page.js("return document.querySelectorAll('.kernel .weight')[12].value") == "1",
          "the kernel dialog opens with the identity kernel")
    page.js("""
        const d = document.querySelector('.kernel'), set = (css, v, i = 0) => {
            const e = d.querySelectorAll(css)[i]; e.value = v; e.dispatchEvent(new Event('change')); };
        set('.presets', String(1 + arguments[0].findIndex(p => p.name === 'sobel-x')));
        set('.weight', '300', 6);
        set('.offset', '10');""", by_name["IDM_CUSTOM_KERNEL"]["dialog"]["presets"])
    page.keys(Keys.ENTER)
    check(page.state() == "modal" and "строке 1, столбце 1" in page.js("return document.querySelector('.kernel .error').textContent"),
          "a weight out of range keeps the dialog open and names it")
    page.js("const w = document.querySelectorAll('.kernel .weight')[6]; w.value = '-3';")
    page.keys(Keys.ENTER)
    page.wait_state("idle")
    steps.append("kernel=3:-3,0,1,-2,0,2,-1,0,1/1+10,abs,luma")
    compare(page, cli, photo, steps, "the kernel dialog's fields reach the command")

    negative = by_name["IDM_NEGATIVE"]
    shown_negative = page.js("""
        const t = [...document.querySelectorAll('.popup-title')].find(e => e.dataset.caption === arguments[0]);
        t.dispatchEvent(new MouseEvent('mousedown', {bubbles: true}));
        const item = document.querySelector(`.menu .item[data-id="${arguments[1]}"] .shortcut`).textContent;
        t.dispatchEvent(new MouseEvent('mousedown', {bubbles: true}));
        return item;""", popup("IDM_NEGATIVE"), negative["id"])
    check(negative["shortcut"] == "Ctrl+N" and shown_negative == "Alt+Shift+N",
          f"a key the browser keeps shows its web alternative ({shown_negative})")
    page.keys("n", modifiers=(Keys.ALT, Keys.SHIFT))
    page.wait_state("idle")
    steps.append("negative")
    compare(page, cli, photo, steps, "Alt+Shift+N: negative")

    page.keys("z", modifiers=(Keys.CONTROL,))
    page.wait_state("idle")
    steps.append("undo")
    compare(page, cli, photo, steps, "Ctrl+Z: undo")

    arrow = page.driver.find_element(By.CSS_SELECTOR, "#hbar .forward")
    check(arrow.is_displayed(), "a picture wider than the client area shows the horizontal bar")
    ActionChains(page.driver).click(arrow).click(arrow).perform()
    page.wait_state("idle")
    compare(page, cli, photo, steps, "two horizontal line steps scroll by 10 pixels", scroll=(10, 0))
    ActionChains(page.driver).click(page.driver.find_element(By.CSS_SELECTOR, "#hbar .back")).click(
        page.driver.find_element(By.CSS_SELECTOR, "#hbar .back")).perform()

    page.give_file(text)
    page.wait_state("idle")
    page.menu(popup("IDM_SEGMENT"), caption("IDM_SEGMENT"))
    page.wait_state("idle")
    width, height, shown = page.canvas()
    (_, _, plain), out = cli.view(text, ["segment"], (width, height))
    frames = [tuple(map(int, line.split()[1:])) for line in out.splitlines() if line.startswith("frame ")]
    lines = {p for p in frame_lines(frames, 160, (0, 0)) if 0 <= p[0] < width and 0 <= p[1] < height}
    expected = bytearray(plain)
    for x, y in lines:
        expected[4 * (y * width + x):4 * (y * width + x) + 3] = b"\0\0\0"
    check(len(frames) > 0 and shown == bytes(expected),
          f"segmentation draws its {len(frames)} frames over the view")
    page.keys("z", modifiers=(Keys.CONTROL,))  # undo repaints: the frames go
    page.wait_state("idle")
    compare(page, cli, text, ["segment", "undo"], "the next repaint clears the frames")

    page.give_file(square)
    page.wait_state("idle")
    page.menu(popup("IDM_FFT_2D"), caption("IDM_FFT_2D"))
    page.wait_state("modal")
    d = page.dialog()
    check((d["caption"], d["min"], d["value"], d["max"]) == ("Размер блока для преобразования.", "2", "512", "512"),
          "the block-size dialog for 512 x 512")
    page.keys(Keys.ARROW_LEFT, Keys.ARROW_LEFT)
    check(page.dialog()["value"] == "128", "the block size follows the slider in powers of two")
    page.keys(Keys.ENTER)
    page.wait_state("idle")
    compare(page, cli, square, ["fft-2d=128"], "forward two-dimensional FFT of 128")
    page.menu(popup("IDM_FFT_INVERSE"), caption("IDM_FFT_INVERSE"))
    page.wait_state("idle")
    compare(page, cli, square, ["fft-2d=128", "fft-inverse"], "its inverse")

    # Another picture format through the browser's decoder, laid over white
    # as the desktop's decoder lays it: every alpha with every value of one
    # channel (the browser keeps the picture premultiplied on its way).
    rgba = bytearray()
    for a in range(256):
        for c in range(256):
            rgba += bytes((c, 255 - c, (7 * c + a) % 256, a))
    png = os.path.join(scratch, "alpha.png")
    open(png, "wb").write(png_bytes(256, 256, rgba))
    page.give_file(png)
    page.wait_state("idle")
    compare(page, cli, png, [], "a PNG with every transparency shows as lumaforge-cli opens it")

    odd = os.path.join(samples, "odd.bmp")
    page.js("""
        const bytes = Uint8Array.from(atob(arguments[0]), c => c.charCodeAt(0));
        const files = new DataTransfer();
        files.items.add(new File([bytes], 'odd.bmp'));
        document.getElementById('client').dispatchEvent(
            new DragEvent('drop', {dataTransfer: files, bubbles: true, cancelable: true}));""",
            base64.b64encode(open(odd, "rb").read()).decode())
    page.wait_state("idle")
    compare(page, cli, odd, [], "a picture dropped on the window opens")

    bad = os.path.join(scratch, "notes.bmp")
    open(bad, "wb").write(b"these are not pixels\n" * 4)
    refusal = cli.run(bad).stderr.strip()
    page.give_file(bad)
    page.wait_state("modal")
    d = page.dialog()
    check(d['caption'] == "Загрузка файла" and refusal == f"lumaforge-cli: {bad}: {d['body']}",
          f"a refused file shows its message ({refusal})")
    page.keys(Keys.ENTER)
    page.wait_state("idle")
    compare(page, cli, odd, [], "a refused file leaves the picture on display")

    page.menu(popup("IDM_EXIT"), caption("IDM_EXIT"))
    page.wait_state("ended")
    check(page.driver.find_element(By.ID, "ended").is_displayed() and
          not page.driver.find_element(By.ID, "window").is_displayed(), "exit ends the program on the page")


STATUS = re.compile(r"x (\d+), y (\d+)   R (\d+) G (\d+) B (\d+) \(яркость (\d+)\)"
                    r"(?:   другая: R (\d+) G (\d+) B (\d+) \(яркость (\d+)\))?$")


def status_values(text):
    """The status bar's text as --probe says it."""
    m = STATUS.match(text)
    if not m:
        return None
    v = [int(g) if g is not None else None for g in m.groups()]
    other = None if v[6] is None else dict(zip("r g b luma".split(), v[6:]))
    return {"x": v[0], "y": v[1], "shown": dict(zip("r g b luma".split(), v[2:6])), "other": other}


def test_look_inside(page, page_path, cli, samples, scratch):
    """The view menu's keys and items, the wheel, the scroll bars of a zoomed
    picture, the status bar and the explanation panel."""
    page.reload(page_path)
    commands = json.loads(cli.run("--list-commands").stdout)
    by_name = {c["name"]: c for c in commands["commands"]}
    view_menu = commands["menu"][by_name["IDM_STATUS_BAR"]["menu"]["popup"]]["caption"]
    photo = os.path.join(samples, "photo.bmp")
    page.give_file(photo)
    page.wait_state("idle")
    page.keys("n", modifiers=(Keys.ALT, Keys.SHIFT))
    page.wait_state("idle")
    steps = ["negative"]
    pointer = by_name["IDM_TOOL_POINTER"]["id"]  # the tool in use, checked throughout
    check(page.checked_items(view_menu) == [by_name["IDM_STATUS_BAR"]["id"], pointer],
          "the view menu checks the status bar, not the panel")

    # Ctrl+= and Ctrl++ zoom in twice about the middle of what shows of the
    # picture, which by then fills the client area: its pixel stays.
    page.keys("=", modifiers=(Keys.CONTROL,))
    page.wait_state("idle")
    client = page.view()["client"]
    middle = (client["width"] // 2, client["height"] // 2)
    page.point_at(*middle)
    before = page.text_of("status")
    page.keys("+", modifiers=(Keys.CONTROL,))
    page.wait_state("idle")
    v = page.view()
    check(v["zoom"] == 2 and page.text_of("status") == before and
          page.js("return [window.devicePixelRatio, visualViewport.scale]") == [1, 1],
          f"Ctrl+= and Ctrl++ zoom the picture to 400 % about its middle, not the page ({before})")
    compare(page, cli, photo, steps, "the view at 400 % after the keys", tuple(v["scroll"]), 400)

    # Ctrl+0, then Ctrl and two wheel notches away from the user: 400 %
    # about the cursor, the screen coordinate of the point scaled by four.
    page.keys("0", modifiers=(Keys.CONTROL,))
    page.wait_state("idle")
    v = page.view()
    at = (200, 150)
    page.point_at(*at)
    before = page.text_of("status")
    page.wheel_at(*at, -2, modifiers=(Keys.CONTROL,))
    w = page.view()
    expected = [4 * (at[i] + v["scroll"][i]) - at[i] for i in (0, 1)]
    check(v["zoom"] == 0 and w["zoom"] == 2 and w["scroll"] == expected and page.text_of("status") == before,
          f"Ctrl and the wheel zoom to 400 % about the cursor (scroll {w['scroll']}, {before})")
    compare(page, cli, photo, steps, "the view at 400 % after Ctrl and the wheel", tuple(w["scroll"]), 400)

    # The wheel scrolls 48 screen pixels a notch, with Shift sideways.
    page.wheel_at(*at, 1)
    page.wheel_at(*at, 2, modifiers=(Keys.SHIFT,))
    v = page.view()
    check(v["scroll"] == [w["scroll"][0] + 96, w["scroll"][1] + 48],
          f"the wheel scrolls down, with Shift to the right ({v['scroll']})")
    compare(page, cli, photo, steps, "the view after the wheel", tuple(v["scroll"]), 400)

    # The status bar says what --probe says about the pixel under the cursor.
    pixel = ((at[0] + v["scroll"][0]) // 4, (at[1] + v["scroll"][1]) // 4)
    probe = json.loads(cli.run(photo, *steps, "--probe", f"{pixel[0]},{pixel[1]}").stdout)
    shown = status_values(page.text_of("status"))
    check(shown == probe and probe["other"] is not None,
          f"the status bar shows the pixel under the cursor and the one before ({page.text_of('status')})")
    page.menu(view_menu, by_name["IDM_STATUS_BAR"]["caption"])
    page.wait_state("idle")
    check(not page.driver.find_element(By.ID, "statusbar").is_displayed() and
          page.checked_items(view_menu) == [pointer] and page.view()["client"]["height"] > v["client"]["height"],
          "its item hides the status bar, and the view grows")
    compare(page, cli, photo, steps, "the taller view", tuple(page.view()["scroll"]), 400)
    page.menu(view_menu, by_name["IDM_STATUS_BAR"]["caption"])
    page.wait_state("idle")

    # The panel explains the pixel under the cursor, or the one clicked.
    page.keys("e", modifiers=(Keys.CONTROL,))
    page.wait_state("idle")
    check(page.driver.find_element(By.ID, "explain").is_displayed() and
          page.checked_items(view_menu) == [by_name["IDM_STATUS_BAR"]["id"], by_name["IDM_EXPLAIN_PANEL"]["id"], pointer],
          "Ctrl+E opens the panel and checks its item")
    v = page.view()
    compare(page, cli, photo, steps, "the view beside the panel", tuple(v["scroll"]), 400)
    explain = lambda p: cli.run(photo, *steps, "--explain-text", f"{p[0]},{p[1]}").stdout
    place = lambda c: ((c[0] + v["scroll"][0]) // 4, (c[1] + v["scroll"][1]) // 4)
    hovered, pinned = (37, 41), (130, 90)
    page.point_at(*hovered)
    p = place(hovered)
    check(page.text_of("explain-text") == explain(p) and f"({p[0]}, {p[1]})" in page.text_of("explain-heading"),
          f"the panel explains the pixel under the cursor ({page.text_of('explain-heading')})")
    # A narrow panel breaks its text at blanks: nothing hides past its edge.
    page.js("document.getElementById('explain').style.width = '180px'")
    fit = page.js("const t = document.getElementById('explain-text');"
                  "return [t.scrollWidth, t.clientWidth, t.querySelectorAll('.prose').length, t.getClientRects().length]")
    check(fit[0] <= fit[1] and fit[2] > 0 and page.text_of("explain-text") == explain(p),
          f"a narrow panel wraps its lines ({fit})")
    page.js("document.getElementById('explain').style.width = ''")
    check(page.text_of("status-summary") == "400 %   640 × 480   photo.bmp",
          f"the status bar gives the zoom, the size and the file ({page.text_of('status-summary')})")
    page.click_at(*pinned)
    heading = page.text_of("explain-heading")
    page.point_at(*hovered)
    p = place(pinned)
    check(page.text_of("explain-text") == explain(p) and page.text_of("explain-heading") == heading and
          f"({p[0]}, {p[1]})" in heading,
          f"a click pins a pixel while the cursor moves on ({heading})")
    page.driver.find_element(By.ID, "explain-close").click()
    page.wait_state("idle")
    check(not page.driver.find_element(By.ID, "explain").is_displayed() and
          page.checked_items(view_menu) == [by_name["IDM_STATUS_BAR"]["id"], pointer],
          "the panel's close box closes it and clears the check mark")

    # A picture wider than 65535 screen pixels at 3200 %: the thumb dragged
    # to the end scrolls to the end.
    wide = os.path.join(scratch, "wide.bmp")
    open(wide, "wb").write(bmp_bytes(2100, 20, [[(x * 3 + y) % 256 for x in range(3 * 2100)] for y in range(20)]))
    page.give_file(wide)
    page.wait_state("idle")
    for _ in range(5):
        page.keys("=", modifiers=(Keys.CONTROL,))
        page.wait_state("idle")
    thumb = page.driver.find_element(By.CSS_SELECTOR, "#hbar .thumb")
    past_the_end = page.js("return innerWidth - 2") - (thumb.location["x"] + thumb.size["width"] // 2)
    ActionChains(page.driver).click_and_hold(thumb).move_by_offset(past_the_end, 0).release().perform()
    v = page.view()
    check(v["zoom"] == 5 and v["scroll"][0] == v["limit"][0] > 65535,
          f"the thumb reaches the end of a 67200-pixel picture ({v['scroll'][0]} of {v['limit'][0]})")
    compare(page, cli, wide, [], "the end of the wide picture at 3200 %", tuple(v["scroll"]), 3200)


def test_measure(page, page_path, cli, samples, scratch):
    """The pointing tools: drags give lumaforge-cli's numbers (a line past
    the picture's edge ends on it), and the difference view is its frame."""
    page.reload(page_path)
    photo = os.path.join(samples, "photo.bmp")
    page.give_file(photo)
    page.wait_state("idle")
    page.keys("n", modifiers=(Keys.ALT, Keys.SHIFT))
    page.wait_state("idle")

    def drag(start, end):
        left, top = page.client_origin()
        actions = ActionBuilder(page.driver)
        actions.pointer_action.move_to_location(int(left) + start[0], int(top) + start[1])
        actions.pointer_action.pointer_down()
        actions.pointer_action.move_to_location(int(left) + (start[0] + end[0]) // 2, int(top) + (start[1] + end[1]) // 2)
        actions.pointer_action.move_to_location(int(left) + end[0], int(top) + end[1])
        actions.pointer_action.pointer_up()
        actions.perform()

    def cli_json(*args):
        return json.loads(cli.run(photo, "negative", *args).stdout)

    page.keys("P", modifiers=(Keys.SHIFT,))
    page.wait_state("idle")
    check(page.text_of("tool-status") == "Инструмент: профиль", "Shift+P chooses the profile tool")
    drag((10, 20), (page.view()["client"]["width"] - 1, 90))
    check(page.js("return window.lumaforge.measured().profile") == cli_json("--profile", "10,20,639,90"),
          "a dragged line's profile is lumaforge-cli's")
    page.keys("O", modifiers=(Keys.SHIFT,))
    page.wait_state("idle")
    drag((129, 89), (30, 40))
    check(page.js("return window.lumaforge.measured().region") == cli_json("--region", "30,40,100,50"),
          "a dragged rectangle's statistics are lumaforge-cli's")

    view_menu = "Вид"
    page.menu(view_menu, "Разность ×4")
    page.wait_state("idle")
    width, height, shown = page.canvas()
    out = os.path.join(scratch, "compare.bmp")
    cli.run(photo, "negative", "--view", out, "--client", f"{width}x{height}", "--compare", "diff=4")
    check(rgba_of_bmp(out) == (width, height, shown), "the difference view is lumaforge-cli's")


def test_save_as(page, page_path, cli, samples, scratch):
    """Save As: a download of the bytes the tool writes."""
    page.reload(page_path)
    photo = os.path.join(samples, "photo.bmp")
    page.give_file(photo)
    page.wait_state("idle")
    page.keys("k", modifiers=(Keys.CONTROL,))
    page.wait_state("idle")
    expected = os.path.join(scratch, "expected.bmp")
    cli.run(photo, "kirsch", "-o", expected)
    expected = open(expected, "rb").read()

    save = page.save_as
    proposed = save("lab", 1)
    page.wait_state("idle")
    check(proposed == "photo-kirsch.png", f"Save As proposes the file's name with the command's ({proposed})")
    check(page.downloaded("lab.bmp") == expected, "Save As downloads the BMP the tool writes, byte for byte")
    save("lab", 0)
    page.wait_state("idle")
    png = page.downloaded("lab.png")
    back = os.path.join(scratch, "back.bmp")
    read = cli.run(os.path.join(page.downloads, "lab.png"), "-o", back) if png else None
    check(png is not None and png.startswith(b"\x89PNG") and read.returncode == 0 and
          open(back, "rb").read() == expected, "Save As as PNG downloads the same pixels")
    verdict = cli.run("--verify", os.path.join(page.downloads, "lab.png"), "--input", photo)
    check(verdict.returncode == 0 and '"verdict":"identical"' in verdict.stdout,
          f"the PNG carries its recipe, which the tool re-makes ({verdict.stdout.strip()})")

    # The journal: Shift+J, the steps and their command line, Copy enabled.
    page.keys("J", modifiers=(Keys.SHIFT,))
    page.wait_state("idle")
    journal = page.text_of("journal-text")
    check(page.driver.find_element(By.ID, "journal").is_displayed() and
          "lumaforge-cli photo.bmp kirsch" in journal and
          page.driver.find_element(By.ID, "journal-copy").is_enabled(),
          f"Shift+J shows the journal ({journal!r})")
    # A PNG from this machine's tool (its recipe compressed): the journal
    # starts again and says how the picture was made.
    made = os.path.join(scratch, "made.png")
    cli.run(photo, "sobel", "median-2d=5", "-o", made)
    page.give_file(made)
    page.wait_state("idle")
    journal = page.text_of("journal-text")
    check("lumaforge-cli made.png\n" in journal and "lumaforge-cli photo.bmp sobel median-2d=5\n" in journal,
          f"an opened PNG's recipe shows in the journal ({journal!r})")
    if os.environ.get("LUMAFORGE_SHOT"):
        page.driver.save_screenshot(os.environ["LUMAFORGE_SHOT"])
    page.driver.find_element(By.ID, "journal-close").click()
    page.wait_state("idle")
    check(not page.driver.find_element(By.ID, "journal").is_displayed(), "its close box closes the journal")

    refusal = subprocess.run([os.path.abspath(cli.cli), os.path.abspath(photo), "save=lab.gif"], capture_output=True, text=True, cwd=scratch)
    save("lab.gif", 1)
    page.wait_state("modal")
    d = page.dialog()
    check(refusal.returncode == 1 and refusal.stderr.strip() == f"lumaforge-cli: lab.gif: {d['body'].splitlines()[-1]}" and
          page.downloaded("lab.gif", 1) is None, f"a format the page cannot write is refused ({d['body']!r})")
    page.keys(Keys.ENTER)
    page.wait_state("idle")


def opened_by_f1(page):
    """The address of the window F1 opens (closed again), or ""."""
    driver = page.driver
    main_window = driver.current_window_handle
    page.keys(Keys.F1)
    page.wait_state("idle")
    opened = [h for h in driver.window_handles if h != main_window]
    url = ""
    if opened:
        driver.switch_to.window(opened[0])
        url = driver.current_url
        driver.close()
        driver.switch_to.window(main_window)
    return url


def catalogue(code):
    """The catalogue of language `code` as the build compiles it (i18n/<code>.po
    and its part files): {Russian: translation}."""
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    sys.path.insert(0, os.path.join(root, "scripts"))
    import texts
    pairs = {}
    for name in sorted(os.listdir(os.path.join(root, "i18n"))):
        if name.endswith(".po") and name.split(".")[0] == code:
            pairs.update({a: b for a, b, _ in texts.read_po(os.path.join(root, "i18n", name))[1] if b})
    return pairs


def test_language(page, page_path, cli, samples):
    """English chosen in the view menu: the menus, the title, a dialog, a
    message box, the measuring panel and the status bar in English at once,
    the picture as it was; English kept over a reload (the address's ?lang=
    before it, not kept); Russian chosen again shows what it showed."""
    page.reload(page_path)
    commands = json.loads(cli.run("--list-commands").stdout)
    by_id = {c["id"]: c for c in commands["commands"]}
    by_name = {c["name"]: c for c in commands["commands"]}
    languages = commands["languages"]
    view_menu = commands["menu"][by_id[languages["menu_id"]]["menu"]["popup"]]["caption"]
    english = (lambda en: lambda russian: en.get(russian, russian))(catalogue("en"))
    label = lambda caption: re.sub(r"&(.)", r"\1", caption.split("\t")[0])

    def menus(translate):
        """The menu bar's popups and their items as they should read."""
        return [[label(translate(p["caption"]))] + [label(translate(by_id[i]["caption"])) for i in p["items"] if i]
                for p in commands["menu"]]

    def shown_menus():
        return page.js("""
            return [...document.querySelectorAll('.popup-title')].map(t => {
              t.dispatchEvent(new MouseEvent('mousedown', {bubbles: true}));
              const items = [...t.querySelectorAll('.menu > .item')].map(i => i.firstElementChild.textContent);
              t.dispatchEvent(new MouseEvent('mousedown', {bubbles: true}));
              return [t.firstElementChild.textContent, ...items];
            });""")

    def choose(code, pointer=True):
        """The language through the view menu's submenu, with the mouse or
        (pointer False) clicks that leave the pointer where it is; returns
        the one checked before."""
        title = next(t for t in page.driver.find_elements(By.CSS_SELECTOR, ".popup-title")
                     if t.get_attribute("data-caption") == view_menu)
        click = (lambda e: e.click()) if pointer else (lambda e: page.js("arguments[0].click()", e))
        if pointer:
            title.click()
        else:
            page.js("arguments[0].dispatchEvent(new MouseEvent('mousedown', {bubbles: true}))", title)
        owner = page.driver.find_element(By.CSS_SELECTOR, f".menu .item[data-id='{languages['menu_id']}']")
        if pointer:
            ActionChains(page.driver).move_to_element(owner).perform()
        else:
            click(owner)
        checked = [e.get_attribute("data-code") for e in page.driver.find_elements(By.CSS_SELECTOR, ".menu.languages .item.checked")]
        click(page.driver.find_element(By.CSS_SELECTOR, f".menu.languages .item[data-code='{code}']"))
        page.wait_state("idle")
        return checked

    def stored():
        return page.js("return localStorage.getItem('lumaforge.language')")

    photo = os.path.join(samples, "photo.bmp")
    page.give_file(photo)
    page.wait_state("idle")
    page.point_at(100, 80)
    russian_status = page.text_of("status")
    picture = page.canvas()
    check(choose("en", pointer=False) == ["ru"], "the view menu's languages check Russian at first")
    check(shown_menus() == menus(english) and shown_menus() != menus(lambda t: t),
          "English from the view menu: every menu caption is the catalogue's")
    check(page.driver.title == english("Обработка изображений.") == page.text_of("title") and
          page.js("return document.documentElement.lang") == "en" and stored() == "en",
          f"the title in English ({page.driver.title!r}), the page's language en, and kept")
    status = page.text_of("status")
    page.point_at(101, 80)
    page.point_at(100, 80)
    check(page.canvas() == picture and status and page.text_of("status") == status,
          f"the picture as it was, the status bar in the new language at once ({status!r})")
    page.keys("y", modifiers=(Keys.CONTROL,))
    page.wait_state("modal")
    d = page.dialog()
    buttons = [b.text for b in d["element"].find_elements(By.CSS_SELECTOR, ".buttons button")]
    check(d["caption"] == english("Преобразование яркости") and buttons == ["Cancel", "OK"],
          f"a dialog in English ({d['caption']!r}, {buttons})")
    page.keys(Keys.ESCAPE)
    page.wait_state("idle")
    about = by_name["IDM_ABOUT"]
    page.menu(commands["menu"][about["menu"]["popup"]]["caption"], about["caption"])
    page.wait_state("modal")
    check(page.dialog()["caption"] == english("О программе"), f"a message box in English ({page.dialog()['caption']!r})")
    page.keys(Keys.ENTER)
    page.wait_state("idle")
    url = opened_by_f1(page)
    check(url.endswith("/lumaforge-guide/en/index.html"), f"F1 opens the guide's English page ({url!r})")
    page.keys("p", modifiers=(Keys.SHIFT,))
    page.wait_state("idle")
    check(page.text_of("measure-hint") == "Draw a line across the picture: its profile will appear here.",
          "the measuring panel in English")
    page.keys("u", modifiers=(Keys.SHIFT,))
    page.wait_state("idle")

    page.reload(page_path)
    check(shown_menus() == menus(english) and page.js("return document.documentElement.lang") == "en",
          "a reload keeps English")
    page.reload(page_path, "?lang=ru")
    check(shown_menus() == menus(lambda t: t) and page.driver.title == "Обработка изображений." and stored() == "en",
          "?lang=ru in the address starts in Russian and leaves the kept choice")
    page.reload(page_path)
    check(choose("ru") == ["en"] and stored() == "ru", "Russian again from the view menu, English checked before")
    page.give_file(photo)
    page.wait_state("idle")
    page.point_at(101, 80)
    page.point_at(100, 80)
    check(shown_menus() == menus(lambda t: t) and page.driver.title == "Обработка изображений." and
          page.text_of("status") == russian_status and page.js("return document.documentElement.lang") == "ru",
          "in Russian every caption, the title and the status bar read as before")


def test_help(page, page_path, cli):
    """F1 opens the guide beside the page in a new window; the about box
    names the version."""
    page.reload(page_path)
    commands = json.loads(cli.run("--list-commands").stdout)
    about = next(c for c in commands["commands"] if c["name"] == "IDM_ABOUT")
    help_menu = commands["menu"][about["menu"]["popup"]]["caption"]
    expected = os.path.join(os.path.dirname(os.path.abspath(page_path)), "lumaforge-guide", "index.html")
    url = opened_by_f1(page)
    check(url == "file://" + expected, f"F1 opens the guide beside the page ({url!r})")
    page.menu(help_menu, about["caption"])
    page.wait_state("modal")
    d = page.dialog()
    version = cli.run("--version").stdout.split()[-1]
    check(d["caption"] == "О программе" and f"Lumaforge {version}" in d["body"] and "lumaforge-guide" in d["body"],
          f"the about box names the version and the guide ({d['body']!r})")
    page.keys(Keys.ENTER)
    page.wait_state("idle")


def test_pictures(page, cli, corpus_maker, scratch):
    """The picture corpus the tests make, opened by the page (the browser's
    decoders, and the page's own for 16-bit PNG) and by lumaforge-cli (Qt's
    and libpng): the same picture for every lossless file, within 2 per
    channel for JPEG; pictures cut short or damaged refused alike. TIFF is
    no format the browser decodes."""
    corpus = os.path.join(scratch, "corpus")
    subprocess.run([corpus_maker, corpus], check=True, capture_output=True)
    files = [os.path.join(corpus, name) for name in sorted(os.listdir(corpus))]
    jpeg = open(os.path.join(corpus, "jpeg.jpg"), "rb").read()
    png = open(os.path.join(corpus, "png-rgb-16-trns.png"), "rb").read()
    gif = open(os.path.join(corpus, "gif-transparent.gif"), "rb").read()
    for name, data in (("cut.jpg", jpeg[:len(jpeg) * 2 // 3]), ("cut-16.png", png[:len(png) // 2]),
                       ("cut.gif", gif[:len(gif) * 2 // 3]),
                       ("checksum-16.png", png[:-13] + bytes([png[-13] ^ 1]) + png[-12:])):
        files.append(os.path.join(scratch, name))
        open(files[-1], "wb").write(data)
    worst_jpeg = 0
    for path in files:
        name = os.path.basename(path)
        refusal = cli.run(path).stderr.strip()
        page.give_file(path)
        deadline = time.monotonic() + 60
        while page.state() not in ("idle", "modal") and time.monotonic() < deadline:
            time.sleep(0.02)
        d = page.dialog()
        if d or refusal or name.endswith(".tif"):
            # The tool names the file where the window's message box has its caption.
            shown = d['body'] if d else "no message"
            expected = refusal.replace(f"lumaforge-cli: {path}: ", "", 1) if refusal else "Это не BMP-а"
            check(shown == expected, f"{name}: refused with {shown!r} as expected ({expected!r})")
            if d:
                page.keys(Keys.ENTER)
                page.wait_state("idle")
            continue
        width, height, shown = page.canvas()
        (w, h, expected), _ = cli.view(path, [], (width, height))
        worst = max(abs(a - b) for a, b in zip(shown, expected)) if (w, h) == (width, height) else 256
        if name.endswith(".jpg"):
            worst_jpeg = max(worst_jpeg, worst)
        check(worst <= (2 if name.endswith(".jpg") else 0), f"{name}: as lumaforge-cli opens it (largest difference {worst})")
    print(f"     JPEG: largest difference {worst_jpeg}")


def test_plain_module(page, page_path, cli, samples):
    """The module for browsers without SIMD, asked for by #plain."""
    page.reload(page_path, "#plain")
    check(page.js("return window.lumaforge.module") == "plain", "#plain starts the module without SIMD")
    photo = os.path.join(samples, "photo.bmp")
    page.give_file(photo)
    page.wait_state("idle")
    page.keys("d", modifiers=(Keys.CONTROL,))
    page.wait_state("modal")
    page.keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT, Keys.ENTER)
    page.wait_state("idle")
    compare(page, cli, photo, ["median-2d=7"], "the module without SIMD: median-2d at 7")


def test_threaded_module(page, served, cli, samples, scratch):
    """Served cross-origin isolated, the page runs the threaded module on
    every core, with the same bytes as the tool; opened from disk it runs
    the one-thread module (the other tests)."""
    page.reload(served)
    cores = page.js("return navigator.hardwareConcurrency")
    check(page.js("return window.lumaforge.module") == "threads",
          f"served cross-origin isolated, the page runs the threaded module ({cores} cores)")
    picture = os.path.join(scratch, "threads.bmp")
    open(picture, "wb").write(tiled(os.path.join(samples, "photo.bmp"), 1200, 900))
    page.give_file(picture)
    page.wait_state("idle")
    table = json.loads(cli.run("--list-commands").stdout)["commands"]
    steps = ["statistical=3", "median-2d=5", "smooth-2d=5", "sobel"]
    for step in steps:
        name, _, value = step.partition("=")
        row = [c for c in table if c["step"] == name][0]
        page.js("window.lumaforge.run(arguments[0], arguments[1])", row["id"], int(value) if value else None)
        page.wait_state("idle")
    page.save_as("threads", 1)  # the BMP filter, after PNG
    page.wait_state("idle")
    expected = os.path.join(scratch, "threads-expected.bmp")
    cli.run(picture, *steps, "-o", expected)
    check(page.downloaded("threads.bmp") == open(expected, "rb").read(),
          "the threaded module writes the tool's bytes after " + ", ".join(steps))


def time_commands(page, cli, picture, served, only=None, runs=5):
    """Milliseconds per command on `picture` in the page, beside the native
    CLI's at the baseline vector level, pinned to one core unless `served`
    (then on every core, as the threaded module), and the page's time over
    the native one. Both sides time the command itself (the page its
    `lastRun`, the CLI its --time), the fastest of `runs`: a command that
    makes a picture undone after each run, a forward transform run with its
    inverse each time."""
    cores = page.js("return navigator.hardwareConcurrency") if served else 1
    print(f"module {page.js('return window.lumaforge.module')}, cross-origin isolated "
          f"{page.js('return self.crossOriginIsolated')}; native: baseline level, {cores} core(s); "
          f"the fastest of {runs} runs")
    native = Cli(cli.cli, cli.scratch, {"LUMAFORGE_BASELINE": "1"}, [] if served else ["taskset", "-c", "0"])
    page.give_file(picture)
    page.wait_state("idle")
    table = json.loads(cli.run("--list-commands").stdout)["commands"]
    # Every command that needs a picture (but Save As): at its dialog's first
    # value, or at half its largest where that value does nothing; apertures
    # at the smallest and the largest; a forward transform at block 2048
    # with the inverse below it in the table.
    groups = []
    for i, c in enumerate(table):
        d = c["dialog"]
        if not c["step"] or c["guard"] == "none" or d["kind"] == "save-file":
            continue
        if d["kind"] == "block-size":
            inverse = next(r for r in table[i + 1:] if r["runs"] == "in-place" and r["dialog"]["kind"] == "none")
            groups.append([f"{c['step']}=2048", inverse["step"]])
        elif d["kind"] == "aperture":
            groups += [[f"{c['step']}={d['min']}"], [f"{c['step']}={d['max']}"]]
        elif d["kind"] != "none":
            idle = d["initial"] == 0 and d["zero_does_nothing"]
            groups.append([f"{c['step']}={d['max'] // 2 if idle else d['initial']}"])
        elif c["runs"] != "in-place":
            groups.append([c["step"]])
    if only:
        groups = [g for g in groups if re.search(only, g[0])]
    # On one core processor time as well as elapsed time: on a machine
    # others share, elapsed time measures them too. The page's is its main
    # thread's (the command, the frame after it, the test's own polling), so
    # the threaded module has elapsed time only.
    cpu_columns = "" if served else f" {'page cpu':>9} {'native cpu':>10} {'ratio':>6}"
    width = max(len(step) for group in groups for step in group)
    print(f"{'step':{width}} {'page ms':>9} {'native ms':>10} {'ratio':>6}{cpu_columns}")
    ratio = lambda a, b: f"{a / b:6.2f}" if b >= 0.5 else "     -"
    for group in groups:
        rows = [next(c for c in table if c["step"] == step.partition("=")[0]) for step in group]
        makes_picture = rows[0]["runs"] == "image"
        page_ms = {step: [] for step in group}
        page_cpu = {step: [] for step in group}
        for _ in range(runs):
            for step, row in zip(group, rows):
                value = step.partition("=")[2]
                given = (int(value) if value.lstrip("-").isdigit() else value) if value else None  # or a kernel word
                cpu = page.thread_seconds()
                page.js("window.lumaforge.run(arguments[0], arguments[1])", row["id"], given)
                page.wait_state("idle", 900)
                page_cpu[step].append((page.thread_seconds() - cpu) * 1000)
                page_ms[step].append(page.js("return window.lumaforge.lastRun.ms"))
            if makes_picture:
                page.keys("z", modifiers=(Keys.CONTROL,))  # back to the picture for the next
                page.wait_state("idle")
        native_ms, native_cpu = native_times(native, picture, group, makes_picture, runs)
        for step in group:
            ms, cpu = min(page_ms[step]), min(page_cpu[step])
            cpu_columns = "" if served else f" {cpu:9.0f} {native_cpu[step]:10.0f} {ratio(cpu, native_cpu[step])}"
            print(f"{step:{width}} {ms:9.1f} {native_ms[step]:10.1f} {ratio(ms, native_ms[step])}{cpu_columns}",
                  flush=True)


def native_times(cli, picture, group, makes_picture, runs):
    """The fastest of `runs` runs of each step of `group` in one run of the
    tool, as the page runs them: elapsed and processor milliseconds."""
    sequence = []
    for _ in range(runs):
        sequence += group + (["undo"] if makes_picture else [])
    run = cli.run(picture, *sequence, "--seed", "1", "--time")
    if run.returncode != 0:
        raise RuntimeError(run.stderr)
    elapsed, processor = {}, {}
    for line in run.stderr.splitlines():
        word, step, ms, cpu = line.split()
        if word == "time" and step in group:
            elapsed[step] = min(elapsed.get(step, float("inf")), float(ms))
            processor[step] = min(processor.get(step, float("inf")), float(cpu))
    return elapsed, processor


def tiled(path, width, height):
    """A width x height BMP of the picture at `path` repeated."""
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    w, h = struct.unpack_from("<ii", data, 18)
    stride = (3 * w + 3) // 4 * 4
    rows = [data[offset + y * stride:offset + y * stride + 3 * w] for y in range(h)]
    out_stride = (3 * width + 3) // 4 * 4
    pad = b"\0" * (out_stride - 3 * width)
    block = b"".join((rows[y % h] * (width // w + 1))[:3 * width] + pad for y in range(height))
    return (b"BM" + struct.pack("<IHHI", 54 + len(block), 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(block), 0, 0, 0, 0) + block)


def screenshot(page, samples, out):
    """The page zoomed in after a median filter, the panel explaining a
    pinned pixel, the status bar following the cursor."""
    page.give_file(os.path.join(samples, "photo.bmp"))
    page.wait_state("idle")
    page.keys("d", modifiers=(Keys.CONTROL,))
    page.wait_state("modal")
    page.keys(Keys.ARROW_RIGHT, Keys.ENTER)
    page.wait_state("idle")
    page.keys("e", modifiers=(Keys.CONTROL,))
    page.wait_state("idle")
    page.point_at(200, 150)
    page.wheel_at(200, 150, -4, modifiers=(Keys.CONTROL,))
    page.click_at(210, 170)
    page.point_at(300, 250)
    page.driver.save_screenshot(out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--page", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--corpus-maker")
    parser.add_argument("--timing")
    parser.add_argument("--screenshot")
    parser.add_argument("--served", action="store_true")
    parser.add_argument("--only")
    args = parser.parse_args()
    scratch = tempfile.mkdtemp(prefix="lumaforge-web-")
    page = server = None
    try:
        if args.served or not (args.timing or args.screenshot):
            # The page's folder over HTTP, cross-origin isolated.
            server = subprocess.Popen([sys.executable, os.path.join(os.path.dirname(__file__), "..", "..", "scripts",
                                                                    "web_server.py"), os.path.dirname(os.path.abspath(args.page)), "0"],
                                      stdout=subprocess.PIPE, text=True)
            served = server.stdout.readline().strip() + os.path.basename(args.page)
        downloads = os.path.join(scratch, "downloads")
        os.mkdir(downloads)
        page = Page(served if args.served else args.page, os.path.join(scratch, "profile"), downloads,
                    (1180, 760) if args.screenshot else (900, 700))
        print(f"page size {os.path.getsize(args.page)} bytes, ready {page.js('return window.lumaforge.readyMs'):.0f} ms "
              f"after navigation (module {page.js('return window.lumaforge.loadMs'):.0f} ms)")
        cli = Cli(args.cli, scratch)
        if not (args.timing or args.screenshot):
            check(os.path.getsize(args.page) < 2_000_000, "the page is under 2 MB")
        if args.timing:
            width, height = map(int, args.timing.split("x"))
            picture = os.path.join(scratch, "tiled.bmp")
            open(picture, "wb").write(tiled(os.path.join(args.samples, "photo.bmp"), width, height))
            time_commands(page, cli, picture, args.served, args.only)
        elif args.screenshot:
            screenshot(page, args.samples, args.screenshot)
        else:
            test_page(page, cli, args.samples, scratch)
            test_look_inside(page, args.page, cli, args.samples, scratch)
            test_save_as(page, args.page, cli, args.samples, scratch)
            test_measure(page, args.page, cli, args.samples, scratch)
            test_help(page, args.page, cli)
            test_language(page, args.page, cli, args.samples)
            if args.corpus_maker:
                test_pictures(page, cli, args.corpus_maker, scratch)
            test_plain_module(page, args.page, cli, args.samples)
            test_threaded_module(page, served, cli, args.samples, scratch)
    finally:
        if page:
            page.quit()
        if server:
            server.terminate()
            server.wait()
        shutil.rmtree(scratch, ignore_errors=True)
    if not (args.timing or args.screenshot):
        print(f"web page: {len(FAILURES)} failed")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
