#!/usr/bin/env python3
"""Draws the Pellanor mark (a leaf with a sparkle on a rounded teal square) as an RGBA PNG.

Only the standard library is used, so the logo can be regenerated on any build machine:
    python3 pages/tools/make_logo.py pages/packed/common/img/logo.png [size]
Edges are anti-aliased by sampling every pixel on a 4x4 grid.
"""
import math
import struct
import sys
import zlib

SAMPLES = 4
TOP = (0x2b, 0xb6, 0x8c)     # gradient of the square, top-left to bottom-right
BOTTOM = (0x13, 0x6f, 0x8f)
WHITE = (0xff, 0xff, 0xff)


def in_rounded_square(x, y, radius):
    """x, y in [0, 1]; a square with corners of the given radius."""
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_leaf(x, y):
    """A leaf between two circular arcs, tilted 45 degrees, with a vein cut out."""
    # Rotate into the leaf's frame: u runs along the leaf, v across it.
    px, py = x - 0.47, y - 0.53
    u = (px + py) / math.sqrt(2) * -1
    v = (px - py) / math.sqrt(2)
    half = 0.30          # half length of the leaf
    bulge = 0.13         # half width at its middle
    if abs(u) > half:
        return False
    # Each edge is an arc through both tips; r chosen so the arc bulges by `bulge`.
    r = (half ** 2 + bulge ** 2) / (2 * bulge)
    offset = r - bulge
    inside = (u ** 2 + (v + offset) ** 2 <= r ** 2) and (u ** 2 + (v - offset) ** 2 <= r ** 2)
    vein = abs(v) < 0.012 and -half * 0.75 < u < half * 0.85
    return inside and not vein


def in_stem(x, y):
    """A short stem leaving the lower tip of the leaf."""
    px, py = x - 0.47, y - 0.53
    u = (px + py) / math.sqrt(2) * -1
    v = (px - py) / math.sqrt(2)
    return -0.40 < u < -0.26 and abs(v) < 0.018


def in_sparkle(x, y):
    """A four-pointed star at the upper right: the space left clean."""
    cx, cy, size = 0.74, 0.27, 0.11
    dx, dy = abs(x - cx) / size, abs(y - cy) / size
    if dx > 1 or dy > 1:
        return False
    # Concave star: the sum of square roots stays under 1 only near the two axes.
    return math.sqrt(dx) + math.sqrt(dy) <= 1.0


def pixel(px, py, size):
    cover = 0
    white = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            if not in_rounded_square(x, y, 0.22):
                continue
            cover += 1
            if in_leaf(x, y) or in_stem(x, y) or in_sparkle(x, y):
                white += 1
    n = SAMPLES * SAMPLES
    if cover == 0:
        return (0, 0, 0, 0)
    t = (px + py) / (2.0 * size)
    base = [TOP[i] + (BOTTOM[i] - TOP[i]) * t for i in range(3)]
    mix = white / cover
    rgb = [round(base[i] + (WHITE[i] - base[i]) * mix) for i in range(3)]
    return (rgb[0], rgb[1], rgb[2], round(255 * cover / n))


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xffffffff)

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: make_logo.py OUTPUT.png [size]")
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 128
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            row.extend(pixel(x, y, size))
        rows.append(row)
    with open(sys.argv[1], "wb") as out:
        out.write(png(size, size, rows))


if __name__ == "__main__":
    main()
