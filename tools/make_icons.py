#!/usr/bin/env python3
"""Draws the program's four icons and writes them as .ico files (32x32 and 16x16, 32-bit).

The images are simple geometric drawings made for this program:
  103 app      - a blue disc with a white ring (the messenger's "O")
  104 welcome  - a contact list: three rows with a head and a name bar each
  105 skin     - a painter's palette with four paint spots
  109 progress - a green arrow pointing down into a tray
Run it again after changing a drawing; the .ico files are committed.
"""
import math
import os
import struct
import sys


def blend(dst, src):
    sa = src[3] / 255.0
    da = dst[3] / 255.0
    out_a = sa + da * (1 - sa)
    if out_a == 0:
        return (0, 0, 0, 0)
    rgb = tuple(int((src[i] * sa + dst[i] * da * (1 - sa)) / out_a) for i in range(3))
    return rgb + (int(out_a * 255),)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def shade(self, inside, colour, samples=4):
        """Paints colour wherever inside(x, y) holds, with a little anti-aliasing."""
        n = self.size
        for y in range(n):
            for x in range(n):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        fx = (x + (sx + 0.5) / samples) / n
                        fy = (y + (sy + 0.5) / samples) / n
                        if inside(fx, fy):
                            hits += 1
                if hits:
                    a = colour[3] * hits // (samples * samples)
                    self.px[y][x] = blend(self.px[y][x], colour[:3] + (a,))

    def disc(self, cx, cy, r, colour):
        self.shade(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def ring(self, cx, cy, r_out, r_in, colour):
        self.shade(lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out,
                   colour)

    def rect(self, x0, y0, x1, y1, colour, radius=0.0):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            if radius <= 0:
                return True
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
        self.shade(inside, colour)

    def polygon(self, points, colour):
        def inside(x, y):
            result = False
            j = len(points) - 1
            for i in range(len(points)):
                xi, yi = points[i]
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    result = not result
                j = i
            return result
        self.shade(inside, colour)


BLUE = (40, 110, 210, 255)
DARK = (30, 50, 90, 255)
WHITE = (255, 255, 255, 255)
GREEN = (50, 170, 70, 255)
GREY = (120, 130, 140, 255)


def draw_app(c):
    c.disc(0.5, 0.5, 0.47, BLUE)
    c.ring(0.5, 0.5, 0.32, 0.18, WHITE)


def draw_welcome(c):
    c.rect(0.06, 0.04, 0.94, 0.96, (245, 245, 250, 255), 0.08)
    c.rect(0.06, 0.04, 0.94, 0.96, (0, 0, 0, 0))
    for i, colour in enumerate([(50, 170, 70, 255), (40, 110, 210, 255), (230, 150, 30, 255)]):
        top = 0.12 + i * 0.28
        c.disc(0.24, top + 0.1, 0.09, colour)
        c.rect(0.40, top + 0.05, 0.86, top + 0.15, GREY, 0.04)


def draw_skin(c):
    c.shade(lambda x, y: ((x - 0.5) / 0.46) ** 2 + ((y - 0.52) / 0.38) ** 2 <= 1
            and not (x - 0.66) ** 2 + (y - 0.7) ** 2 <= 0.09 ** 2, (200, 160, 110, 255))
    for (x, y), colour in zip([(0.28, 0.42), (0.45, 0.28), (0.66, 0.32), (0.3, 0.66)],
                              [(220, 40, 40, 255), (40, 110, 210, 255), (50, 170, 70, 255),
                               (240, 200, 30, 255)]):
        c.disc(x, y, 0.08, colour)


def draw_progress(c):
    c.rect(0.1, 0.72, 0.9, 0.92, DARK, 0.05)
    c.rect(0.18, 0.72, 0.82, 0.82, (0, 0, 0, 0))
    c.rect(0.4, 0.06, 0.6, 0.44, GREEN)
    c.polygon([(0.2, 0.42), (0.8, 0.42), (0.5, 0.74)], GREEN)


def dib(canvas):
    n = canvas.size
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in range(n - 1, -1, -1):
        for x in range(n):
            r, g, b, a = canvas.px[y][x]
            xor += bytes((b, g, r, a))
    row_bytes = ((n + 31) // 32) * 4
    and_mask = bytearray()
    for y in range(n - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(n):
            if canvas.px[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        and_mask += row
    return header + bytes(xor) + bytes(and_mask)


def write_icon(path, draw):
    images = []
    for size in (32, 16):
        canvas = Canvas(size)
        draw(canvas)
        images.append((size, dib(canvas)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "app", "resources", "icons")
    os.makedirs(folder, exist_ok=True)
    for name, draw in [("app", draw_app), ("welcome", draw_welcome), ("skin", draw_skin),
                       ("progress", draw_progress)]:
        write_icon(os.path.join(folder, name + ".ico"), draw)


if __name__ == "__main__":
    main()
