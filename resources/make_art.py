#!/usr/bin/env python3
"""Draws Replywick's icons, cursors and bitmaps and writes them as
.ico/.cur/.bmp files.

The generated files are committed, so a build never needs this script; run it
again only after changing the artwork:  python3 resources/make_art.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour palette (index: RGB).
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, SILVER, DARK = 0, 1, 2, 3, 4, 7, 8
RED, YELLOW, BLUE, WHITE = 9, 11, 12, 15
CLEAR = None  # transparent pixel

# Letter shapes: '#' is ink.
GLYPHS_BIG = {
    "O": [
        " ##### ",
        "##   ##",
        "##   ##",
        "##   ##",
        "##   ##",
        "##   ##",
        "##   ##",
        "##   ##",
        " ##### ",
    ],
    "K": [
        "##   ##",
        "##  ## ",
        "## ##  ",
        "####   ",
        "###    ",
        "####   ",
        "## ##  ",
        "##  ## ",
        "##   ##",
    ],
}
GLYPHS_SMALL = {
    "O": [
        " # ",
        "# #",
        "# #",
        "# #",
        " # ",
    ],
    "K": [
        "# #",
        "## ",
        "#  ",
        "## ",
        "# #",
    ],
}


def blank(size):
    return [[CLEAR] * size for _ in range(size)]


def button(px, left, top, right, bottom):
    """A raised grey button face; right and bottom inclusive."""
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            px[y][x] = SILVER
    for x in range(left, right + 1):
        px[top][x] = WHITE
        px[bottom][x] = BLACK
        px[bottom - 1][x] = DARK if left < x < right else px[bottom - 1][x]
    for y in range(top, bottom + 1):
        px[y][left] = WHITE
        px[y][right] = BLACK
        if top < y < bottom:
            px[y][right - 1] = DARK
    px[bottom][left] = BLACK
    px[top][right] = BLACK


def text(px, glyphs, word, left, top, gap):
    x = left
    for ch in word:
        rows = glyphs[ch]
        for dy, row in enumerate(rows):
            for dx, c in enumerate(row):
                if c == "#":
                    px[top + dy][x + dx] = BLACK
        x += len(rows[0]) + gap


def cross_out(px, thickness):
    n = len(px)
    for i in range(n):
        for t in range(thickness):
            for x in (i + t, n - 1 - i - t):
                if 0 <= x < n:
                    px[i][x] = RED


def ok_icon(size, crossed):
    px = blank(size)
    if size == 32:
        button(px, 1, 6, 30, 25)
        text(px, GLYPHS_BIG, "OK", 8, 11, 2)
        if crossed:
            cross_out(px, 3)
    else:
        button(px, 0, 3, 15, 12)
        text(px, GLYPHS_SMALL, "OK", 4, 5, 2)
        if crossed:
            cross_out(px, 2)
    return px


def row_bytes(bits_per_row):
    return ((bits_per_row + 31) // 32) * 4


def dib_4bpp(px):
    """BITMAPINFOHEADER + palette + XOR (4 bpp) + AND mask, as icons store them."""
    n = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE16)
    xor = bytearray()
    for y in reversed(range(n)):
        row = bytearray(row_bytes(4 * n))
        for x in range(n):
            c = px[y][x] or 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += row
    return header + palette + bytes(xor) + and_mask(px)


def and_mask(px):
    n = len(px)
    out = bytearray()
    for y in reversed(range(n)):
        row = bytearray(row_bytes(n))
        for x in range(n):
            if px[y][x] is CLEAR:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def write_icon(path, images):
    """images: list of pixel grids (16 colours)."""
    blobs = [dib_4bpp(px) for px in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for px, blob in zip(images, blobs):
        n = len(px)
        out += struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    out += b"".join(blobs)
    with open(path, "wb") as f:
        f.write(out)


def write_cursor(path, art, hotspot):
    """art: 32 strings of 32 chars: '#' black, '.' white, ' ' transparent."""
    n = 32
    px = [[{"#": BLACK, ".": WHITE, " ": CLEAR}[c] for c in row.ljust(n)] for row in art]
    px += [[CLEAR] * n for _ in range(n - len(px))]
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("<BBBB", 0, 0, 0, 0) + struct.pack("<BBBB", 255, 255, 255, 0)
    xor = bytearray()
    for y in reversed(range(n)):
        row = bytearray(row_bytes(n))
        for x in range(n):
            if px[y][x] == WHITE:
                row[x // 8] |= 0x80 >> (x % 8)
        xor += row
    blob = header + palette + bytes(xor) + and_mask(px)
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", n, n, 0, 0, hotspot[0], hotspot[1], len(blob), 22)
    with open(path, "wb") as f:
        f.write(out + blob)


def crosshair_art():
    n = 32
    c = 15
    grid = [[" "] * n for _ in range(n)]
    for i in range(2, n - 3):
        if abs(i - c) <= 2:
            continue
        for (x, y) in ((i, c), (c, i)):
            grid[y][x] = "#"
    # a white outline keeps it visible on dark windows
    for y in range(n):
        for x in range(n):
            if grid[y][x] == " " and any(
                0 <= y + dy < n and 0 <= x + dx < n and grid[y + dy][x + dx] == "#"
                for dy in (-1, 0, 1) for dx in (-1, 0, 1)
            ):
                grid[y][x] = "."
    grid[c][c] = "#"
    return ["".join(r) for r in grid]


HAND = [
    "     ##",
    "    #..#",
    "    #..#",
    "    #..#",
    "    #..#",
    "    #..###",
    "    #..#..###",
    "    #..#..#..##",
    "### #..#..#..#.#",
    "#..##........#.#",
    "#...#..........#",
    " #..#..........#",
    "  #............#",
    "  #............#",
    "   #...........#",
    "   #..........#",
    "    #.........#",
    "    #........#",
    "     #.......#",
    "     #########",
]


# The pixel under the mouse when the cross-hair cursor is dragged: the point
# where its two lines meet.
CROSSHAIR_HOTSPOT = (15, 15)


# The tool buttons of the settings windows, 16x16. One letter a pixel, each
# naming a colour of the 16-colour palette; '.' is transparent. The Linux
# build draws its PNGs from the same patterns (x11/make_icons.py imports them),
# so both programs show the same pictures.
INKS = {
    ".": CLEAR, "k": BLACK, "g": DARK, "s": SILVER, "w": WHITE, "y": YELLOW,
    "o": OLIVE, "n": NAVY, "b": BLUE, "r": RED, "m": MAROON, "G": GREEN,
}

ARROW_UP = [
    "................",
    "................",
    ".......k........",
    "......kbk.......",
    ".....kbbbk......",
    "....kbbbbbk.....",
    "...kbbbbbbbk....",
    "..kkkkbbbkkkk...",
    ".....kbbbk......",
    ".....kbbbk......",
    ".....kbbbk......",
    ".....kbbbk......",
    ".....kbbbk......",
    ".....kkkkk......",
    "................",
    "................",
]

OPEN_FOLDER = [
    "................",
    "................",
    "................",
    ".kkkk...........",
    "kyyyyk..........",
    "kyoooykkkkkkk...",
    "kyooooooooooyk..",
    "kyookkkkkkkkkkkk",
    "kyokyyyyyyyyyyk.",
    "kyokyyyyyyyyyyk.",
    "kykyyyyyyyyyyk..",
    "kykyyyyyyyyyyk..",
    "kkyyyyyyyyyyk...",
    "kkkkkkkkkkkkk...",
    "................",
    "................",
]

FLOPPY = [
    "................",
    ".kkkkkkkkkkkkk..",
    ".knwwwwwwwwwnk..",
    ".knwwwwwwwwwnk..",
    ".knwgggggggwnk..",
    ".knwwwwwwwwwnk..",
    ".knwgggggggwnk..",
    ".knwwwwwwwwwnk..",
    ".knnnnnnnnnnnk..",
    ".knnnnnnnnnnnk..",
    ".knnssssssnnnk..",
    ".knnsskksssnnk..",
    ".knnsskksssnnk..",
    ".knnsskksssnnk..",
    ".kkkkkkkkkkkkk..",
    "................",
]

SCISSORS = [
    "................",
    "...k.......k....",
    "...kk.....kk....",
    "....k.....k.....",
    "....kk...kk.....",
    ".....k...k......",
    ".....kk.kk......",
    "......kgk.......",
    ".......k........",
    "......k.k.......",
    "..rrrr...rrrr...",
    ".r...r...r...r..",
    ".r...r...r...r..",
    ".r...r...r...r..",
    "..rrr.....rrr...",
    "................",
]

COPY = [
    "kkkkkk..........",
    "kwwwwkk.........",
    "kwwwwkwk........",
    "kwggwkkkk.......",
    "kwwwwwwwk.......",
    "kwggggkkkkkk....",
    "kwwwwwkwwwwkk...",
    "kwggggkwwwwkwk..",
    "kwwwwwkwggwkkkk.",
    "kwggggkwwwwwwwk.",
    "kkkkkkkwggggwwk.",
    "......kwwwwwwwk.",
    "......kwggggwwk.",
    "......kwwwwwwwk.",
    "......kkkkkkkkk.",
    "................",
]

PASTE = [
    "....kkkk........",
    ".kkksssskkk.....",
    "kooksggskook....",
    "kookkkkkkook....",
    "koooooooooook...",
    "kooooookkkkkkk..",
    "kooooookwwwwkwk.",
    "kooooookwggwkkkk",
    "kooooookwwwwwwwk",
    "kooooookwggggwwk",
    "kooooookwwwwwwwk",
    "kooooookwggggwwk",
    "kooooookwwwwwwwk",
    "kkkkkkkkwggggwwk",
    ".......kwwwwwwwk",
    ".......kkkkkkkkk",
]


def pattern(rows):
    return [[INKS[c] for c in row] for row in rows]


# Colours left out of a greyed picture: the light ones, and the olive of the
# folder's inside and the clipboard's board, which would else grey into one
# blot hiding the outlines.
GREYED_DROPS = {WHITE, SILVER, YELLOW, OLIVE}


def greyed(px):
    """The look of a disabled tool button: the picture's dark parts as one
    grey shape with a white copy one pixel down and right, as if pressed into
    the button face."""
    n = len(px)
    ink = [[c is not CLEAR and c not in GREYED_DROPS for c in row] for row in px]
    out = blank(n)
    for y in range(n):
        for x in range(n):
            if ink[y][x] and x + 1 < n and y + 1 < n:
                out[y + 1][x + 1] = WHITE
    for y in range(n):
        for x in range(n):
            if ink[y][x]:
                out[y][x] = DARK
    return out


# (file stem, picture); each also gets a greyed twin named stem + "Grey".
TOOL_BUTTONS = [
    ("ArrowUp", pattern(ARROW_UP)),
    ("ArrowDown", pattern(ARROW_UP[::-1])),
    ("Open", pattern(OPEN_FOLDER)),
    ("Save", pattern(FLOPPY)),
    ("Cut", pattern(SCISSORS)),
    ("Copy", pattern(COPY)),
    ("Paste", pattern(PASTE)),
]


# The window search tool, 31x28: a sunken box holding the cross-hair that the
# user drags out of it; while dragging, the box is shown empty. Its grey
# parts use the exact classic 3-D greys, so LoadImage(LR_LOADMAP3DCOLORS)
# recolours them to the user's button colours.
SEARCH_W, SEARCH_H = 31, 28


RING = [
    "....#####....",
    "..##.....##..",
    ".#.........#.",
    ".#.........#.",
    "#...........#",
    "#...........#",
    "#...........#",
    "#...........#",
    "#...........#",
    ".#.........#.",
    ".#.........#.",
    "..##.....##..",
    "....#####....",
]


def search_face(with_crosshair):
    w, h = SEARCH_W, SEARCH_H
    px = [[WHITE] * w for _ in range(h)]
    for x in range(w):
        px[0][x], px[h - 1][x] = DARK, WHITE
        px[1][x], px[h - 2][x] = BLACK, SILVER
    for y in range(h):
        px[y][0], px[y][w - 1] = DARK, WHITE
        if 0 < y < h - 1:
            px[y][1], px[y][w - 2] = BLACK, SILVER
    px[h - 1][0], px[0][w - 1] = DARK, DARK
    px[h - 2][1], px[1][w - 2] = BLACK, BLACK
    if with_crosshair:
        cx, cy = 15, 13
        for d in range(-9, 10):
            if abs(d) > 1:
                px[cy][cx + d] = BLACK
                px[cy + d][cx] = BLACK
        px[cy][cx] = BLACK
        for dy, row in enumerate(RING):
            for dx, c in enumerate(row):
                if c == "#":
                    px[cy - 6 + dy][cx - 6 + dx] = BLACK
    return px


def write_bmp(path, px):
    """A 4-bit Windows bitmap file (BITMAP resource) in the 16-colour palette."""
    h, w = len(px), len(px[0])
    stride = row_bytes(4 * w)
    bits = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            row[x // 2] |= px[y][x] << (4 if x % 2 == 0 else 0)
        bits += row
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(bits), 2835, 2835, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE16)
    offset = 14 + len(info) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + palette + bytes(bits))


def main():
    write_icon(os.path.join(HERE, "OKon.ico"), [ok_icon(16, False), ok_icon(32, False)])
    write_icon(os.path.join(HERE, "OKoff.ico"), [ok_icon(16, True), ok_icon(32, True)])
    write_cursor(os.path.join(HERE, "Crosshair.cur"), crosshair_art(), CROSSHAIR_HOTSPOT)
    write_cursor(os.path.join(HERE, "Hand.cur"), HAND, (5, 0))
    for stem, px in TOOL_BUTTONS:
        write_icon(os.path.join(HERE, stem + ".ico"), [px])
        write_icon(os.path.join(HERE, stem + "Grey.ico"), [greyed(px)])
    write_bmp(os.path.join(HERE, "SearchFull.bmp"), search_face(True))
    write_bmp(os.path.join(HERE, "SearchEmpty.bmp"), search_face(False))


if __name__ == "__main__":
    main()
