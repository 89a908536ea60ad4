#!/usr/bin/env python3
"""Turns an X window dump (xwd -root) of a true-colour display into a PNG:
    xwd2png.py IN.xwd OUT.png [WIDTHxHEIGHT+X+Y]
The optional geometry keeps only that part of the screen."""
import struct
import sys
import zlib


def main(source, target, area=None):
    data = open(source, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _, _, _, width, height, _, byte_order = fields[:8]
    bits_per_pixel, bytes_per_line = fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    colors = fields[19]
    if bits_per_pixel != 32:
        sys.exit("xwd2png: only 32-bit pixels are read, not %d" % bits_per_pixel)
    start = header_size + 12 * colors
    order = "<" if byte_order == 0 else ">"

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    left, top = 0, 0
    if area:
        size, left, top = area.split("+")
        w, h = (int(v) for v in size.split("x"))
        left, top = int(left), int(top)
        width, height = min(w, width - left), min(h, height - top)
    raw = bytearray()
    for y in range(top, top + height):
        raw.append(0)
        at = start + y * bytes_per_line + 4 * left
        row = data[at : at + 4 * width]
        for (p,) in struct.iter_unpack(order + "I", row):
            raw += bytes(((p & red_mask) >> rs, (p & green_mask) >> gs, (p & blue_mask) >> bs))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else None)
