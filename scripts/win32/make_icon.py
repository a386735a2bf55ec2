#!/usr/bin/env python3
"""Draws the Windows program's icon: a small picture (sky, sun, hills) above
the red, green and blue bars of a histogram, on a white card with a black
edge. Writes a .ico with a 32x32 and a 16x16 image, 16 colours each (4 bits
per pixel, the standard 16-colour palette), transparent around the card.

usage: make_icon.py OUT.ico
"""
import math
import struct
import sys

# The standard 16-colour palette, (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREEN, GREY, RED, LIME, YELLOW, BLUE, AQUA, WHITE = 0, 2, 8, 9, 10, 11, 12, 14, 15
CLEAR = None  # transparent: the mask bit is set


# Layouts on each size's own pixel grid: a scaled-down 32x32 loses the edge.
LAYOUTS = {
    32: dict(card=(1, 2, 31, 30), sky=(3, 4, 29, 18), sun=(22, 8.5, 3.2), hills=((9, 14, 4, 6), (24, 14, 2, 5)),
             line=18, foot=28, bar_x=4, bar_w=2, bar_step=3, bars=(3, 6, 9, 7, 4, 8, 5, 2)),
    16: dict(card=(0, 1, 16, 15), sky=(1, 2, 15, 8), sun=(11, 4, 1.6), hills=((4, 7, 2, 3), (12, 7, 1, 2)),
             line=8, foot=14, bar_x=2, bar_w=1, bar_step=2, bars=(2, 4, 3, 5, 2, 4)),
}


def draw(n):
    """Rows top-down of palette indices (or CLEAR) for an n x n icon."""
    g = LAYOUTS[n]
    px = [[CLEAR] * n for _ in range(n)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                px[y][x] = colour

    # The card and its edge.
    x0, y0, x1, y1 = g['card']
    rect(x0, y0, x1, y1, BLACK)
    rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, WHITE)
    # The picture: sky, sun, two hills (the dark green below their light rim).
    sx0, sy0, sx1, sy1 = g['sky']
    cx, cy, r = g['sun']
    for y in range(sy0, sy1):
        for x in range(sx0, sx1):
            colour = AQUA
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                colour = YELLOW
            ground = min(base - rise * math.exp(-((x + 0.5 - centre) / width) ** 2)
                         for centre, base, rise, width in g['hills'])
            if y + 0.5 >= ground:
                colour = DARK_GREEN if y + 0.5 >= ground + n / 16 else LIME
            px[y][x] = colour
    rect(sx0, g['line'], sx1, g['line'] + 1, GREY)
    # The histogram: bars in red, green and blue rising from the card's foot.
    bars = g['bars']
    third = len(bars) / 3
    for i, h in enumerate(bars):
        colour = (RED, LIME, BLUE)[min(2, int(i / third))]
        x = g['bar_x'] + g['bar_step'] * i
        rect(x, g['foot'] - h, x + g['bar_w'], g['foot'], colour)
    return px


def image_bytes(n):
    px = draw(n)
    xor_stride = ((n * 4 + 31) // 32) * 4
    and_stride = ((n + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(px):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            index = 0 if c is CLEAR else c
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if c is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [(32, image_bytes(32)), (16, image_bytes(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        out += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, data in images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
