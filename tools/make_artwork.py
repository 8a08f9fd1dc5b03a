#!/usr/bin/env python3
"""Writes the starter's artwork: res/starter.ico, res/spare.ico, res/about.bmp.

Run from the repository root:  python3 tools/make_artwork.py

Standard library only.  The about picture's lettering is drawn from the
DejaVu Sans outlines, so the Debian/Ubuntu package "fonts-dejavu-core" must be
installed (it provides /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf).
The fonts are read and rasterised here, not by a third-party renderer, so the
output is byte-for-byte the same on every run.

The files are kept in the formats the program's oldest targets read without
help: icons are 4-bit DIBs on the standard 16-colour palette, the about
picture is an 8-bit palettised bottom-up BMP.
"""

import math
import os
import struct
import sys

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
# TrueType outlines (just enough of the format for DejaVu Sans)

class Font:
    def __init__(self, path):
        try:
            with open(path, "rb") as f:
                self.data = data = f.read()
        except OSError:
            sys.exit(f"make_artwork: {path} is missing; install fonts-dejavu-core")
        count = struct.unpack_from(">H", data, 4)[0]
        self.tables = {}
        for i in range(count):
            tag, _, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
            self.tables[tag.decode("latin-1")] = (offset, length)
        head = self.tables["head"][0]
        self.units = struct.unpack_from(">H", data, head + 18)[0]
        self.long_loca = struct.unpack_from(">h", data, head + 50)[0] == 1
        self.glyph_count = struct.unpack_from(">H", data, self.tables["maxp"][0] + 4)[0]
        self.metric_count = struct.unpack_from(">H", data, self.tables["hhea"][0] + 34)[0]
        self._read_cmap()
        self._read_kern()

    def _read_cmap(self):
        data, base = self.data, self.tables["cmap"][0]
        self.cmap = {}
        for i in range(struct.unpack_from(">H", data, base + 2)[0]):
            platform, encoding, offset = struct.unpack_from(">HHI", data, base + 4 + 8 * i)
            sub = base + offset
            if (platform, encoding) != (3, 1) or struct.unpack_from(">H", data, sub)[0] != 4:
                continue
            segs = struct.unpack_from(">H", data, sub + 6)[0] // 2
            ends = struct.unpack_from(f">{segs}H", data, sub + 14)
            starts = struct.unpack_from(f">{segs}H", data, sub + 16 + 2 * segs)
            deltas = struct.unpack_from(f">{segs}h", data, sub + 16 + 4 * segs)
            ranges_at = sub + 16 + 6 * segs
            ranges = struct.unpack_from(f">{segs}H", data, ranges_at)
            for s in range(segs):
                for code in range(starts[s], ends[s] + 1):
                    if code == 0xFFFF:
                        continue
                    if ranges[s] == 0:
                        gid = (code + deltas[s]) & 0xFFFF
                    else:
                        at = ranges_at + 2 * s + ranges[s] + 2 * (code - starts[s])
                        gid = struct.unpack_from(">H", data, at)[0]
                        if gid:
                            gid = (gid + deltas[s]) & 0xFFFF
                    self.cmap[code] = gid
            return
        raise ValueError("font has no Unicode BMP cmap")

    def _read_kern(self):
        self.kern = {}
        if "kern" not in self.tables:
            return
        data, at = self.data, self.tables["kern"][0]
        if struct.unpack_from(">H", data, at)[0] != 0:
            return
        at += 4
        # Only the first (horizontal, format 0) subtable matters for Latin text.
        _, _, coverage, pairs = struct.unpack_from(">HHHH", data, at)
        if coverage & 0xFF01 != 1:
            return
        at += 14
        for i in range(pairs):
            left, right, value = struct.unpack_from(">HHh", data, at + 6 * i)
            self.kern[(left, right)] = value

    def glyph(self, char):
        return self.cmap.get(ord(char), 0)

    def advance(self, gid):
        at = self.tables["hmtx"][0] + 4 * min(gid, self.metric_count - 1)
        return struct.unpack_from(">H", self.data, at)[0]

    def _glyph_range(self, gid):
        loca = self.tables["loca"][0]
        if self.long_loca:
            start, end = struct.unpack_from(">II", self.data, loca + 4 * gid)
        else:
            start, end = (2 * v for v in struct.unpack_from(">HH", self.data, loca + 2 * gid))
        return self.tables["glyf"][0] + start, end - start

    def contours(self, gid):
        """Outline of a glyph as closed contours of (x, y, on_curve) in font units."""
        at, length = self._glyph_range(gid)
        if length == 0:
            return []
        data = self.data
        n = struct.unpack_from(">h", data, at)[0]
        if n < 0:
            return self._composite(at + 10)
        ends = struct.unpack_from(f">{n}H", data, at + 10)
        points = ends[-1] + 1 if n else 0
        at += 10 + 2 * n
        at += 2 + struct.unpack_from(">H", data, at)[0]  # skip the hinting program
        flags = []
        while len(flags) < points:
            flag = data[at]
            at += 1
            flags.append(flag)
            if flag & 8:
                flags.extend([flag] * data[at])
                at += 1
        coords = []
        for short, same in ((2, 16), (4, 32)):
            value, axis = 0, []
            for flag in flags:
                if flag & short:
                    delta = data[at]
                    at += 1
                    value += delta if flag & same else -delta
                elif not flag & same:
                    value += struct.unpack_from(">h", data, at)[0]
                    at += 2
                axis.append(value)
            coords.append(axis)
        result, start = [], 0
        for end in ends:
            result.append([(coords[0][i], coords[1][i], bool(flags[i] & 1))
                           for i in range(start, end + 1)])
            start = end + 1
        return result

    def _composite(self, at):
        data, result = self.data, []
        while True:
            flags, gid = struct.unpack_from(">HH", data, at)
            at += 4
            if flags & 1:
                dx, dy = struct.unpack_from(">hh", data, at)
                at += 4
            else:
                dx, dy = struct.unpack_from(">bb", data, at)
                at += 2
            a, b, c, d = 1.0, 0.0, 0.0, 1.0
            if flags & 8:
                a = d = struct.unpack_from(">h", data, at)[0] / 16384
                at += 2
            elif flags & 0x40:
                a, d = (v / 16384 for v in struct.unpack_from(">hh", data, at))
                at += 4
            elif flags & 0x80:
                a, b, c, d = (v / 16384 for v in struct.unpack_from(">hhhh", data, at))
                at += 8
            if not flags & 2:
                raise ValueError("point-matched composite glyphs are not handled")
            for contour in self.contours(gid):
                result.append([(a * x + c * y + dx, b * x + d * y + dy, on)
                               for x, y, on in contour])
            if not flags & 0x20:
                return result


