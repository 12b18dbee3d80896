#!/usr/bin/env python3
"""Draws the desktop program's artwork as PNG files: the Control Panel's four picture-button
strips (normal, pressed, hover, disabled side by side) and the program icon.

Standard library only (zlib for PNG), 4x4 supersampling for smooth edges. Run it again after
changing a shape:  tools/draw-artwork.py  (writes into base/ui/resources).
"""
import os
import struct
import zlib

SS = 4  # samples per pixel along each axis


def write_png(path, width, height, pixels):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(pixels[y * width + x])
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [(0.0, 0.0, 0.0, 0.0)] * (width * height)  # premultiplied rgba, 0..1

    def fill(self, inside, color, x0=0, y0=0, x1=None, y1=None):
        """Paints colour (r, g, b, a in 0..255, or a function of (x, y)) where inside(x, y)."""
        x1 = self.w if x1 is None else x1
        y1 = self.h if y1 is None else y1
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                            hits += 1
                if not hits:
                    continue
                c = color(x + 0.5, y + 0.5) if callable(color) else color
                a = c[3] / 255.0 * hits / (SS * SS)
                r, g, b, da = self.px[y * self.w + x]
                self.px[y * self.w + x] = (c[0] / 255.0 * a + r * (1 - a), c[1] / 255.0 * a + g * (1 - a),
                                           c[2] / 255.0 * a + b * (1 - a), a + da * (1 - a))

    def save(self, path):
        out = []
        for r, g, b, a in self.px:
            if a <= 0:
                out.append((0, 0, 0, 0))
            else:
                out.append((round(r / a * 255), round(g / a * 255), round(b / a * 255), round(a * 255)))
        write_png(path, self.w, self.h, out)


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def vertical(top, bottom, y0, y1):
    def color(x, y):
        t = min(max((y - y0) / float(y1 - y0), 0.0), 1.0)
        return tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,)
    return color


# --- Control Panel buttons: 32 by 32 images, four to a strip.
SIZE = 32
GLYPH = {
    "skip": (lambda dx, dy: [polygon([(8 + dx, 9 + dy), (18 + dx, 16 + dy), (8 + dx, 23 + dy)]),
                             polygon([(15 + dx, 9 + dy), (25 + dx, 16 + dy), (15 + dx, 23 + dy)]),
                             rect(24 + dx, 9 + dy, 26.5 + dx, 23 + dy)], (40, 80, 200)),
    "play": (lambda dx, dy: [polygon([(11 + dx, 8 + dy), (24 + dx, 16 + dy), (11 + dx, 24 + dy)])], (20, 140, 50)),
    "pause": (lambda dx, dy: [rect(10 + dx, 9 + dy, 14 + dx, 23 + dy), rect(18 + dx, 9 + dy, 22 + dx, 23 + dy)],
              (200, 130, 0)),
    "stop": (lambda dx, dy: [rounded_rect(10 + dx, 10 + dy, 22 + dx, 22 + dy, 1.5)], (200, 30, 30)),
}
# normal, pressed, hover, disabled: face colours (top, bottom) and whether the glyph is grey
STATES = [
    ((250, 250, 252), (214, 220, 230), False, 0),
    ((190, 198, 212), (222, 228, 238), False, 1),
    ((236, 244, 255), (188, 212, 245), False, 0),
    ((238, 238, 238), (228, 228, 228), True, 0),
]


def draw_buttons(folder):
    for name, (shapes, colour) in GLYPH.items():
        canvas = Canvas(SIZE * 4, SIZE)
        for i, (top, bottom, grey, shift) in enumerate(STATES):
            x0 = i * SIZE
            edge = (150, 160, 175, 255) if not grey else (195, 195, 195, 255)
            canvas.fill(rounded_rect(x0 + 0.5, 0.5, x0 + SIZE - 0.5, SIZE - 0.5, 5), edge, x0, 0, x0 + SIZE)
            canvas.fill(rounded_rect(x0 + 1.5, 1.5, x0 + SIZE - 1.5, SIZE - 1.5, 4), vertical(top, bottom, 1, SIZE - 1),
                        x0, 0, x0 + SIZE)
            glyph = (170, 170, 170) if grey else colour
            for shape in shapes(x0 + shift, shift):
                canvas.fill(shape, glyph + (255,), x0, 0, x0 + SIZE)
        canvas.save(os.path.join(folder, name + ".png"))


# --- Program icon: a database drum with a script page in front of it.
def draw_icon(path, size):
    s = size / 64.0
    c = Canvas(size, size)
    blue_top, blue_bottom = (70, 110, 220), (30, 60, 160)
    c.fill(rect(6 * s, 12 * s, 42 * s, 46 * s), vertical(blue_top, blue_bottom, 12 * s, 52 * s))
    c.fill(ellipse(24 * s, 46 * s, 18 * s, 6 * s), (30, 60, 160, 255))
    for band in (24, 35):
        c.fill(lambda x, y, b=band: abs(((x - 24 * s) / (18 * s)) ** 2 + ((y - b * s) / (6 * s)) ** 2 - 1) < 0.12 and
               y > b * s, (160, 190, 250, 255))
    c.fill(ellipse(24 * s, 12 * s, 18 * s, 6 * s), (130, 165, 240, 255))
    c.fill(ellipse(24 * s, 12 * s, 15 * s, 4.2 * s), (95, 135, 230, 255))
    # the page
    c.fill(rounded_rect(28 * s, 22 * s, 58 * s, 60 * s, 2 * s), (120, 120, 120, 255))
    c.fill(rounded_rect(29 * s, 23 * s, 57 * s, 59 * s, 1.5 * s), (255, 255, 255, 255))
    lines = [((130, 8, 54), 6, 20), ((9, 165, 46), 6, 26), ((255, 0, 0), 4, 24), ((42, 42, 255), 8, 22),
             ((255, 0, 0), 4, 18), ((130, 8, 54), 6, 25)]
    for i, (col, start, end) in enumerate(lines):
        y = (28 + i * 5) * s
        c.fill(rect((29 + start) * s, y, (29 + end) * s, y + 2.2 * s), col + (255,))
    c.save(path)


if __name__ == "__main__":
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    resources = os.path.join(root, "base", "ui", "resources")
    draw_buttons(resources)
    for size in (64, 128):
        draw_icon(os.path.join(resources, "mervale-%d.png" % size), size)
