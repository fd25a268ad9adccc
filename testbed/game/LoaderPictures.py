#!/usr/bin/env python3
"""Draws the game executable's cursor and icon: LoaderPictures.py OUTPUT_FOLDER.

BlizzardCursor.cur: 32x32 monochrome arrow, hot spot at its tip.
war3x.ico: 32x32, 32 bits per pixel, a red square with a yellow diagonal (unlike any other icon).
"""
import os
import struct
import sys


def bitmap_header(width, height, bits, image_size, colours=0):
    # Height counts the colour bitmap and the mask together.
    return struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, bits, 0, image_size, 0, 0, colours, 0)


def mask_rows(width, height, opaque):
    rows = b''
    stride = ((width + 31) // 32) * 4
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            if not opaque(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        rows += bytes(row)
    return rows


def cursor():
    size = 32
    inside = lambda x, y: x <= y < 24 and x < 16
    xor = b''
    for y in reversed(range(size)):
        row = bytearray(4)
        for x in range(size):
            if inside(x, y) and (x == 0 or y == x or y == 23):
                row[x // 8] |= 0x80 >> (x % 8)   # white outline on a black arrow
        xor += bytes(row)
    image = bitmap_header(size, size, 1, len(xor) * 2, 2) + b'\x00\x00\x00\x00\xff\xff\xff\x00' + xor
    image += mask_rows(size, size, inside)
    entry = struct.pack('<BBBBHHII', size, size, 2, 0, 0, 0, len(image), 22)   # hot spot 0, 0
    return struct.pack('<HHH', 0, 2, 1) + entry + image


def icon():
    size = 32
    pixels = b''
    for y in reversed(range(size)):
        for x in range(size):
            pixels += b'\x00\xff\xff\xff' if abs(x - y) <= 2 else b'\x20\x20\xd0\xff'   # BGRA
    image = bitmap_header(size, size, 32, len(pixels)) + pixels + mask_rows(size, size, lambda x, y: True)
    entry = struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 22)
    return struct.pack('<HHH', 0, 1, 1) + entry + image


if __name__ == '__main__':
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, 'BlizzardCursor.cur'), 'wb') as f:
        f.write(cursor())
    with open(os.path.join(folder, 'war3x.ico'), 'wb') as f:
        f.write(icon())