def flatten(contour, curve_steps):
    """Turns a quadratic TrueType contour into a polygon."""
    pts = list(contour)
    if not any(on for _, _, on in pts):
        pts.insert(0, ((pts[0][0] + pts[-1][0]) / 2, (pts[0][1] + pts[-1][1]) / 2, True))
    while not pts[0][2]:
        pts.append(pts.pop(0))
    out = [(pts[0][0], pts[0][1])]
    count = len(pts)
    i = 1
    while i <= count:
        x, y, on = pts[i % count]
        if on:
            out.append((x, y))
            i += 1
            continue
        nx, ny, non = pts[(i + 1) % count]
        if not non:
            nx, ny = (x + nx) / 2, (y + ny) / 2
            i += 1
        else:
            i += 2
        sx, sy = out[-1]
        for k in range(1, curve_steps + 1):
            t = k / curve_steps
            u = 1 - t
            out.append((u * u * sx + 2 * u * t * x + t * t * nx,
                        u * u * sy + 2 * u * t * y + t * t * ny))
    return out[:-1] if out[-1] == out[0] else out


def text_width(font, text, size, tracking=0.0):
    scale = size / font.units
    gids = [font.glyph(ch) for ch in text]
    width = 0.0
    for i, gid in enumerate(gids):
        width += font.advance(gid) * scale
        if i + 1 < len(gids):
            width += font.kern.get((gid, gids[i + 1]), 0) * scale + tracking
    return width


