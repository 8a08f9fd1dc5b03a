#!/usr/bin/python3
"""Writes the starter's artwork: res/starter.ico, res/spare.ico, res/about.bmp.

Run from the repository root:  tools/make_artwork.py

Debian's own Python, for Pillow (python3-pil), which sets the about
picture's lettering with FreeType in the DejaVu Sans fonts (fonts-dejavu-core).

The files are kept in the formats the program's oldest targets read without
help: icons are 4-bit DIBs on the standard 16-colour palette, the about
picture is an 8-bit palettised bottom-up BMP.
"""

import os
import struct

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

# The 16 colours every Windows display can show, in VGA order.
VGA16 = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


# ---------------------------------------------------------------------------
# About picture

ABOUT_W, ABOUT_H = 412, 312
HEADER_H = 196          # gradient band; the accent rule sits just below it
RULE_H = 4

TOP_LEFT = (0x0D, 0x27, 0x4A)      # deep navy
BOTTOM_RIGHT = (0x16, 0x6E, 0x8C)  # teal blue, kin to the icon's tile
WHITE = (0xFF, 0xFF, 0xFF)
ACCENT = (0xF2, 0xA7, 0x2E)        # warm amber
TILE_INK = (0x13, 0x6A, 0x85)
PAPER = (0xFF, 0xFF, 0xFF)
INK = (0x22, 0x2B, 0x36)
SOFT_INK = (0x6A, 0x75, 0x82)

GRADIENT_STEPS = 64
MIX_ANCHORS = 12
MIX_LEVELS = 8


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def gradient_t(x, y):
    # Diagonal, from the top left corner to the bottom right of the band.
    t = (x / (ABOUT_W - 1) * 0.45 + y / (HEADER_H - 1) * 0.55)
    return max(0.0, min(1.0, t))


def gradient(x, y):
    return mix(TOP_LEFT, BOTTOM_RIGHT, gradient_t(x, y))


def about_palette():
    """Ramps for every blend the picture uses, so no pixel needs dithering."""
    colours = []

    def add(c):
        c = tuple(int(round(v)) for v in c)
        if c not in colours:
            colours.append(c)

    for c in (WHITE, ACCENT, TILE_INK, INK, SOFT_INK):
        add(c)
    for k in range(GRADIENT_STEPS):
        add(mix(TOP_LEFT, BOTTOM_RIGHT, k / (GRADIENT_STEPS - 1)))
    # White and amber lettering over the band.
    for k in range(MIX_ANCHORS):
        base = mix(TOP_LEFT, BOTTOM_RIGHT, k / (MIX_ANCHORS - 1))
        for j in range(1, MIX_LEVELS):
            add(mix(base, WHITE, j / MIX_LEVELS))
    for k in range(0, MIX_ANCHORS, 2):
        base = mix(TOP_LEFT, BOTTOM_RIGHT, k / (MIX_ANCHORS - 1))
        for j in range(1, MIX_LEVELS):
            add(mix(base, ACCENT, j / MIX_LEVELS))
    # Ink on paper and on the white tile.
    for ink, levels in ((TILE_INK, 16), (INK, 16), (SOFT_INK, 12), (ACCENT, 8)):
        for j in range(1, levels):
            add(mix(PAPER, ink, j / levels))
    if len(colours) > 256:
        raise SystemExit(f"about palette needs {len(colours)} entries")
    while len(colours) < 256:
        colours.append((0, 0, 0))  # unused; a full table keeps old readers happy
    return colours


