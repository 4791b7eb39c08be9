#!/usr/bin/env python3
"""Draws the two notification-area pictures of the Linux program as PNG
files (16x16 and 32x32): a grey button face with the letters OK, and the
same crossed out by a red X. Run once; the PNGs are committed."""
import struct
import zlib
from pathlib import Path

BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)
FACE = (192, 192, 192, 255)
SHADOW = (128, 128, 128, 255)
RED = (255, 0, 0, 255)
CLEAR = (0, 0, 0, 0)


def png(path, pixels, size):
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)
    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    head = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    Path(path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) +
                           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def draw(size, crossed):
    s = size // 16  # scale: 1 for 16x16, 2 for 32x32
    px = [[CLEAR] * size for _ in range(size)]
    top, bottom = 3 * s, 13 * s - 1
    left, right = 0, size - 1
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            px[y][x] = FACE
    for x in range(left, right + 1):
        px[top][x] = WHITE
        px[bottom][x] = BLACK
        px[bottom - 1][x] = SHADOW if x > left else WHITE
    for y in range(top, bottom + 1):
        px[y][left] = WHITE if y < bottom else BLACK
        px[y][right] = BLACK
        if top < y < bottom:
            px[y][right - 1] = SHADOW
    # "OK" in a 7x5 pixel font, scaled.
    glyph_o = ["01110", "10001", "10001", "10001", "10001", "10001", "01110"]
    glyph_k = ["10001", "10010", "10100", "11000", "10100", "10010", "10001"]
    gy = top + (bottom - top + 1 - 7 * s) // 2
    for gx, glyph in ((2 * s, glyph_o), (9 * s, glyph_k)):
        for row, bits in enumerate(glyph):
            for col, bit in enumerate(bits):
                if bit == "1":
                    for dy in range(s):
                        for dx in range(s):
                            px[gy + row * s + dy][gx + col * s + dx] = BLACK
    if crossed:
        for i in range(size):
            for t in range(-s, s):
                for x in (i + t, size - 1 - i + t):
                    if 0 <= x < size:
                        px[i][x] = RED
    return px


here = Path(__file__).resolve().parent
for name, crossed in (("OKon", False), ("OKoff", True)):
    for size in (16, 32):
        png(here / f"{name}-{size}.png", draw(size, crossed), size)
