#!/usr/bin/env python3
"""Writes the twelve lamp glyphs of TComLed as Windows bitmaps.

Each glyph is 15 x 15 pixels, 4 bits per pixel, with the standard 16-colour
palette. The pixel at the bottom-left corner has the background colour,
which the lamp draws transparent. Run from anywhere:

    python3 resources/leds/make_leds.py

Standard library only; the .bmp files are written beside this script.
"""

import math
import os
import struct

# The standard 16-colour palette, in palette order.
PALETTE = [
    (0, 0, 0),        # 0 black
    (128, 0, 0),      # 1 maroon
    (0, 128, 0),      # 2 green
    (128, 128, 0),    # 3 olive
    (0, 0, 128),      # 4 navy
    (128, 0, 128),    # 5 purple
    (0, 128, 128),    # 6 teal
    (128, 128, 128),  # 7 grey
    (192, 192, 192),  # 8 silver
    (255, 0, 0),      # 9 red
    (0, 255, 0),      # 10 lime
    (255, 255, 0),    # 11 yellow
    (0, 0, 255),      # 12 blue
    (255, 0, 255),    # 13 fuchsia
    (0, 255, 255),    # 14 aqua
    (255, 255, 255),  # 15 white
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, GREY, SILVER = range(9)
RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(9, 16)

SIZE = 15
CENTRE = 7.0


def blank(background):
    return [[background] * SIZE for _ in range(SIZE)]


def lamp(dark, bright, background, lit):
    """A round lamp: black rim, the kind's colour inside, a white and silver
    highlight at the upper left and grey shading at the lower right. A lit
    lamp has its bright colour over the dark one, which stays as a ring."""
    img = blank(background)
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - CENTRE, y - CENTRE)
            if d > 6.7:
                continue
            if d > 5.6:
                img[y][x] = BLACK
                continue
            colour = dark
            if lit and d <= 4.3:
                colour = bright
            # Shading: the lower-right edge of the glass.
            if d > 4.3 and (x - CENTRE) + (y - CENTRE) > 2.5:
                colour = GREY
            # Highlight: a white spot with a silver halo at the upper left.
            hx, hy = x - 4.5, y - 4.5
            h = math.hypot(hx, hy)
            if h <= 0.8:
                colour = WHITE
            elif h <= 1.6:
                colour = SILVER
            img[y][x] = colour
    return img


def bulb(background, lit):
    """A light bulb: round white glass with a black outline, a grey filament,
    a silver screw base; the lit one has yellow rays around it."""
    img = blank(background)
    gx, gy, r = 7.0, 6.0, 4.6
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - gx, y - gy)
            if d <= r - 1.0:
                img[y][x] = WHITE
            elif d <= r and y <= 9:
                img[y][x] = BLACK
    # The neck of the glass down to the base.
    for y in (9, 10):
        img[y][5] = BLACK
        img[y][9] = BLACK
        for x in range(6, 9):
            img[y][x] = WHITE
    # The filament: a small zigzag held by two wires.
    for x, y in ((5, 4), (6, 5), (7, 4), (8, 5), (9, 4), (6, 6), (6, 7), (6, 8), (8, 6), (8, 7), (8, 8)):
        img[y][x] = GREY
    # The screw base.
    for y in (11, 12):
        for x in range(5, 10):
            img[y][x] = SILVER if (x + y) % 2 else GREY
    img[13][6] = BLACK
    img[13][7] = BLACK
    img[13][8] = BLACK
    if lit:
        rays = [
            (7, 0),                     # up
            (1, 6), (13, 6),            # left, right
            (2, 1), (12, 1),            # upper diagonals
            (2, 10), (12, 10),          # lower diagonals
            (3, 2), (11, 2),
            (0, 6), (14, 6),
            (1, 11), (13, 11),
        ]
        for x, y in rays:
            img[y][x] = YELLOW
    return img


def write_bmp(path, img):
    """4-bit uncompressed Windows bitmap, bottom-up rows padded to 4 bytes."""
    row_bytes = ((SIZE * 4 + 31) // 32) * 4
    pixels = bytearray()
    for y in reversed(range(SIZE)):
        row = img[y] + [0]
        packed = bytearray((row[i] << 4) | row[i + 1] for i in range(0, SIZE, 2))
        packed += b"\0" * (row_bytes - len(packed))
        pixels += packed
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 4, 0, len(pixels),
                       3780, 3780, 16, 16)
    with open(path, "wb") as f:
        f.write(header + info + palette + pixels)


GLYPHS = {
    "LEDREDON": lambda: lamp(MAROON, RED, OLIVE, True),
    "LEDREDOFF": lambda: lamp(MAROON, RED, OLIVE, False),
    "LEDGREENON": lambda: lamp(GREEN, LIME, OLIVE, True),
    "LEDGREENOFF": lambda: lamp(GREEN, LIME, OLIVE, False),
    "LEDBLUEON": lambda: lamp(NAVY, BLUE, OLIVE, True),
    "LEDBLUEOFF": lambda: lamp(NAVY, BLUE, OLIVE, False),
    # The yellow lamp is olive when dark, so its background is purple.
    "LEDYELLOWON": lambda: lamp(OLIVE, YELLOW, PURPLE, True),
    "LEDYELLOWOFF": lambda: lamp(OLIVE, YELLOW, PURPLE, False),
    "LEDPURPLEON": lambda: lamp(PURPLE, FUCHSIA, OLIVE, True),
    "LEDPURPLEOFF": lambda: lamp(PURPLE, FUCHSIA, OLIVE, False),
    "LEDBULBON": lambda: bulb(OLIVE, True),
    "LEDBULBOFF": lambda: bulb(OLIVE, False),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, draw in GLYPHS.items():
        img = draw()
        assert img[SIZE - 1][0] in (OLIVE, PURPLE), name  # transparent key
        write_bmp(os.path.join(here, name + ".bmp"), img)


if __name__ == "__main__":
    main()
