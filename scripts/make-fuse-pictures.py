#!/usr/bin/env python3
"""Draws the pictures the Pattern and Photo Frame commands offer into res/pictures: grey textures for the
patterns (8-bit PNG, 128 x 128) and frames (24-bit PNG, 320 x 240) whose inside is one colour, which the
frame command treats as transparent. Run it again after changing a picture; the PNG files are committed and
built into the program as resources."""
import math
import os
import random
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "pictures")


def write_png(name, width, height, pixel, grey):
    """pixel(x, y) with y from the top gives a grey level (grey) or an (r, g, b) triple."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # no filter
        for x in range(width):
            v = pixel(x, y)
            if grey:
                raw.append(max(0, min(255, int(v))))
            else:
                raw += bytes(max(0, min(255, int(c))) for c in v)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 0 if grey else 2, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(png)


def patterns():
    n = 128
    write_png("pattern-checks.png", n, n, lambda x, y: 230 if (x // 16 + y // 16) % 2 else 40, True)
    write_png("pattern-stripes.png", n, n, lambda x, y: 128 + 110 * math.sin((x + y) * math.pi / 16), True)
    write_png("pattern-rings.png", n, n,
              lambda x, y: 128 + 120 * math.cos(math.hypot(x - n / 2, y - n / 2) * math.pi / 8), True)
    write_png("pattern-waves.png", n, n,
              lambda x, y: 128 + 120 * math.sin(y * math.pi / 10 + 3 * math.sin(x * math.pi / 32)), True)
    write_png("pattern-dots.png", n, n,
              lambda x, y: 240 if math.hypot(x % 16 - 8, y % 16 - 8) < 5 else 30, True)
    rnd = random.Random(7)
    grid = [[rnd.random() for _ in range(9)] for _ in range(9)]

    def clouds(x, y):
        # Smooth noise: a bilinear blend of a coarse random grid, two octaves.
        total = 0.0
        for scale, weight in ((16, 0.65), (8, 0.35)):
            gx, gy = x / scale, y / scale
            ix, iy = int(gx) % 8, int(gy) % 8
            fx, fy = gx - int(gx), gy - int(gy)
            a = grid[iy][ix] * (1 - fx) + grid[iy][ix + 1] * fx
            b = grid[iy + 1][ix] * (1 - fx) + grid[iy + 1][ix + 1] * fx
            total += weight * (a * (1 - fy) + b * fy)
        return 255 * total

    write_png("pattern-clouds.png", n, n, clouds, True)


def frames():
    w, h = 320, 240
    inside = (255, 0, 255)  # the transparent inside; no frame uses this colour elsewhere

    def wood(x, y):
        d = min(x, y, w - 1 - x, h - 1 - y)
        if d >= 24:
            return inside
        grain = 20 * math.sin((x * 0.9 + y * 0.4) / 3.0 + 2 * math.sin(y / 11.0))
        shade = 1.0 - 0.25 * abs(d - 12) / 12.0
        return (150 * shade + grain, 95 * shade + grain * 0.6, 50 * shade)

    def film(x, y):
        if 28 <= y < h - 28 and 8 <= x < w - 8:
            return inside
        if (y < 28 or y >= h - 28) and 8 <= (y % 214 if y < 28 else (y - (h - 28)) + 8) < 20 and 6 <= x % 22 < 16:
            return (235, 235, 225)
        return (20, 20, 24)

    def mat(x, y):
        d = min(x, y, w - 1 - x, h - 1 - y)
        if d >= 30:
            return inside
        if d < 3:
            return (60, 60, 70)
        if d >= 27:
            return (200, 190, 170)
        return (245, 242, 232)

    def dots(x, y):
        d = min(x, y, w - 1 - x, h - 1 - y)
        if d >= 20:
            return inside
        if math.hypot((x % 20) - 10, (y % 20) - 10) < 6:
            return (210, 40, 60)
        return (250, 250, 250)

    def rounded(x, y):
        # An oval window in dark blue.
        if ((x - w / 2) / (w / 2 - 26)) ** 2 + ((y - h / 2) / (h / 2 - 26)) ** 2 <= 1.0:
            return inside
        t = (x + y) / (w + h)
        return (20 + 40 * t, 40 + 60 * t, 110 + 90 * t)

    for name, draw in (("wood", wood), ("film", film), ("mat", mat), ("dots", dots), ("oval", rounded)):
        write_png("frame-%s.png" % name, w, h, draw, False)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    patterns()
    frames()
