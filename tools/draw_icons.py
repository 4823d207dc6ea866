#!/usr/bin/env python3
"""Draws the program's icons. Built into the program: two 32x32, 16-colour pictures,
resources/icons/icon1.xpm (a golden bell) and resources/icons/icon2.xpm (a musical
note). For the desktop's menu and software centres (resources/icons/hicolor/): the
bell as a scalable SVG and drawn afresh at each size from 16 to 256 px, its edges
fitted to the pixel grid and its outline one pixel wide at the small sizes so that
it stays crisp there; the note's 32x32 picture scaled up pixel for pixel. The output
is committed."""
import math
import os
import struct
import zlib

import bell_icon

# The classic 16-colour palette.
PALETTE = {
    ' ': 'None', '.': '#000000', 'r': '#800000', 'g': '#008000', 'o': '#808000',
    'b': '#000080', 'p': '#800080', 't': '#008080', 's': '#C0C0C0', 'd': '#808080',
    'R': '#FF0000', 'G': '#00FF00', 'Y': '#FFFF00', 'B': '#0000FF', 'M': '#FF00FF',
    'C': '#00FFFF', 'W': '#FFFFFF',
}


def blank():
    return [[' '] * 32 for _ in range(32)]


def bell():
    img = blank()
    for y in range(32):
        for x in range(32):
            cx = x + 0.5 - 16
            # Body: a curve widening from the crown (y=5) to the lip (y=24).
            if 5 <= y <= 24:
                t = (y - 5) / 19.0
                half = 4 + 8 * t ** 1.6
                if abs(cx) <= half:
                    shade = cx / half
                    img[y][x] = 'W' if shade < -0.55 else ('Y' if shade < 0.35 else 'o')
                    if abs(cx) > half - 1:
                        img[y][x] = '.'
            if 23 <= y <= 25 and abs(cx) <= 14:
                img[y][x] = '.' if y != 24 else ('o' if abs(cx) < 13 else '.')
            if y == 5 and abs(cx) <= 4:
                img[y][x] = '.'
    # Crown loop.
    for y in range(1, 6):
        for x in range(32):
            d = math.hypot(x + 0.5 - 16, y + 0.5 - 4)
            if 1.5 <= d <= 3.0 and y <= 4:
                img[y][x] = '.'
    # Clapper.
    for y in range(26, 30):
        for x in range(32):
            if math.hypot(x + 0.5 - 16, y + 0.5 - 27.5) <= 2.2:
                img[y][x] = 'd' if y > 26 else '.'
    return img


def note():
    img = blank()
    # Two note heads joined by a beam.
    for (hx, hy) in ((9, 25), (23, 22)):
        for y in range(32):
            for x in range(32):
                dx, dy = x + 0.5 - hx, y + 0.5 - hy
                u = dx * math.cos(-0.45) - dy * math.sin(-0.45)
                v = dx * math.sin(-0.45) + dy * math.cos(-0.45)
                if (u / 4.6) ** 2 + (v / 3.2) ** 2 <= 1:
                    img[y][x] = 'B' if (u < -1 and v < 0) else 'b'
        stem_x = hx + 3
        for y in range(hy - 18, hy):
            img[y][stem_x] = '.'
            img[y][stem_x + 1] = '.'
    for x in range(12, 28):
        top = 7 - (x - 12) * 3 // 16
        for y in range(top, top + 4):
            img[y][x] = 'b' if y > top else '.'
    return img


def write(path, name, img):
    used = sorted({c for row in img for c in row})
    with open(path, 'w') as f:
        f.write('/* XPM */\n')
        f.write('static const char* const %s[] = {\n' % name)
        f.write('"32 32 %d 1",\n' % len(used))
        for c in used:
            f.write('"%s c %s",\n' % (c, PALETTE[c]))
        for i, row in enumerate(img):
            f.write('"%s"%s\n' % (''.join(row), ',' if i < 31 else ''))
        f.write('};\n')


def write_png(path, size, pixel):
    """A size x size RGBA PNG; pixel(x, y) gives (r, g, b, a), each 0 to 255."""
    rows = b''
    for y in range(size):
        rows += b'\0' + b''.join(bytes(pixel(x, y)) for x in range(size))  # filter: none

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(rows, 9)))
        f.write(chunk(b'IEND', b''))


def scaled_pixels(img, scale):
    """The 32x32 picture blown up, pixel for pixel."""
    def pixel(x, y):
        c = PALETTE[img[y // scale][x // scale]]
        return (0, 0, 0, 0) if c == 'None' else tuple(int(c[i:i + 2], 16) for i in (1, 3, 5)) + (255,)
    return pixel


root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'resources', 'icons')
os.makedirs(root, exist_ok=True)
for name, xpm, picture in (('morrowby', 'icon1', bell()), ('morrowby-note', 'icon2', note())):
    write(os.path.join(root, xpm + '.xpm'), xpm + '_xpm', picture)
for scale in (1, 2, 4):
    size = 32 * scale
    write_png(os.path.join(root, 'hicolor', '%dx%d' % (size, size), 'apps', 'morrowby-note.png'),
              size, scaled_pixels(note(), scale))
for size in bell_icon.SIZES:
    write_png(os.path.join(root, 'hicolor', '%dx%d' % (size, size), 'apps', 'morrowby.png'),
              size, bell_icon.pixels(size))
os.makedirs(os.path.join(root, 'hicolor', 'scalable', 'apps'), exist_ok=True)
with open(os.path.join(root, 'hicolor', 'scalable', 'apps', 'morrowby.svg'), 'w') as f:
    f.write(bell_icon.svg())
