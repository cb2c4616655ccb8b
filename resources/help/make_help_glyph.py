#!/usr/bin/env python3
"""Writes the help button's glyph and its form-file text.

The glyph is 32 x 32 pixels, 8 bits per pixel (256-colour palette): a tilted
dark-grey tile with a blue rim carrying a white question mark, on a light-grey
background. The bottom-left pixel has the background colour, which the
button draws transparent. Run from anywhere:

    python3 resources/help/make_help_glyph.py

Writes HelpGlyph.bmp beside this script and prints the `Glyph.Data = {...}`
lines for the main window's layout (the bitmap file with its length in front,
as form files store it). Standard library only.
"""

import math
import os
import struct

SIZE = 32
BACKGROUND = 0   # light grey
TILE = 1         # dark grey
RIM = 2          # blue
MARK = 3         # white
SHADE = 4        # darker grey at the tile's lower right
PALETTE = [(192, 192, 192), (72, 72, 72), (0, 0, 200), (255, 255, 255), (48, 48, 48)]
PALETTE += [(0, 0, 0)] * (256 - len(PALETTE))

# The question mark, 9 x 14, drawn upright on the tile.
MARK_ROWS = [
    "..#####..",
    ".#######.",
    "###...###",
    "##.....##",
    ".......##",
    "......###",
    ".....###.",
    "....###..",
    "....##...",
    "....##...",
    ".........",
    "....##...",
    "....##...",
    ".........",
]


def tile_pixel(x, y):
    """The tile's colour at (x, y), or None outside it."""
    cx, cy = 15.5, 15.5
    angle = math.radians(18)
    # Rotate the point back into the tile's own axes.
    dx, dy = x - cx, y - cy
    u = dx * math.cos(angle) + dy * math.sin(angle)
    v = -dx * math.sin(angle) + dy * math.cos(angle)
    half = 11.0
    if abs(u) > half or abs(v) > half:
        return None
    if abs(u) > half - 2.2 or abs(v) > half - 2.2:
        return RIM
    if u + v > 12.0:
        return SHADE
    return TILE


def pixels():
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            c = tile_pixel(x, y)
            row.append(BACKGROUND if c is None else c)
        rows.append(row)
    top, left = 9, 12
    for j, line in enumerate(MARK_ROWS):
        for i, ch in enumerate(line):
            if ch == "#":
                rows[top + j][left + i] = MARK
    return rows


def bitmap(rows):
    stride = (SIZE + 3) // 4 * 4
    data = bytearray()
    for row in reversed(rows):  # bottom-up, as bitmap files store rows
        data += bytes(row) + bytes(stride - SIZE)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, len(data), 3780, 3780, 256, 0)
    return header + info + palette + data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    bmp = bitmap(pixels())
    with open(os.path.join(here, "HelpGlyph.bmp"), "wb") as f:
        f.write(bmp)
    stream = struct.pack("<I", len(bmp)) + bmp
    text = stream.hex().upper()
    print("      Glyph.Data = {")
    for i in range(0, len(text), 64):
        end = "}" if i + 64 >= len(text) else ""
        print("        " + text[i:i + 64] + end)


if __name__ == "__main__":
    main()
