#!/usr/bin/env python3
"""Draws Vidora's pictures: the toolbar strip, the two side images, the splash logo and the
program icon. Run it to regenerate the files beside it; the build uses the files as they are."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MASK = (255, 0, 255)  # toolbar background, made transparent by the image list


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def disc(self, cx, cy, r, c, inner=-1.0):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if inner <= d <= r:
                    self.set(x, y, c)

    def polygon(self, points, c):
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(math.ceil(max(ys))) + 1):
            yc = y + 0.5
            xs = []
            for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
                if (y0 <= yc < y1) or (y1 <= yc < y0):
                    xs.append(x0 + (yc - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(int(math.ceil(a - 0.5)), int(math.floor(b - 0.5)) + 1):
                    self.set(x, y, c)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.set(ox + x, oy + y, other.px[y][x])


def write_bmp24(path, canvas):
    row = (canvas.w * 3 + 3) & ~3
    data = bytearray()
    for y in reversed(range(canvas.h)):
        line = bytearray()
        for r, g, b in canvas.px[y]:
            line += bytes((b, g, r))
        data += line + bytes(row - len(line))
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.w, canvas.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


def palette_index(c):
    return 16 + 36 * round(c[0] / 51) + 6 * round(c[1] / 51) + round(c[2] / 51)


def write_bmp8(path, canvas):
    """8 bits per pixel over a 6 x 6 x 6 color cube: a third of the size of a 24-bit file."""
    palette = bytearray(4 * 256)
    for r in range(6):
        for g in range(6):
            for b in range(6):
                i = 16 + 36 * r + 6 * g + b
                palette[4 * i:4 * i + 3] = bytes((b * 51, g * 51, r * 51))
    row = (canvas.w + 3) & ~3
    data = bytearray()
    for y in reversed(range(canvas.h)):
        line = bytes(palette_index(c) for c in canvas.px[y])
        data += line + bytes(row - len(line))
    offset = 54 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.w, canvas.h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    with open(path, 'wb') as f:
        f.write(header + info + bytes(palette) + data)


def write_ico(path, canvases):
    """32-bit icon images with an AND mask from the alpha of MASK-colored pixels."""
    images = []
    for c in canvases:
        xor = bytearray()
        mask = bytearray()
        mrow = ((c.w + 31) // 32) * 4
        for y in reversed(range(c.h)):
            bits = bytearray(mrow)
            for x, p in enumerate(c.px[y]):
                transparent = p == MASK
                xor += bytes((0, 0, 0, 0)) if transparent else bytes((p[2], p[1], p[0], 255))
                if transparent:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack('<IiiHHIIiiII', 40, c.w, 2 * c.h, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append(info + xor + mask)
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack('<BBBBHHII', c.w % 256, c.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


def lerp(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def lens(size, bg):
    """The program's mark: a camera aperture, six blades around a dark pupil."""
    c = Canvas(size, size, bg)
    r = size / 2
    c.disc(r, r, r - 0.5, (20, 40, 70))
    c.disc(r, r, r - 1.5, (40, 110, 170), inner=r - 3.5)
    for i in range(6):
        a = math.radians(60 * i + 15)
        b = math.radians(60 * i + 75)
        pts = [(r + math.cos(a) * (r - 3), r + math.sin(a) * (r - 3)),
               (r + math.cos(b) * (r - 3), r + math.sin(b) * (r - 3)),
               (r + math.cos(b) * r * 0.32, r + math.sin(b) * r * 0.32)]
        c.polygon(pts, lerp((60, 150, 210), (30, 90, 150), i / 5))
    c.disc(r, r, r * 0.34, (10, 20, 30))
    c.disc(r - r * 0.12, r - r * 0.12, r * 0.09, (200, 230, 255))
    return c