def about_image():
    w, h = ABOUT_W, ABOUT_H
    bold = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")
    book = os.path.join(FONT_DIR, "DejaVuSans.ttf")
    picture = Image.new("RGB", (w, h), PAPER)
    picture.putdata([tuple(round(v) for v in gradient(x, y)) for y in range(HEADER_H) for x in range(w)])
    draw = ImageDraw.Draw(picture)
    draw.rectangle((0, HEADER_H, w - 1, HEADER_H + RULE_H - 1), ACCENT)

    # Emblem: the program's icon, a tile with a "T", at about-box scale.
    tile = 80
    name = ImageFont.truetype(bold, 52)
    gap = 20
    left = round((w - (tile + gap + name.getlength("Tavelkin"))) / 2)
    tile_top = (HEADER_H - tile) // 2
    # Its round corners smoothed: drawn four times as large, then shrunk.
    corners = Image.new("L", (4 * tile, 4 * tile))
    ImageDraw.Draw(corners).rounded_rectangle((0, 0, 4 * tile - 1, 4 * tile - 1), 4 * 16, 255)
    picture.paste(WHITE, (left, tile_top), corners.resize((tile, tile), Image.Resampling.BOX))
    cx = left + tile // 2
    bar_top = tile_top + 19
    draw.rectangle((cx - 24, bar_top, cx + 23, bar_top + 12), TILE_INK)
    draw.rectangle((cx - 8, bar_top + 13, cx + 7, tile_top + tile - 16), TILE_INK)
    draw.rectangle((cx - 24, tile_top + tile - 12, cx + 23, tile_top + tile - 10), ACCENT)

    # Product name and line beneath it, set to the right of the emblem; the
    # line spaced out letter by letter.
    text_x = left + tile + gap
    draw.text((text_x, tile_top + 50), "Tavelkin", WHITE, name, "ls")
    small_caps = ImageFont.truetype(bold, 15)
    x = text_x + 3
    for letter in "STARTER":
        draw.text((x, tile_top + tile - 6), letter, ACCENT, small_caps, "ls")
        x += small_caps.getlength(letter) + 3.2

    # Edition lines on the paper, flush with the emblem's left edge.
    draw.text((left, 240), "Version 1.0", INK, ImageFont.truetype(book, 15), "ls")
    small = ImageFont.truetype(book, 13)
    draw.text((left, 266), "\u00a9 2026 Tavelkin team", SOFT_INK, small, "ls")
    draw.text((left, 284), "All rights reserved.", SOFT_INK, small, "ls")
    return picture


def write_about(path):
    palette = about_palette()
    picture = about_image()
    # Each colour takes its nearest palette entry, so nothing is dithered.
    # By hand: Pillow's quantize to a given palette looks colours up in boxes
    # four levels wide, which merges the gradient's close steps into bands.
    nearest = {colour: min(range(len(palette)), key=lambda i: sum(
        weight * (a - b) ** 2 for weight, a, b in zip((3, 4, 2), palette[i], colour)))
        for _, colour in picture.getcolors(ABOUT_W * ABOUT_H)}
    indexed = Image.new("P", picture.size)
    indexed.putpalette([v for colour in palette for v in colour])
    indexed.putdata([nearest[colour] for colour in picture.getdata()])
    indexed.save(path, "BMP")


# ---------------------------------------------------------------------------
# Icons on the 16-colour palette: the main one drawn in boxes, the spare one
# pixel by pixel.

# One letter per pixel: k black, m maroon, g green, o olive, n navy, p purple,
# t teal, s silver, d dark grey, r red, l lime, y yellow, b blue, f fuchsia,
# a aqua, w white, "." transparent.
INK_KEYS = {
    "k": 0, "m": 1, "g": 2, "o": 3, "n": 4, "p": 5, "t": 6, "s": 7,
    "d": 8, "r": 9, "l": 10, "y": 11, "b": 12, "f": 13, "a": 14, "w": 15,
    ".": None,  # transparent
}


# The main icon: a teal tile framed in navy, a white "T" casting a navy shadow
# one pixel down and to the right, and a yellow rule. Boxes are (left, top,
# right, bottom), both ends included.
def starter_icon(size, bar, stem, rule):
    tile = Image.new("P", (size, size), INK_KEYS["t"])
    draw = ImageDraw.Draw(tile)
    draw.rectangle((0, 0, size - 1, size - 1), outline=INK_KEYS["n"])
    for shift, ink in ((1, "n"), (0, "w")):
        for left, top, right, bottom in (bar, stem):
            draw.rectangle((left + shift, top + shift, right + shift, bottom + shift), INK_KEYS[ink])
    draw.rectangle(rule, INK_KEYS["y"])
    return [[tile.getpixel((x, y)) for x in range(size)] for y in range(size)]


