#!/usr/bin/env python3
"""Draws the bundled sample pictures (24-bit BMP) from nothing but arithmetic.

photo.bmp   640x480  colourful gradients, hard edges, discs and texture
text.bmp    480x160  black letter-like glyphs on white, for segmentation
square.bmp  512x512  smooth shapes and stripes, for the block transforms
odd.bmp     301x203  a width that needs row padding
"""
import math
import os
import random
import struct
import sys


def write_bmp(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b), y counted from the top."""
    pad = (4 - (3 * width) % 4) % 4
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * pad
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def clamp(v):
    return 0 if v < 0 else 255 if v > 255 else int(v)


def photo(w, h, seed):
    rnd = random.Random(seed)
    noise = [rnd.randint(-12, 12) for _ in range(w * h)]
    discs = [(rnd.uniform(0, w), rnd.uniform(0, h), rnd.uniform(20, 90),
              (rnd.randint(0, 255), rnd.randint(0, 255), rnd.randint(0, 255))) for _ in range(7)]

    def pixel(x, y):
        # sky-to-ground gradient with a horizon
        if y < h * 0.55:
            t = y / (h * 0.55)
            r, g, b = 90 + 80 * t, 140 + 60 * t, 230 - 30 * t
        else:
            t = (y - h * 0.55) / (h * 0.45)
            r, g, b = 70 + 60 * t, 120 - 40 * t, 40 + 20 * t
            r += 20 * math.sin(x / 9.0) * math.cos(y / 5.0)  # texture
        for cx, cy, rad, col in discs:
            d = math.hypot(x - cx, y - cy)
            if d < rad:
                shade = 0.6 + 0.4 * (1 - d / rad)
                r, g, b = col[0] * shade, col[1] * shade, col[2] * shade
        if (x // 40 + y // 40) % 2 == 0 and x > w * 0.75 and y > h * 0.7:
            r, g, b = 250, 250, 250  # a chequered patch with hard edges
        n = noise[y * w + x]
        return clamp(r + n), clamp(g + n), clamp(b + n)
    return pixel


# 5x7 glyphs, '#' is ink.
GLYPHS = {
    "Л": ["..###", ".#..#", ".#..#", ".#..#", ".#..#", ".#..#", "#...#"],
    "У": ["#...#", "#...#", "#...#", ".####", "....#", "....#", "####."],
    "М": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "А": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "Ф": ["..#..", ".###.", "#.#.#", "#.#.#", ".###.", "..#..", "..#.."],
    "О": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "Р": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Г": ["#####", "#....", "#....", "#....", "#....", "#....", "#...."],
    "Е": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    ":": [".....", "..#..", ".....", ".....", ".....", "..#..", "....."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
}


def text(w, h):
    lines = ["ЛУМАФОРГЕ", "ФОРМА 123", "i: ГОРА 2"]
    scale = 4
    ink = set()
    for li, line in enumerate(lines):
        top = 14 + li * 48
        left = 16
        for ch in line:
            if ch != " ":
                for gy, row in enumerate(GLYPHS[ch]):
                    for gx, c in enumerate(row):
                        if c == "#":
                            for dy in range(scale):
                                for dx in range(scale):
                                    ink.add((left + gx * scale + dx, top + gy * scale + dy))
            left += 6 * scale + 2

    def pixel(x, y):
        return (20, 20, 30) if (x, y) in ink else (255, 255, 255)
    return pixel


def square(w, h):
    def pixel(x, y):
        r = 128 + 100 * math.sin(x / 23.0)
        g = 128 + 100 * math.cos(y / 31.0)
        b = 255 if ((x - 256) ** 2 + (y - 256) ** 2) < 120 ** 2 else 40
        if (x // 16) % 2 == 0 and y < 64:
            r, g, b = 0, 0, 0
        return clamp(r), clamp(g), clamp(b)
    return pixel


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "samples")
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "photo.bmp"), 640, 480, photo(640, 480, 7))
    write_bmp(os.path.join(out, "text.bmp"), 480, 160, text(480, 160))
    write_bmp(os.path.join(out, "square.bmp"), 512, 512, square(512, 512))
    write_bmp(os.path.join(out, "odd.bmp"), 301, 203, photo(301, 203, 11))


if __name__ == "__main__":
    main()
