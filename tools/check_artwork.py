#!/usr/bin/python3
"""Checks res/starter.ico, res/spare.ico and res/about.bmp are in the exact
formats the program loads, independently of the script that draws them.

Run from the repository root:  tools/check_artwork.py
Exits non-zero, naming the first problem, if a file is off.
"""

import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

VGA16 = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


class Bad(Exception):
    pass


def expect(ok, what):
    if not ok:
        raise Bad(what)


def read(name):
    with open(os.path.join(ROOT, "res", name), "rb") as f:
        return f.read()


def check_icon(name, sizes, transparent):
    data = read(name)
    expect(len(data) >= 6, f"{name}: too short")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    expect((reserved, kind, count) == (0, 1, len(sizes)),
           f"{name}: ICONDIR is {reserved}/{kind}/{count}, want 0/1/{len(sizes)}")
    pictures = []
    end_of_dir = 6 + 16 * count
    for i, size in enumerate(sizes):
        w, h, colours, res, planes, bits, length, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        tag = f"{name} image {i}"
        expect((w, h) == (size, size), f"{tag}: is {w}x{h}, want {size}x{size}")
        expect((colours, res, planes, bits) == (16, 0, 1, 4),
               f"{tag}: entry says colours {colours}, reserved {res}, planes {planes}, bits {bits}")
        expect(offset >= end_of_dir and offset + length <= len(data), f"{tag}: lies outside the file")
        image = data[offset:offset + length]
        expect(image[:4] != b"\x89PNG", f"{tag}: is PNG, want a DIB")
        (hsize, bw, bh, bplanes, bbits, compression, _, _, _, used, _) = struct.unpack_from(
            "<IiiHHIIiiII", image, 0)
        expect(hsize == 40, f"{tag}: header size {hsize}, want 40 (BITMAPINFOHEADER)")
        expect((bw, bh) == (size, 2 * size), f"{tag}: DIB is {bw}x{bh}, want {size}x{2 * size}")
        expect((bplanes, bbits, compression) == (1, 4, 0),
               f"{tag}: planes {bplanes}, bits {bbits}, compression {compression}")
        expect(used in (0, 16), f"{tag}: biClrUsed {used}")
        palette = [struct.unpack_from("<BBBB", image, 40 + 4 * k) for k in range(16)]
        expect([(r, g, b) for b, g, r, _ in palette] == VGA16,
               f"{tag}: palette is not the standard 16 colours")
        expect(all(q == 0 for _, _, _, q in palette), f"{tag}: RGBQUAD reserved bytes not zero")
        xor_stride = ((size * 4 + 31) // 32) * 4
        and_stride = ((size + 31) // 32) * 4
        xor_at = 40 + 64
        and_at = xor_at + xor_stride * size
        expect(length == and_at + and_stride * size,
               f"{tag}: {length} bytes, want {and_at + and_stride * size}")
        pixels, holes = [], 0
        for row in range(size):  # stored bottom-up
            for x in range(size):
                byte = image[xor_at + row * xor_stride + x // 2]
                ink = byte >> 4 if x % 2 == 0 else byte & 15
                clear = image[and_at + row * and_stride + x // 8] & (0x80 >> (x % 8))
                if clear:
                    holes += 1
                    expect(ink == 0, f"{tag}: transparent pixel ({x},{size - 1 - row}) is not black")
                pixels.append(ink)
            # Row padding carries no picture.
            expect(all(b == 0 for b in image[xor_at + row * xor_stride + (size + 1) // 2:
                                            xor_at + (row + 1) * xor_stride]),
                   f"{tag}: colour row padding not zero")
        if transparent:
            expect(0 < holes < size * size, f"{tag}: mask has {holes} transparent pixels")
        else:
            expect(holes == 0, f"{tag}: mask has {holes} transparent pixels, want none")
        expect(len(set(pixels)) > 2, f"{tag}: picture is nearly blank")
        pictures.append((size, pixels, holes))
        end_of_dir = max(end_of_dir, offset + length)
    return pictures


def check_bmp(name, width, height):
    data = read(name)
    magic, file_size, r1, r2, off_bits = struct.unpack_from("<2sIHHI", data, 0)
    expect(magic == b"BM", f"{name}: no BM signature")
    expect(file_size == len(data), f"{name}: header says {file_size} bytes, file has {len(data)}")
    expect((r1, r2) == (0, 0), f"{name}: reserved fields not zero")
    (hsize, w, h, planes, bits, compression, image_size, _, _, used, important) = \
        struct.unpack_from("<IiiHHIIiiII", data, 14)
    expect(hsize == 40, f"{name}: header size {hsize}, want 40")
    expect((w, h) == (width, height), f"{name}: is {w}x{h}, want {width}x{height} (bottom-up)")
    expect((planes, bits, compression) == (1, 8, 0),
           f"{name}: planes {planes}, bits {bits}, compression {compression}")
    expect(used in (0, 256), f"{name}: biClrUsed {used}, want 256 (or 0)")
    expect(important <= 256, f"{name}: biClrImportant {important}")
    expect(off_bits == 14 + 40 + 256 * 4, f"{name}: pixels at {off_bits}, want {14 + 40 + 1024}")
    stride = (width + 3) & ~3
    expect(len(data) - off_bits == stride * height,
           f"{name}: {len(data) - off_bits} bytes of pixels, want {stride * height}")
    expect(image_size in (0, stride * height), f"{name}: biSizeImage {image_size}")
    rows = [data[off_bits + y * stride:off_bits + (y + 1) * stride] for y in range(height)]
    expect(all(all(b == 0 for b in row[width:]) for row in rows), f"{name}: row padding not zero")
    used_inks = set()
    for row in rows:
        used_inks.update(row[:width])
    expect(len(used_inks) >= 32, f"{name}: only {len(used_inks)} colours in use")
    return len(used_inks)


def main():
    try:
        starter = check_icon("starter.ico", (32, 16), transparent=False)
        spare = check_icon("spare.ico", (16, 32), transparent=True)
        expect(starter[0][1] != spare[1][1], "starter.ico and spare.ico show the same 32x32 picture")
        inks = check_bmp("about.bmp", 412, 312)
    except (Bad, OSError, struct.error) as e:
        print(f"check_artwork: FAIL: {e}", file=sys.stderr)
        return 1
    print("starter.ico: 32x32 then 16x16, 4 bpp, standard 16 colours, opaque")
    print("spare.ico:   16x16 then 32x32, 4 bpp, standard 16 colours, "
          f"{spare[0][2]} and {spare[1][2]} transparent pixels")
    print(f"about.bmp:   412x312 bottom-up, 8 bpp BI_RGB, 256-entry palette, {inks} colours in use")
    print("check_artwork: OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
