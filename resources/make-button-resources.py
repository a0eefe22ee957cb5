#!/usr/bin/env python3
"""Draws the button control's resources into resources/button/:

  * the kind glyphs, 16-colour bitmaps of 18 x 18 pixels (the GLUPI pair 19 x 19); the
    bottom-left pixel of each is its transparent colour (magenta; blue for GLUPI); the ...G...
    bitmap of a pair is the resting picture, the other the brighter hot one;
  * Strela, the 5 x 3 popup arrow with a magenta corner;
  * HANDZELB, a 32 x 32 monochrome hand cursor whose hot spot is its top-left pixel;
  * PREKO, a short soft click: RIFF WAVE, PCM, mono, 22,050 Hz, 16-bit, 594 bytes of samples.

The pictures are drawn from shapes (thick strokes, discs, rings) with a black outline, so that
the embossed disabled look, which keeps only black pixels, still shows their shape. Plain
Python, no packages. The outputs are committed; run this again only to change them.
"""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "button")

# The standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GREY, RED, LIME, YELLOW, BLUE, MAGENTA, AQUA, WHITE = range(16)


def write_bmp4(path, pixels):
    """pixels: rows top to bottom of palette indices."""
    h, w = len(pixels), len(pixels[0])
    stride = ((w * 4 + 31) // 32) * 4
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, c in enumerate(row):
            line[x // 2] |= c << (4 if x % 2 == 0 else 0)
        body += line
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(body), 2835, 2835, 16, 16)
    with open(path, "wb") as f:
        f.write(header + info + palette + bytes(body))


class Canvas:
    """A small picture drawn with anti-aliasing-free shapes, then outlined in black."""

    def __init__(self, size, key):
        self.size, self.key = size, key
        self.px = [[None] * size for _ in range(size)]

    def stroke(self, points, width, colour):
        for y in range(self.size):
            for x in range(self.size):
                cx, cy = x + 0.5, y + 0.5
                for (x0, y0), (x1, y1) in zip(points, points[1:]):
                    if seg_dist(cx, cy, x0, y0, x1, y1) <= width / 2:
                        self.px[y][x] = colour
                        break

    def disc(self, cx, cy, r, colour):
        for y in range(self.size):
            for x in range(self.size):
                if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= r:
                    self.px[y][x] = colour

    def ring(self, cx, cy, r0, r1, colour, skip=None):
        for y in range(self.size):
            for x in range(self.size):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r0 <= d <= r1:
                    a = math.degrees(math.atan2(-(y + 0.5 - cy), x + 0.5 - cx)) % 360
                    if skip and skip[0] <= a <= skip[1]:
                        continue
                    self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.px[y][x] = colour

    def polygon(self, points, colour):
        for y in range(self.size):
            for x in range(self.size):
                if inside(x + 0.5, y + 0.5, points):
                    self.px[y][x] = colour

    def finish(self, outline=True):
        """Black outline around the shapes; everything else the key colour. The bottom-left
        pixel is always the key."""
        n = self.size
        out = [[self.key] * n for _ in range(n)]
        for y in range(n):
            for x in range(n):
                if self.px[y][x] is not None:
                    out[y][x] = self.px[y][x]
                elif outline and any(
                    0 <= x + dx < n and 0 <= y + dy < n and self.px[y + dy][x + dx] not in (None, BLACK)
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))
                ):
                    out[y][x] = BLACK
        out[n - 1][0] = self.key
        return out


def seg_dist(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    t = 0.0 if dx == dy == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (x0 + t * dx), py - (y0 + t * dy))


def inside(x, y, pts):
    c = False
    for (x0, y0), (x1, y1) in zip(pts, pts[1:] + pts[:1]):
        if (y0 > y) != (y1 > y) and x < (x1 - x0) * (y - y0) / (y1 - y0) + x0:
            c = not c
    return c


# ---- The kind glyphs: (resting colours, hot colours) per drawing ----------------------------

