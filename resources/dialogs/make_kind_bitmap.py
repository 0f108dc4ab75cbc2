#!/usr/bin/env python3
"""Draws bitmap 130, the kind tree's image strip: three 16 x 16 images in the
16 standard colours on white. Image 0 (three coloured boxes joined by lines)
marks groups, image 1 (a green gem) marks kinds, image 2 is spare.

    python3 make_kind_bitmap.py kinds.bmp
"""
import struct
import sys

# The 16-colour palette of the window system, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DGREEN, GREY, RED, GREEN, YELLOW, BLUE, WHITE = 0, 2, 8, 9, 10, 11, 12, 15

WIDTH, HEIGHT = 48, 16


def box(pixels, x0, y0, size, fill):
    for y in range(y0, y0 + size):
        for x in range(x0, x0 + size):
            edge = x in (x0, x0 + size - 1) or y in (y0, y0 + size - 1)
            pixels[y][x] = BLACK if edge else fill


def group_image(pixels):
    # A box at the top left, two below it on a line that joins them.
    for y in range(5, 13):
        pixels[y][3] = GREY
    for x in range(3, 9):
        pixels[7][x] = GREY
        pixels[12][x] = GREY
    box(pixels, 0, 0, 6, RED)
    box(pixels, 8, 5, 5, BLUE)
    box(pixels, 8, 10, 5, YELLOW)


def gem_image(pixels, left):
    # A cut stone: a flat top, widening, then a point at the bottom.
    rows = [(5, 10), (4, 11), (3, 12), (2, 13), (2, 13), (3, 12), (4, 11), (5, 10), (6, 9),
            (7, 8)]
    for i, (a, b) in enumerate(rows):
        y = 3 + i
        for x in range(a, b + 1):
            edge = x in (a, b) or i in (0, len(rows) - 1)
            lit = i < 3 and x < (a + b) // 2
            pixels[y][left + x] = DGREEN if edge else (WHITE if lit and x == a + 1 else
                                                        (GREEN if i < 4 else DGREEN))
    for x in range(3, 13):  # the girdle
        if pixels[6][left + x] != WHITE:
            pixels[6][left + x] = DGREEN


def main():
    pixels = [[WHITE] * WIDTH for _ in range(HEIGHT)]
    group_image(pixels)
    gem_image(pixels, 16)
    # Image 2 stays white: nothing uses it.
    row_bytes = (WIDTH // 2 + 3) & ~3
    data = bytearray()
    for y in reversed(range(HEIGHT)):  # bottom-up rows
        row = bytearray()
        for x in range(0, WIDTH, 2):
            row.append(pixels[y][x] << 4 | pixels[y][x + 1])
        row.extend(b"\0" * (row_bytes - len(row)))
        data += row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(data), 2835, 2835, 16, 0)
    with open(sys.argv[1], "wb") as out:
        out.write(header + info + palette + data)


if __name__ == "__main__":
    main()