def text_shapes(font, text, size, x, baseline, tracking=0.0):
    """Polygons of a line of text, in pixels, y growing downwards."""
    scale = size / font.units
    gids = [font.glyph(ch) for ch in text]
    steps = max(4, int(size / 4))
    polys = []
    for i, gid in enumerate(gids):
        for contour in font.contours(gid):
            polys.append([(x + px * scale, baseline - py * scale)
                          for px, py in flatten(contour, steps)])
        x += font.advance(gid) * scale
        if i + 1 < len(gids):
            x += font.kern.get((gid, gids[i + 1]), 0) * scale + tracking
    return polys


# ---------------------------------------------------------------------------
# Anti-aliased polygon filling: 16 sub-scanlines per pixel row, exact
# horizontal coverage, non-zero winding.

SUB = 16


def coverage(polys, width, height):
    edges = []
    for poly in polys:
        for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]):
            if y0 == y1:
                continue
            wind = 1
            if y0 > y1:
                x0, y0, x1, y1, wind = x1, y1, x0, y0, -1
            edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0), wind))
    mask = {}
    if not edges:
        return mask
    top = max(0, int(math.floor(min(e[0] for e in edges))))
    bottom = min(height, int(math.ceil(max(e[1] for e in edges))))
    for row in range(top, bottom):
        live = [e for e in edges if e[0] < row + 1 and e[1] > row]
        if not live:
            continue
        acc = [0.0] * (width + 1)
        for s in range(SUB):
            sy = row + (s + 0.5) / SUB
            hits = sorted((x0 + (sy - y0) * slope, wind)
                          for y0, y1, x0, slope, wind in live if y0 <= sy < y1)
            winding = 0
            start = 0.0
            for x, wind in hits:
                before = winding
                winding += wind
                if before == 0 and winding != 0:
                    start = x
                elif before != 0 and winding == 0:
                    _span(acc, start, x, width)
        for col in range(width):
            if acc[col] > 0:
                mask[row * width + col] = min(1.0, acc[col] / SUB)
    return mask


def _span(acc, a, b, width):
    a = max(0.0, min(float(width), a))
    b = max(0.0, min(float(width), b))
    if b <= a:
        return
    ia, ib = int(a), int(b)
    if ia == ib:
        acc[ia] += b - a
        return
    acc[ia] += ia + 1 - a
    for i in range(ia + 1, ib):
        acc[i] += 1.0
    acc[ib] += b - ib


def rounded_rect(x0, y0, x1, y1, r, steps=24):
    pts = []
    for cx, cy, start in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0),
                          (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)):
        for k in range(steps + 1):
            t = math.radians(start + 90 * k / steps)
            pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return pts


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


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


def paint(pixels, mask, colour):
    for at, a in mask.items():
        pixels[at] = mix(pixels[at], colour, a)