def check(c, main, light):
    c.stroke([(3.5, 9.5), (7.5, 13.5), (14.5, 4.5)], 3.2, main)
    c.stroke([(4.5, 9.5), (7.5, 12.3)], 0.9, light)


def cross(c, main, light):
    c.stroke([(4.5, 4.5), (13.5, 13.5)], 3.2, main)
    c.stroke([(13.5, 4.5), (4.5, 13.5)], 3.2, main)
    c.stroke([(5, 4.8), (8.6, 8.4)], 0.8, light)


def question(c, main, light):
    c.ring(9, 6.5, 2.0, 4.2, main, skip=(200, 290))
    c.stroke([(10.5, 9.8), (9, 11.2), (9, 12)], 2.6, main)
    c.disc(9, 15.2, 1.6, main)
    c.stroke([(6.5, 4.5), (8.5, 3.3)], 0.8, light)


def no_sign(c, main, light):
    c.ring(9, 9, 4.6, 7.6, main)
    c.stroke([(4.2, 13.8), (13.8, 4.2)], 3.0, main)
    c.stroke([(4.2, 6.0), (6.0, 4.2)], 0.8, light)


def door(c, main, light):
    c.rect(3, 2, 10, 15, SILVER)
    c.rect(5, 3, 9, 14, main)
    c.disc(8.2, 9, 0.8, YELLOW)
    c.polygon([(11, 7), (14, 7), (14, 5), (17, 9), (14, 13), (14, 11), (11, 11)], light)


def retry(c, main, light):
    c.ring(9, 9.5, 3.4, 6.2, main, skip=(60, 110))
    c.polygon([(10.2, 0.8), (15.6, 3.8), (10.4, 7.6)], main)
    c.stroke([(4.5, 8.0), (5.8, 5.6)], 0.8, light)


def ignore(c, main, light):
    c.rect(8, 2, 9, 15, GREY)
    c.stroke([(2.5, 12.5), (6, 6.5), (11, 6.5), (14.5, 12.5)], 2.4, main)
    c.polygon([(12.0, 11.0), (17.2, 10.8), (14.6, 15.6)], main)
    c.stroke([(3.8, 11.2), (6.4, 7.6)], 0.7, light)


def double_check(c, main, light):
    c.stroke([(1.5, 9.5), (4.8, 12.8), (10.5, 5.0)], 2.6, main)
    c.stroke([(7.0, 10.5), (9.8, 13.3), (16.5, 4.5)], 2.6, main)
    c.stroke([(8.0, 10.6), (9.8, 12.4)], 0.8, light)


def silly(c, main, light):
    c.disc(9.5, 9.5, 8.0, main)
    c.disc(6.6, 7.2, 1.3, BLACK)
    c.disc(12.4, 7.2, 1.3, BLACK)
    c.ring(9.5, 10.0, 3.4, 4.5, BLACK, skip=(0, 200))
    c.disc(9.5, 14.6, 1.0, RED)
    c.stroke([(5.0, 4.6), (7.0, 3.4)], 0.8, light)


KINDS = [
    ("DAGZELB", "DAZELB", check, (GREEN, LIME), (LIME, WHITE)),
    ("IKSICGZELB", "IKSICZELB", cross, (MAROON, RED), (RED, WHITE)),
    ("POMOCGZELB", "POMOCZELB", question, (NAVY, BLUE), (BLUE, AQUA)),
    ("NEGZELB", "NEZELB", no_sign, (MAROON, RED), (RED, WHITE)),
    ("EXITGZELB", "EXITZELB", door, (OLIVE, GREEN), (MAROON, LIME)),
    ("RETRIGZELB", "RETRIZELB", retry, (TEAL, AQUA), (BLUE, AQUA)),
    ("IGNOGZELB", "IGNOZELB", ignore, (PURPLE, MAGENTA), (NAVY, BLUE)),
    ("SVEGZELB", "SVEZELB", double_check, (GREEN, LIME), (LIME, WHITE)),
]


