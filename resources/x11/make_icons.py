#!/usr/bin/env python3
"""Draws the pictures of the Linux program as PNG files:
- the two notification-area pictures (16x16 and 32x32): a grey button face
  with the letters OK, and the same crossed out by a red X;
- the settings windows' tool-button images (16x16), each also greyed for a
  disabled button, the window search tool's two faces (31x28) and its
  cross-hair drag cursor (32x32). These are the Windows build's pictures,
  taken from ../make_art.py, so both builds look alike.
Run again after changing the artwork; the PNGs are committed."""
import struct
import sys
import zlib
from pathlib import Path

sys.dont_write_bytecode = True  # leave no cache folder in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
import make_art  # noqa: E402  (the shared artwork, next to this folder)

BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)
FACE = (192, 192, 192, 255)
SHADOW = (128, 128, 128, 255)
RED = (255, 0, 0, 255)
CLEAR = (0, 0, 0, 0)


def png(path, pixels, size=None):
    """size: square images pass their edge; others take it from the pixels."""
    width, height = (size, size) if size else (len(pixels[0]), len(pixels))
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)
    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    head = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
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


# The cross-hair cursor's hot spot, (x, y) from the top-left pixel of
# crosshair-32.png: where its lines meet. Give it to QCursor(pixmap, x, y).
CROSSHAIR_HOTSPOT = make_art.CROSSHAIR_HOTSPOT  # (15, 15)


def rgba(grid):
    """A picture in make_art's 16-colour palette (None: transparent) as RGBA."""
    return [[CLEAR if c is None else make_art.PALETTE16[c] + (255,) for c in row]
            for row in grid]


def cursor_pixels(art):
    """make_art's cursor strings: '#' black, '.' white, ' ' transparent."""
    inks = {"#": BLACK, ".": WHITE, " ": CLEAR}
    rows = [[inks[c] for c in row.ljust(32)] for row in art]
    return rows + [[CLEAR] * 32 for _ in range(32 - len(rows))]


# make_art's file stem -> our name: btn-<name>-16.png, btn-<name>-grey-16.png
BUTTON_NAMES = {
    "ArrowUp": "up", "ArrowDown": "down", "Open": "open", "Save": "save",
    "Cut": "cut", "Copy": "copy", "Paste": "paste",
}


def main():
    here = Path(__file__).resolve().parent
    for name, crossed in (("OKon", False), ("OKoff", True)):
        for size in (16, 32):
            png(here / f"{name}-{size}.png", draw(size, crossed), size)
    for stem, grid in make_art.TOOL_BUTTONS:
        name = BUTTON_NAMES[stem]
        png(here / f"btn-{name}-16.png", rgba(grid))
        png(here / f"btn-{name}-grey-16.png", rgba(make_art.greyed(grid)))
    # The search tool's faces are opaque: the sunken box fills them.
    png(here / "search-full.png", rgba(make_art.search_face(True)))
    png(here / "search-empty.png", rgba(make_art.search_face(False)))
    png(here / "crosshair-32.png", cursor_pixels(make_art.crosshair_art()))


if __name__ == "__main__":
    main()