SPARE_16 = """
.....kkkkkk.....
...kklllllgkk...
..kllggggggggk..
.klgggggggggggk.
.klggwggggggggk.
klgggwwwgggggggk
klgggwwwwwgggggk
klgggwwwwwwwgggk
klgggwwwwwwwgggk
klgggwwwwwgggggk
kggggwwwgggggggk
.kgggwggggggggk.
.kggggggggggggk.
..kggggggggggk..
...kkggggggkk...
.....kkkkkk.....
"""

SPARE_32 = """
..............kkkk..............
..........kkkkllllkkkk..........
........kkllllgggglllgkk........
.......kllggggggggggggggk.......
.....kklgggggggggggggggggkk.....
....kllggggggggggggggggggggk....
....klgggggggggggggggggggggk....
...klgggggggggggggggggggggggk...
..klgggggggwgggggggggggggggggk..
..klgggggggwwwgggggggggggggggk..
.klggggggggwwwwwggggggggggggggk.
.klggggggggwwwwwwwggggggggggggk.
.klggggggggwwwwwwwwwggggggggggk.
.klggggggggwwwwwwwwwwwggggggggk.
klgggggggggwwwwwwwwwwwwwgggggggk
klgggggggggwwwwwwwwwwwwwwwgggggk
klgggggggggwwwwwwwwwwwwwwwgggggk
klgggggggggwwwwwwwwwwwwwgggggggk
.klggggggggwwwwwwwwwwwggggggggk.
.klggggggggwwwwwwwwwggggggggggk.
.klggggggggwwwwwwwggggggggggggk.
.kgggggggggwwwwwggggggggggggggk.
..kggggggggwwwgggggggggggggggk..
..kggggggggwgggggggggggggggggk..
...kggggggggggggggggggggggggk...
....kggggggggggggggggggggggk....
....kggggggggggggggggggggggk....
.....kkggggggggggggggggggkk.....
.......kggggggggggggggggk.......
........kkggggggggggggkk........
..........kkkkggggkkkk..........
..............kkkk..............
"""


def parse_art(art, size):
    rows = [line for line in art.strip("\n").split("\n")]
    if len(rows) != size or any(len(r) != size for r in rows):
        raise SystemExit(f"icon art is not {size}x{size}: "
                         + ", ".join(str(len(r)) for r in rows))
    return [[INK_KEYS[ch] for ch in row] for row in rows]


def icon_image(grid):
    size = len(grid)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for row in reversed(grid):  # bottom-up
        packed = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x, ink in enumerate(row):
            if ink is None:
                ink = 0  # transparent pixels are black in the colour plane
                mask[x // 8] |= 0x80 >> (x % 8)
            packed[x // 2] |= ink << (4 if x % 2 == 0 else 0)
        xor_rows.append(bytes(packed))
        and_rows.append(bytes(mask))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, len(bits), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA16)
    return info + colours + bits


def write_icon(path, grids):
    images = [icon_image(g) for g in grids]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for grid, image in zip(grids, images):
        size = len(grid)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def main():
    res = os.path.join(ROOT, "res")
    os.makedirs(res, exist_ok=True)
    write_about(os.path.join(res, "about.bmp"))
    # The main icon is fully opaque; the spare one has a transparent surround.
    write_icon(os.path.join(res, "starter.ico"), [starter_icon(32, (6, 4, 25, 8), (13, 9, 18, 23), (8, 26, 23, 27)),
                                                  starter_icon(16, (3, 2, 12, 4), (6, 5, 9, 11), (4, 13, 11, 13))])
    write_icon(os.path.join(res, "spare.ico"),
               [parse_art(SPARE_16, 16), parse_art(SPARE_32, 32)])


if __name__ == "__main__":
    main()