def glyphs():
    for rest, hot, draw, rest_colours, hot_colours in KINDS:
        for name, (main, light) in ((rest, rest_colours), (hot, hot_colours)):
            c = Canvas(18, MAGENTA)
            draw(c, main, light)
            write_bmp4(os.path.join(HERE, name.lower() + ".bmp"), c.finish())
    for name, face in (("GLUPIGZELB", OLIVE), ("GLUPIZELB", YELLOW)):
        c = Canvas(19, BLUE)
        silly(c, face, WHITE)
        write_bmp4(os.path.join(HERE, name.lower() + ".bmp"), c.finish())


def arrow():
    k, b = MAGENTA, BLACK
    write_bmp4(os.path.join(HERE, "strela.bmp"), [[b, b, b, b, b], [k, b, b, b, k], [k, k, b, k, k]])


# ---- The hand cursor --------------------------------------------------------------------------

def hand_shape():
    """A hand pointing up and to the left, its fingertip at (0, 0); returns a set of filled
    pixels (the inside, drawn white) and the outline (black)."""
    n = 32
    inside_px = set()
    def stroke(points, width):
        for y in range(n):
            for x in range(n):
                for (x0, y0), (x1, y1) in zip(points, points[1:]):
                    if seg_dist(x + 0.5, y + 0.5, x0, y0, x1, y1) <= width / 2:
                        inside_px.add((x, y))
                        break
    stroke([(2.5, 2.5), (9.0, 9.0)], 4.2)           # index finger
    stroke([(9.5, 7.5), (12.5, 10.5)], 4.2)         # middle finger knuckle
    stroke([(12.5, 6.5), (15.5, 9.5)], 4.0)         # ring finger
    stroke([(15.0, 7.5), (17.5, 10.0)], 3.6)        # little finger
    stroke([(4.0, 13.0), (8.5, 14.0)], 3.6)         # thumb
    for y in range(n):
        for x in range(n):
            if inside((x + 0.5, y + 0.5)[0], y + 0.5, [(7, 8), (17.5, 9.0), (19.5, 15), (15, 20), (9, 19), (7, 14)]):
                inside_px.add((x, y))
    stroke([(12.0, 18.5), (16.5, 23.0)], 6.0)       # wrist
    outline = set()
    for (x, y) in inside_px:
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                q = (x + dx, y + dy)
                if q not in inside_px and 0 <= q[0] < n and 0 <= q[1] < n:
                    outline.add(q)
    # The fingertip's corner is the hot spot: keep it drawn.
    outline.add((0, 0))
    inside_px -= {(0, 0)}
    return inside_px, outline


def cursor():
    n = 32
    white, black = hand_shape()
    xor_rows, and_rows = [], []
    for y in range(n):
        xor_bits = and_bits = 0
        for x in range(n):
            bit = 1 << (31 - x)
            if (x, y) in white:
                xor_bits |= bit
            elif (x, y) not in black:
                and_bits |= bit
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    bitmap = (struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 1, 0, 0, 0, 0, 2, 0)
              + struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
              + b"".join(reversed(xor_rows)) + b"".join(reversed(and_rows)))
    header = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", n, n, 2, 0, 0, 0, len(bitmap), 22)
    with open(os.path.join(HERE, "handzelb.cur"), "wb") as f:
        f.write(header + bitmap)


# ---- The hover sound ---------------------------------------------------------------------------

def sound():
    rate, count = 22050, 297  # 297 samples of 16 bits: 594 bytes
    samples = []
    for i in range(count):
        t = i / rate
        attack = min(1.0, i / 12.0)
        decay = math.exp(-t * 420.0)
        tail = 0.5 * (1 + math.cos(math.pi * i / (count - 1)))  # ends at silence
        tone = 0.65 * math.sin(2 * math.pi * 1850 * t) + 0.35 * math.sin(2 * math.pi * 3700 * t + 0.6)
        samples.append(int(round(7000 * attack * decay * tail * tone)))
    data = struct.pack("<%dh" % count, *samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    with open(os.path.join(HERE, "preko.wav"), "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    glyphs()
    arrow()
    cursor()
    sound()
