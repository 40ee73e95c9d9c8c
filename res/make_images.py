#!/usr/bin/env python3
"""Writes the program's icons and its hand cursor as .ico/.cur files.

    python3 res/make_images.py      (from the repository root, or anywhere)

The pictures are drawn here from small character maps, so the files can be made again byte for
byte on any machine with Python 3 and nothing else:

  tray_normal.ico   (120) a raised grey button face bearing a blue "Go", 16x16 and 32x32
  tray_pressed.ico  (121) the same button pressed in: dark top and left edges, caption one
                          pixel down and right
  brisklet.ico      (130) the program icon: the raised button, 16x16 and 32x32
  hand.cur          (147) a pointing hand, 32x32, hot spot on the tip of the index finger

Every image is 32 bits per pixel (BGRA) with an AND mask that marks the transparent pixels, so
it also shows correctly where the alpha channel is ignored.
"""

import os
import struct

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


def button_16(pressed):
    """The 16x16 button: black outer frame, 3D edges, grey face, blue caption."""
    img = blank(16)
    for y in range(1, 15):
        for x in range(1, 15):
            img[y][x] = FACE
    # Outer frame.
    for i in range(1, 15):
        img[0][i] = img[15][i] = BLACK
        img[i][0] = img[i][15] = BLACK
    # Inner edges: light top/left and dark bottom/right when raised, the other way round when
    # pressed in.
    top_left, bottom_right = (SHADOW, WHITE) if pressed else (WHITE, SHADOW)
    for i in range(1, 15):
        img[1][i] = top_left
        img[i][1] = top_left
    for i in range(2, 15):
        img[14][i] = bottom_right
        img[i][14] = bottom_right
    # Caption, centred; one pixel down and right when pressed.
    ox, oy = (4, 5) if not pressed else (5, 6)
    for row, line in enumerate(GO):
        for col, ch in enumerate(line):
            if ch == "#":
                img[oy + row][ox + col] = BLUE
    return img


def scale2(img):
    out = []
    for row in img:
        wide = []
        for px in row:
            wide += [px, px]
        out.append(wide)
        out.append(list(wide))
    return out


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


def icon_file(images, cursor_hotspot=None):
    """An .ico (type 1) or, with a hot spot, a .cur (type 2) holding the given images."""
    kind = 2 if cursor_hotspot else 1
    out = bytearray(struct.pack("<HHH", 0, kind, len(images)))
    blobs = [dib(img) for img in images]
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, blobs):
        size = len(img)
        if cursor_hotspot:
            field1, field2 = cursor_hotspot
        else:
            field1, field2 = 1, 32   # planes, bits per pixel
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, field1, field2, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    normal = button_16(False)
    pressed = button_16(True)
    write("tray_normal.ico", icon_file([normal, scale2(normal)]))
    write("tray_pressed.ico", icon_file([pressed, scale2(pressed)]))
    write("brisklet.ico", icon_file([normal, scale2(normal)]))
    write("hand.cur", icon_file([hand_32()], cursor_hotspot=HAND_HOTSPOT))


if __name__ == "__main__":
    main()
