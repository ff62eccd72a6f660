#!/usr/bin/env python3
"""Draws eject.bmp, bitmap 107: 16 x 16, 8 bits per pixel, 256-entry palette; a green disc
with a white eject symbol (a triangle pointing up over a bar) on black, which is transparent."""
import struct
import sys

SIZE = 16
BLACK, GREEN, WHITE = 0, 1, 2
palette = [(0, 0, 0), (0x2E, 0xB8, 0x3C), (0xFF, 0xFF, 0xFF)] + [(0, 0, 0)] * 253


def pixel(x, y):
    cx = cy = (SIZE - 1) / 2
    if (x - cx) ** 2 + (y - cy) ** 2 > 7.2 ** 2:
        return BLACK
    # Triangle: rows 3..8, widening by one column each side per row.
    if 3 <= y <= 8 and abs(x - cx) <= (y - 3) + 0.5:
        return WHITE
    if 10 <= y <= 11 and 2 <= x <= 13:
        return WHITE
    return GREEN


rows = b"".join(bytes(pixel(x, y) for x in range(SIZE)) for y in reversed(range(SIZE)))
colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
offset = 14 + 40 + len(colours)
header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
with open(sys.argv[1] if len(sys.argv) > 1 else "eject.bmp", "wb") as out:
    out.write(header + info + colours + rows)