def about_pixels():
    w, h = ABOUT_W, ABOUT_H
    bold = Font(os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf"))
    book = Font(os.path.join(FONT_DIR, "DejaVuSans.ttf"))
    pixels = []
    for y in range(h):
        for x in range(w):
            if y < HEADER_H:
                pixels.append(gradient(x, y))
            elif y < HEADER_H + RULE_H:
                pixels.append(ACCENT)
            else:
                pixels.append(PAPER)

    # Emblem: the program's icon, a tile with a "T", at about-box scale.
    tile = 80
    name_size = 52
    name_w = text_width(bold, "Tavelkin", name_size)
    gap = 20
    left = int(round((w - (tile + gap + name_w)) / 2))
    tile_top = (HEADER_H - tile) // 2
    paint(pixels, coverage([rounded_rect(left, tile_top, left + tile, tile_top + tile, 16)], w, h), WHITE)
    cx = left + tile / 2
    bar_top = tile_top + 19
    paint(pixels, coverage([rect(cx - 24, bar_top, cx + 24, bar_top + 13),
                            rect(cx - 8, bar_top + 13, cx + 8, tile_top + tile - 15)], w, h), TILE_INK)
    paint(pixels, coverage([rect(cx - 24, tile_top + tile - 12, cx + 24, tile_top + tile - 9)], w, h), ACCENT)

    # Product name and line beneath it, set to the right of the emblem.
    text_x = left + tile + gap
    baseline = tile_top + 50
    paint(pixels, coverage(text_shapes(bold, "Tavelkin", name_size, text_x, baseline), w, h), WHITE)
    paint(pixels, coverage(text_shapes(bold, "STARTER", 15, text_x + 3, tile_top + tile - 6, 3.2), w, h), ACCENT)

    # Edition lines on the paper, flush with the emblem's left edge.
    paint(pixels, coverage(text_shapes(book, "Version 1.0", 15, left, 240), w, h), INK)
    paint(pixels, coverage(text_shapes(book, "\u00a9 2026 Tavelkin team", 13, left, 266), w, h), SOFT_INK)
    paint(pixels, coverage(text_shapes(book, "All rights reserved.", 13, left, 284), w, h), SOFT_INK)
    return pixels


def nearest(palette, colour, cache):
    key = tuple(int(round(v)) for v in colour)
    hit = cache.get(key)
    if hit is None:
        r, g, b = key
        best = None
        for i, (pr, pg, pb) in enumerate(palette):
            d = 3 * (pr - r) ** 2 + 4 * (pg - g) ** 2 + 2 * (pb - b) ** 2
            if best is None or d < best[0]:
                best = (d, i)
        hit = cache[key] = best[1]
    return hit


def write_about(path):
    palette = about_palette()
    pixels = about_pixels()
    cache = {}
    indices = [nearest(palette, c, cache) for c in pixels]
    w, h = ABOUT_W, ABOUT_H
    stride = (w + 3) & ~3
    rows = []
    for y in range(h - 1, -1, -1):  # bottom-up
        row = bytes(indices[y * w:(y + 1) * w])
        rows.append(row + b"\0" * (stride - w))
    bits = b"".join(rows)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    with open(path, "wb") as f:
        f.write(header + info + colours + bits)


# ---------------------------------------------------------------------------
# Icons, drawn pixel by pixel on the 16-colour palette.

# One letter per pixel: k black, m maroon, g green, o olive, n navy, p purple,
# t teal, s silver, d dark grey, r red, l lime, y yellow, b blue, f fuchsia,
# a aqua, w white, "." transparent.
INK_KEYS = {
    "k": 0, "m": 1, "g": 2, "o": 3, "n": 4, "p": 5, "t": 6, "s": 7,
    "d": 8, "r": 9, "l": 10, "y": 11, "b": 12, "f": 13, "a": 14, "w": 15,
    ".": None,  # transparent
}

STARTER_32 = """
nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn
nttttttttttttttttttttttttttttttn
nttttttttttttttttttttttttttttttn
nttttttttttttttttttttttttttttttn
ntttttwwwwwwwwwwwwwwwwwwwwtttttn
ntttttwwwwwwwwwwwwwwwwwwwwnttttn
ntttttwwwwwwwwwwwwwwwwwwwwnttttn
ntttttwwwwwwwwwwwwwwwwwwwwnttttn
ntttttwwwwwwwwwwwwwwwwwwwwnttttn
nttttttnnnnnnwwwwwwnnnnnnnnttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
nttttttttttttwwwwwwntttttttttttn
ntttttttttttttnnnnnntttttttttttn
nttttttttttttttttttttttttttttttn
ntttttttyyyyyyyyyyyyyyyytttttttn
ntttttttyyyyyyyyyyyyyyyytttttttn
nttttttttttttttttttttttttttttttn
nttttttttttttttttttttttttttttttn
nttttttttttttttttttttttttttttttn
nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn
"""

STARTER_16 = """
nnnnnnnnnnnnnnnn
nttttttttttttttn
nttwwwwwwwwwwttn
nttwwwwwwwwwwntn
nttwwwwwwwwwwntn
ntttnnwwwwnnnntn
ntttttwwwwnttttn
ntttttwwwwnttttn
ntttttwwwwnttttn
ntttttwwwwnttttn
ntttttwwwwnttttn
ntttttwwwwnttttn
nttttttnnnnttttn
ntttyyyyyyyytttn
nttttttttttttttn
nnnnnnnnnnnnnnnn
"""

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
    write_icon(os.path.join(res, "starter.ico"),
               [parse_art(STARTER_32, 32), parse_art(STARTER_16, 16)])
    write_icon(os.path.join(res, "spare.ico"),
               [parse_art(SPARE_16, 16), parse_art(SPARE_32, 32)])


if __name__ == "__main__":
    main()
