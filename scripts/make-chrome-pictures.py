#!/usr/bin/env python3
"""Draws the mouse tools' cursors (32 x 32 monochrome .cur files) and the tool bar's button strip (16 x 16
buttons in one 24-bit BMP whose magenta is transparent) into res/chrome. Run it again after changing a
picture; the files are committed and built into the program as resources."""
import math
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "chrome")


class Canvas:
    """A grid of colours (None is transparent) with a few drawing helpers; y counts from the top."""

    def __init__(self, size, fill=None):
        self.n = size
        self.px = [[fill] * size for _ in range(size)]

    def put(self, x, y, c):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < self.n and 0 <= y < self.n:
            self.px[y][x] = c

    def line(self, x0, y0, x1, y1, c, width=1):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(steps + 1):
            t = i / steps
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            for dx in range(width):
                for dy in range(width):
                    self.put(x + dx - (width - 1) / 2, y + dy - (width - 1) / 2, c)

    def rect(self, x0, y0, x1, y1, c, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge:
                    self.put(x, y, c)
                elif fill is not None:
                    self.put(x, y, fill)

    def ellipse(self, cx, cy, rx, ry, c, fill=None, width=1.0):
        for y in range(self.n):
            for x in range(self.n):
                d = math.hypot((x - cx) / rx, (y - cy) / ry)
                if abs(d - 1) * min(rx, ry) < width / 2 + 0.25:
                    self.put(x, y, c)
                elif fill is not None and d < 1:
                    self.put(x, y, fill)

    def polygon(self, points, c, fill):
        for y in range(self.n):
            for x in range(self.n):
                inside = False
                j = len(points) - 1
                for i in range(len(points)):
                    (xi, yi), (xj, yj) = points[i], points[j]
                    if (yi > y + 0.5) != (yj > y + 0.5) and x + 0.5 < (xj - xi) * (y + 0.5 - yi) / (yj - yi) + xi:
                        inside = not inside
                    j = i
                if inside:
                    self.put(x, y, fill)
        for i in range(len(points)):
            self.line(*points[i], *points[(i + 1) % len(points)], c)

    def outlined(self, halo):
        """A copy where every transparent pixel next to a drawn one takes the halo colour."""
        out = Canvas(self.n)
        for y in range(self.n):
            for x in range(self.n):
                out.px[y][x] = self.px[y][x]
                if self.px[y][x] is None:
                    near = any(
                        0 <= x + dx < self.n and 0 <= y + dy < self.n and self.px[y + dy][x + dx] is not None
                        for dx in (-1, 0, 1)
                        for dy in (-1, 0, 1)
                    )
                    if near:
                        out.px[y][x] = halo
        return out


BLACK, WHITE = (0, 0, 0), (255, 255, 255)


def write_cursor(name, canvas, hot):
    """A monochrome cursor: black, white and transparent pixels."""
    n = canvas.n
    row_bytes = (n + 31) // 32 * 4
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(n)):  # bottom-up rows
        xr, mr = bytearray(row_bytes), bytearray(row_bytes)
        for x in range(n):
            c = canvas.px[y][x]
            bit = 0x80 >> (x % 8)
            if c is None:
                mr[x // 8] |= bit
            elif c == WHITE:
                xr[x // 8] |= bit
        xor += xr
        mask += mr
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 1, 0, len(xor) + len(mask), 0, 0, 2, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + xor + mask
    data = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", n, n, 2, 0, hot[0], hot[1], len(image), 22)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data + image)


def arrows4(c, filled):
    """Four arrows out of a centre: the Move tool (a filled centre while dragging)."""
    m = 15
    c.line(m, 4, m, 26, BLACK, 2)
    c.line(4, m, 26, m, BLACK, 2)
    for tip, a, b in (((m, 2), (m - 4, 7), (m + 4, 7)), ((m, 28), (m - 4, 23), (m + 4, 23)),
                      ((2, m), (7, m - 4), (7, m + 4)), ((28, m), (23, m - 4), (23, m + 4))):
        c.polygon([tip, a, b], BLACK, BLACK)
    if filled:
        c.rect(m - 4, m - 4, m + 4, m + 4, BLACK, BLACK)
    return c.outlined(WHITE)


def cursors():
    write_cursor("move.cur", arrows4(Canvas(32), False), (15, 15))
    write_cursor("move-drag.cur", arrows4(Canvas(32), True), (15, 15))

    sel = Canvas(32)
    sel.line(15, 3, 15, 12, BLACK)
    sel.line(15, 18, 15, 27, BLACK)
    sel.line(3, 15, 12, 15, BLACK)
    sel.line(18, 15, 27, 15, BLACK)
    for i in range(19, 30, 2):  # a dotted corner of a box
        sel.put(i, 19, BLACK)
        sel.put(19, i, BLACK)
    write_cursor("select.cur", sel.outlined(WHITE), (15, 15))

    zoom = Canvas(32)
    zoom.ellipse(12, 12, 8, 8, BLACK, WHITE, 2)
    zoom.line(12, 8, 12, 16, BLACK)
    zoom.line(8, 12, 16, 12, BLACK)
    zoom.line(18, 18, 27, 27, BLACK, 3)
    write_cursor("zoom.cur", zoom.outlined(WHITE), (12, 12))

    pick = Canvas(32)
    pick.line(2, 29, 14, 17, BLACK, 2)
    pick.polygon([(12, 14), (17, 19), (22, 14), (17, 9)], BLACK, BLACK)
    pick.ellipse(23, 8, 5, 5, BLACK, BLACK)
    write_cursor("pick.cur", pick.outlined(WHITE), (2, 29))


# ---- tool bar ------------------------------------------------------------------------------------------------

MAGENTA = (255, 0, 255)
INK, PAPER, BLUE, GREEN, RED, YELLOW = (40, 40, 40), (250, 250, 250), (40, 90, 200), (30, 140, 60), (200, 40, 40), (
    230, 180, 40)


def button(draw):
    c = Canvas(16, MAGENTA)
    draw(c)
    return c


def b_open(c):
    c.polygon([(1, 4), (6, 4), (7, 5), (13, 5), (13, 13), (1, 13)], INK, YELLOW)
    c.polygon([(3, 8), (15, 8), (13, 13), (1, 13)], INK, (250, 210, 90))


def b_save(c):
    c.rect(1, 1, 14, 14, INK, BLUE)
    c.rect(4, 1, 11, 6, INK, PAPER)
    c.rect(3, 9, 12, 14, INK, (200, 200, 200))


def b_print(c):
    c.rect(4, 1, 11, 6, INK, PAPER)
    c.rect(1, 6, 14, 11, INK, (160, 160, 160))
    c.rect(4, 10, 11, 14, INK, PAPER)
    c.put(12, 8, GREEN)


def b_undo(c):
    for a in range(0, 181, 6):
        t = math.radians(a)
        c.put(8 + 5 * math.cos(t), 9 - 5 * math.sin(t), BLUE)
        c.put(8 + 5 * math.cos(t), 10 - 5 * math.sin(t), BLUE)
    c.polygon([(0, 8), (6, 8), (3, 12)], BLUE, BLUE)


def b_redo(c):
    b_undo(c)
    for row in c.px:
        row.reverse()


def b_copy(c):
    c.rect(1, 1, 9, 10, INK, PAPER)
    c.rect(6, 5, 14, 14, INK, PAPER)
    for y in (7, 9, 11):
        c.line(8, y, 12, y, BLUE)


def b_paste(c):
    c.rect(2, 2, 12, 14, INK, (190, 140, 80))
    c.rect(5, 1, 9, 3, INK, (200, 200, 200))
    c.rect(7, 6, 14, 14, INK, PAPER)


def magnifier(c):
    c.ellipse(6, 6, 4.5, 4.5, INK, PAPER, 1.2)
    c.line(10, 10, 14, 14, INK, 2)


def b_zoom_in(c):
    magnifier(c)
    c.line(4, 6, 8, 6, INK)
    c.line(6, 4, 6, 8, INK)


def b_zoom_out(c):
    magnifier(c)
    c.line(4, 6, 8, 6, INK)


def frame_with(inner):
    def draw(c):
        c.rect(0, 1, 15, 14, INK, (200, 200, 200))
        x0, y0, x1, y1 = inner
        c.rect(x0, y0, x1, y1, GREEN, (120, 190, 130))

    return draw


def b_full_screen(c):
    c.rect(0, 1, 15, 14, INK, (20, 20, 20))
    for (x, y, dx, dy) in ((2, 3, 1, 1), (13, 3, -1, 1), (2, 12, 1, -1), (13, 12, -1, -1)):
        c.line(x, y, x + 3 * dx, y, PAPER)
        c.line(x, y, x, y + 3 * dy, PAPER)


def b_move(c):
    c.line(8, 1, 8, 14, INK)
    c.line(1, 8, 14, 8, INK)
    for tip, a, b in (((8, 0), (6, 3), (10, 3)), ((8, 15), (6, 12), (10, 12)), ((0, 8), (3, 6), (3, 10)),
                      ((15, 8), (12, 6), (12, 10))):
        c.polygon([tip, a, b], INK, INK)


def b_select(c):
    pts = [(2, 9), (4, 3), (9, 1), (14, 4), (12, 10), (7, 14), (3, 13)]
    for i in range(len(pts)):
        if i % 2 == 0:
            c.line(*pts[i], *pts[(i + 1) % len(pts)], INK)
        else:
            c.line(*pts[i], *pts[(i + 1) % len(pts)], BLUE)


def b_zoom_tool(c):
    magnifier(c)


def b_rect(c):
    for x in range(1, 15):
        c.put(x, 2, INK if x % 3 else PAPER)
        c.put(x, 13, INK if x % 3 else PAPER)
    for y in range(2, 14):
        c.put(1, y, INK if y % 3 else PAPER)
        c.put(14, y, INK if y % 3 else PAPER)


def b_ellipse(c):
    for a in range(0, 360, 8):
        if (a // 8) % 3:
            t = math.radians(a)
            c.put(7.5 + 6.5 * math.cos(t), 7.5 + 5.5 * math.sin(t), INK)


def b_pick(c):
    c.line(1, 14, 8, 7, INK, 2)
    c.polygon([(7, 5), (10, 8), (13, 5), (10, 2)], INK, INK)
    c.ellipse(12.5, 3, 2.2, 2.2, RED, RED)


# Order of the images in the strip: the tool bar's table in app/LvToolBar_win.cpp refers to them by position.
BUTTONS = [
    b_open, b_save, b_print, b_undo, b_redo, b_copy, b_paste, b_zoom_in, b_zoom_out,
    frame_with((1, 4, 14, 11)),   # fit image
    frame_with((4, 4, 11, 11)),   # fit size
    frame_with((0, 5, 15, 10)),   # fit width
    frame_with((5, 1, 10, 14)),   # fit height
    frame_with((0, 1, 15, 14)),   # fit screen
    b_full_screen, b_move, b_select, b_zoom_tool, b_rect, b_ellipse, b_pick,
]


def write_strip(name):
    pictures = [button(d) for d in BUTTONS]
    w, h = 16 * len(pictures), 16
    row_bytes = (w * 3 + 3) // 4 * 4
    data = bytearray()
    for y in reversed(range(h)):
        row = bytearray()
        for p in pictures:
            for x in range(16):
                r, g, b = p.px[y][x]
                row += bytes((b, g, r))
        row += bytes(row_bytes - len(row))
        data += row
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(data), 0, 0, 14 + len(header)) + header + data)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    cursors()
    write_strip("toolbar.bmp")
