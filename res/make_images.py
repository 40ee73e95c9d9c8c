#!/usr/bin/env python3
"""Writes the program's icons and its hand cursor as .ico/.cur files.

    python3 res/make_images.py      (from the repository root, or anywhere)

The pictures are drawn here from small character maps, so the files can be made again byte for
byte on any machine with Python 3 and nothing else:

  tray_normal.ico   (120) a raised grey button face bearing a blue "Go"
  tray_pressed.ico  (121) the same button pressed in: dark top and left edges, caption one
                          edge width down and right
  brisklet.ico      (130) the program icon: the raised button
  web.ico           (131) a globe: a button's icon until its site's own icon has come
  hand.cur          (147) a pointing hand, 32x32, 48x48 and 64x64, hot spot on the tip of the
                          index finger; black, white and transparent, as a 1-bit bitmap

The icons hold 16, 20, 24, 32, 40, 48 and 64 pixel images: the small and large icon sizes at 96,
120, 144 and 192 DPI. Each size is drawn at its own size (edges one, two or three pixels wide, the
caption at a whole multiple), so none is a blurred stretch of another. The 16 and 32 pixel
images are the 16 pixel drawing and its exact double.

The images up to 24 pixels are bitmaps of 4 bits per pixel (the drawings have at most 16
colours) with an AND mask that marks the transparent pixels, so every Windows shows them. The
larger ones are stored as PNG (RGBA), which Windows reads in icons from Vista on: a flat drawing
compresses to a few hundred bytes where the 32-bit bitmap takes up to 20 KiB.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

TRANSPARENT = None
WHITE = (255, 255, 255)
FACE = (192, 192, 192)
SHADOW = (128, 128, 128)
BLACK = (0, 0, 0)
BLUE = (0, 0, 200)

# The caption "Go", 9 x 6 pixels: '#' is ink.
GO = [
    ".###.....",
    "#........",
    "#.##.##..",
    "#..##..#.",
    "#..##..#.",
    ".###.##..",
]


def blank(size, colour=TRANSPARENT):
    return [[colour] * size for _ in range(size)]


ICON_SIZES = (16, 20, 24, 32, 40, 48, 64)


def half_up(value):
    return int(value + 0.5)


def button(size, pressed):
    """The button at `size` pixels: black outer frame, 3D edges, grey face, blue caption.

    Edges are t = size / 16 pixels wide (rounded), the caption is drawn s = size // 16 times
    over, at the place the 16 pixel drawing has it, scaled."""
    t = half_up(size / 16)
    s = size // 16
    n = size
    img = blank(n)
    for y in range(t, n - t):
        for x in range(t, n - t):
            img[y][x] = FACE
    # Outer frame; the corners stay transparent.
    for i in range(t, n - t):
        for k in range(t):
            img[k][i] = img[n - 1 - k][i] = BLACK
            img[i][k] = img[i][n - 1 - k] = BLACK
    # Inner edges: light top/left and dark bottom/right when raised, the other way round when
    # pressed in.
    top_left, bottom_right = (SHADOW, WHITE) if pressed else (WHITE, SHADOW)
    for i in range(t, n - t):
        for k in range(t, 2 * t):
            img[k][i] = img[i][k] = top_left
    for i in range(2 * t, n - t):
        for k in range(n - 2 * t, n - t):
            img[k][i] = img[i][k] = bottom_right
    # Caption; one edge width down and right when pressed.
    ox, oy = half_up(4 * n / 16), half_up(5 * n / 16)
    if pressed:
        ox, oy = ox + t, oy + t
    for row, line in enumerate(GO):
        for col, ch in enumerate(line):
            if ch == "#":
                for dy in range(s):
                    for dx in range(s):
                        img[oy + row * s + dy][ox + col * s + dx] = BLUE
    return img


def scale_nearest(img, size):
    """The picture at `size` pixels, each pixel taken from the nearest one of the original."""
    old = len(img)
    return [[img[y * old // size][x * old // size] for x in range(size)] for y in range(size)]


# The hand: '#' black outline, 'o' white inside, anything else transparent.
HAND = [
    "     ##           ",
    "    #oo#          ",
    "    #oo#          ",
    "    #oo#          ",
    "    #oo#          ",
    "    #oo###        ",
    "    #oo#oo##      ",
    "    #oo#oo#o##    ",
    " ## #oo#oo#oo#o#  ",
    "#oo##oooooooo#oo# ",
    "#ooo#ooooooooooo# ",
    " #oooooooooooooo# ",
    "  #ooooooooooooo# ",
    "  #oooooooooooo#  ",
    "   #ooooooooooo#  ",
    "   #oooooooooo#   ",
    "    #ooooooooo#   ",
    "    #ooooooooo#   ",
    "    ###########   ",
]
HAND_HOTSPOT = (5, 0)


CURSOR_SIZES = (32, 48, 64)


def hand_32():
    img = blank(32)
    for y, line in enumerate(HAND):
        for x, ch in enumerate(line):
            if ch == "#":
                img[y][x] = BLACK
            elif ch == "o":
                img[y][x] = WHITE
    return img


def dib(img):
    """BITMAPINFOHEADER, 32-bit BGRA pixels bottom-up, then the 1-bit AND mask."""
    size = len(img)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(img):
        for px in row:
            if px is TRANSPARENT:
                pixels += bytes((0, 0, 0, 0))
            else:
                r, g, b = px
                pixels += bytes((b, g, r, 255))
    mask = bytearray()
    stride = ((size + 31) // 32) * 4
    for row in reversed(img):
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if px is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


# Icon images of this size and larger are stored as PNG.
PNG_FROM = 32


def png(img):
    """The picture as a PNG: 8-bit RGBA, no interlace, every row with filter 0."""
    size = len(img)
    raw = bytearray()
    for row in img:
        raw.append(0)
        for px in row:
            raw += bytes((0, 0, 0, 0)) if px is TRANSPARENT else bytes(px) + b"\xff"

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def dib_indexed(img, colours, bits):
    """The picture as a bitmap of `bits` (1 or 4) per pixel over the colour table `colours`, with
    the AND mask (1 = transparent), bottom-up: BITMAPINFOHEADER, colours, pixels, mask."""
    size = len(img)
    count = 1 << bits
    per_byte = 8 // bits
    index = {c: i for i, c in enumerate(colours)}
    stride = ((size * bits + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, count, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours + [BLACK] * (count - len(colours)))
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(img):
        line = bytearray(stride)
        holes = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px is TRANSPARENT:
                holes[x // 8] |= 0x80 >> (x % 8)
            else:
                line[x // per_byte] |= index.get(px, 0) << (bits * (per_byte - 1 - x % per_byte))
        pixels += line
        mask += holes
    return header + palette + bytes(pixels) + bytes(mask)


def dib_paletted(img):
    """The picture as a 4-bit bitmap when it has at most 16 colours (every drawing here does),
    else None. Same pixels as the 32-bit bitmap, a quarter of its size, and shown the same by
    every Windows."""
    colours = sorted({px for row in img for px in row if px is not TRANSPARENT})
    return dib_indexed(img, colours, 4) if len(colours) <= 16 else None


def dib_mono(img):
    """A black, white and transparent picture as a 1-bit bitmap. The hand cursor has no other
    colours, so it loses nothing and is a tenth of the 32-bit size."""
    return dib_indexed(img, [BLACK, WHITE], 1)


def icon_file(images, cursor_hotspot=None):
    """An .ico (type 1) or, with a hot spot (for the 32 pixel image; scaled for the others), a
    .cur (type 2) holding the given images."""
    kind = 2 if cursor_hotspot else 1
    out = bytearray(struct.pack("<HHH", 0, kind, len(images)))
    if cursor_hotspot:
        blobs = [dib_mono(img) for img in images]
    else:
        blobs = [png(img) if len(img) >= PNG_FROM else dib_paletted(img) or dib(img) for img in images]
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, blobs):
        size = len(img)
        if cursor_hotspot:
            field1, field2 = (cursor_hotspot[0] * size // 32, cursor_hotspot[1] * size // 32)
        else:
            # planes, bits per pixel (a bitmap's own; 32 for PNG)
            field1, field2 = 1, struct.unpack("<H", blob[14:16])[0] if blob[:4] == struct.pack("<I", 40) else 32
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, field1, field2, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


GLOBE_FILL = (96, 160, 232)
GLOBE_LINE = (16, 64, 160)


def globe(size):
    """A globe: a light blue disc with a dark rim, the equator, two parallels and two meridians,
    lines t = size / 16 pixels wide (rounded)."""
    t = half_up(size / 16)
    img = blank(size)
    c = (size - 1) / 2
    r = size / 2 - 0.5
    for y in range(size):
        for x in range(size):
            dx, dy = x - c, y - c
            d = (dx * dx + dy * dy) ** 0.5
            if d > r:
                continue
            line = d > r - t
            # Meridians: the ellipses x^2 / a^2 + y^2 / r^2 = 1 for a = r / 2, and the central one.
            a = r / 2
            e = (dx * dx / (a * a) + dy * dy / (r * r)) ** 0.5
            line = line or abs(e - 1) * a < t / 2 or abs(dx) < t / 2
            # Equator and the two parallels at a third of the radius either side.
            line = line or abs(dy) < t / 2 or abs(abs(dy) - r / 2) < t / 2
            img[y][x] = GLOBE_LINE if line else GLOBE_FILL
    return img


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    normal = [button(size, False) for size in ICON_SIZES]
    pressed = [button(size, True) for size in ICON_SIZES]
    write("tray_normal.ico", icon_file(normal))
    write("tray_pressed.ico", icon_file(pressed))
    write("brisklet.ico", icon_file(normal))
    write("web.ico", icon_file([globe(size) for size in ICON_SIZES]))
    hand = hand_32()
    write("hand.cur", icon_file([scale_nearest(hand, size) for size in CURSOR_SIZES], cursor_hotspot=HAND_HOTSPOT))


if __name__ == "__main__":
    main()