def toolbar():
    strip = Canvas(16 * 8, 16, MASK)
    icons = []
    # Open Device: a board with its edge connector and a chip.
    b = Canvas(16, 16, MASK)
    b.rect(1, 3, 14, 11, (20, 120, 60)); b.frame(1, 3, 14, 11, (10, 70, 30))
    b.rect(5, 5, 10, 9, (30, 30, 30))
    for x in range(3, 14, 2):
        b.rect(x, 12, x, 14, (220, 180, 40))
    icons.append(b)
    # Load Lumen File: a page with a small lens.
    b = Canvas(16, 16, MASK)
    b.rect(3, 1, 12, 14, (255, 255, 255)); b.frame(3, 1, 12, 14, (90, 90, 90))
    b.disc(8, 9, 3.6, (40, 110, 170)); b.disc(8, 9, 1.5, (10, 20, 30))
    for y in (3, 5):
        b.rect(5, y, 10, y, (150, 150, 150))
    icons.append(b)
    # Open Image File: an opened folder.
    b = Canvas(16, 16, MASK)
    b.rect(1, 4, 6, 5, (200, 150, 30)); b.rect(1, 5, 13, 13, (230, 180, 50))
    b.polygon([(3, 8), (15, 8), (13, 14), (1, 14)], (250, 210, 90))
    b.frame(1, 5, 13, 13, (150, 100, 20))
    icons.append(b)
    # Save Image File: a disk.
    b = Canvas(16, 16, MASK)
    b.rect(1, 1, 14, 14, (40, 70, 160)); b.rect(4, 1, 11, 6, (230, 230, 230))
    b.rect(9, 2, 10, 5, (40, 70, 160)); b.rect(3, 9, 12, 14, (255, 255, 255))
    b.frame(1, 1, 14, 14, (20, 40, 100))
    icons.append(b)
    # Start Passthru: a green play triangle.
    b = Canvas(16, 16, MASK)
    b.polygon([(4, 2), (14, 8), (4, 14)], (30, 160, 60))
    icons.append(b)
    # Stop Passthru: a red square.
    b = Canvas(16, 16, MASK)
    b.rect(3, 3, 12, 12, (200, 40, 40)); b.frame(3, 3, 12, 12, (130, 20, 20))
    icons.append(b)
    # Single Frame Acquire: a camera.
    b = Canvas(16, 16, MASK)
    b.rect(1, 5, 14, 13, (60, 60, 70)); b.rect(4, 3, 8, 5, (60, 60, 70))
    b.disc(8, 9, 3.6, (200, 200, 210)); b.disc(8, 9, 2.2, (40, 110, 170))
    b.rect(12, 6, 13, 7, (250, 220, 80))
    icons.append(b)
    # Help: a question mark in a blue disc.
    b = Canvas(16, 16, MASK)
    b.disc(8, 8, 7.5, (40, 90, 190))
    q = ["..###..", ".#...#.", ".....#.", "....#..", "...#...", "...#...", ".......", "...#..."]
    for y, line in enumerate(q):
        for x, ch in enumerate(line):
            if ch == '#':
                b.set(x + 5, y + 3, (255, 255, 255))
    icons.append(b)
    for i, icon in enumerate(icons):
        strip.blit(icon, 16 * i, 0)
    return strip


def side_image(w, h):
    """A strip of film running down the side of the view."""
    c = Canvas(w, h)
    for y in range(h):
        for x in range(w):
            c.px[y][x] = lerp((15, 35, 70), (30, 110, 140), y / (h - 1))
    film = (25, 25, 30)
    c.rect(w // 2 - 40, 0, w // 2 + 40, h - 1, film)
    for y in range(6, h - 8, 18):
        c.rect(w // 2 - 36, y, w // 2 - 28, y + 8, (200, 200, 190))
        c.rect(w // 2 + 28, y, w // 2 + 36, y + 8, (200, 200, 190))
    for i, y in enumerate(range(10, h - 60, 72)):
        c.rect(w // 2 - 22, y, w // 2 + 22, y + 58, lerp((50, 120, 170), (180, 200, 120), (i % 4) / 3))
        c.blit(lens(28, lerp((50, 120, 170), (180, 200, 120), (i % 4) / 3)), w // 2 - 14, y + 15)
    return c


def logo():
    c = Canvas(240, 110)
    for y in range(c.h):
        for x in range(c.w):
            c.px[y][x] = lerp((10, 25, 50), (25, 90, 130), x / (c.w - 1))
    c.blit(lens(96, (0, 0, 0)), 72, 7)
    for y in range(7, 103):
        for x in range(72, 168):
            if c.px[y][x] == (0, 0, 0):
                c.px[y][x] = lerp((10, 25, 50), (25, 90, 130), x / (c.w - 1))
    return c


if __name__ == '__main__':
    write_bmp24(os.path.join(HERE, 'toolbar.bmp'), toolbar())
    write_bmp8(os.path.join(HERE, 'side640x480.bmp'), side_image(132, 464))
    write_bmp8(os.path.join(HERE, 'side768x576.bmp'), side_image(131, 552))
    write_bmp8(os.path.join(HERE, 'logo.bmp'), logo())
    write_ico(os.path.join(HERE, 'vidora.ico'), [lens(32, MASK), lens(16, MASK)])
