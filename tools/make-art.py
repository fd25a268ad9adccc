#!/usr/bin/env python3
# Draws every picture of Corvane (splash bitmap, icon, cursor, the demo mod's logo and icon) and writes
# them as BMP, ICO and CUR files; standard library only, deterministic output.
#
#   tools/make-art.py [--preview DIR]     (run from anywhere; --preview also writes PNG copies to DIR)
#
# Shapes are signed distance functions (negative inside, in pixels once placed); a pixel's coverage is
# 0.5 - distance at its centre, clamped to 0..1, which gives clean anti-aliased edges at every size.
import math
import os
import struct
import sys
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))


# ---------------------------------------------------------------------------------------------------
# Shapes: a distance function plus a bounding box (x0, y0, x1, y1), None when unbounded.

class Shape:
    def __init__(self, sd, box):
        self.sd = sd
        self.box = box

    def __or__(self, other):
        a, b = self.sd, other.sd
        return Shape(lambda x, y: min(a(x, y), b(x, y)), boxUnion(self.box, other.box))

    def __and__(self, other):
        a, b = self.sd, other.sd
        return Shape(lambda x, y: max(a(x, y), b(x, y)), boxMeet(self.box, other.box))

    def __sub__(self, other):
        a, b = self.sd, other.sd
        return Shape(lambda x, y: max(a(x, y), -b(x, y)), self.box)

    def grow(self, d):
        f = self.sd
        box = self.box and (self.box[0] - d, self.box[1] - d, self.box[2] + d, self.box[3] + d)
        return Shape(lambda x, y: f(x, y) - d, box)

    def moved(self, dx, dy):
        f = self.sd
        box = self.box and (self.box[0] + dx, self.box[1] + dy, self.box[2] + dx, self.box[3] + dy)
        return Shape(lambda x, y: f(x - dx, y - dy), box)

    def placed(self, ox, oy, s):
        # Design units (y up, origin on the baseline) to pixels (y down): origin at (ox, oy), scale s.
        f = self.sd
        box = self.box and (ox + self.box[0] * s, oy - self.box[3] * s, ox + self.box[2] * s, oy - self.box[1] * s)
        return Shape(lambda x, y: f((x - ox) / s, (oy - y) / s) * s, box)


def boxUnion(a, b):
    if a is None or b is None:
        return None
    return (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3]))


def boxMeet(a, b):
    if a is None:
        return b
    if b is None:
        return a
    return (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3]))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ring(cx, cy, r, w):
    h = w / 2
    return Shape(lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - h,
                 (cx - r - h, cy - r - h, cx + r + h, cy + r + h))


def halfPlane(px, py, nx, ny):
    # Inside is the side the normal points away from.
    n = math.hypot(nx, ny)
    nx, ny = nx / n, ny / n
    return Shape(lambda x, y: (x - px) * nx + (y - py) * ny, None)


def wedge(cx, cy, a0, a1):
    # Angles a0..a1 in degrees, counter-clockwise, span below 180.
    d0 = (math.cos(math.radians(a0)), math.sin(math.radians(a0)))
    d1 = (math.cos(math.radians(a1)), math.sin(math.radians(a1)))
    return halfPlane(cx, cy, d0[1], -d0[0]) & halfPlane(cx, cy, -d1[1], d1[0])


def box(x0, y0, x1, y1):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def sd(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0)
    return Shape(sd, (x0, y0, x1, y1))


def stroke(x0, y0, x1, y1, w):
    # A straight stroke of width w, unbounded along its line: clip it with boxes or half-planes.
    dx, dy = x1 - x0, y1 - y0
    n = math.hypot(dx, dy)
    nx, ny, h = -dy / n, dx / n, w / 2
    return Shape(lambda x, y: abs((x - x0) * nx + (y - y0) * ny) - h, None)


def polygon(points):
    # Exact distance to a simple polygon, sign by crossing count (works for concave outlines).
    pts = list(points)
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]

    def sd(x, y):
        best = float("inf")
        inside = False
        j = len(pts) - 1
        for i in range(len(pts)):
            ax, ay = pts[j]
            bx, by = pts[i]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            best = min(best, (wx - ex * t) ** 2 + (wy - ey * t) ** 2)
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
            j = i
        d = math.sqrt(best)
        return -d if inside else d
    return Shape(sd, (min(xs), min(ys), max(xs), max(ys)))


# ---------------------------------------------------------------------------------------------------
# Letters of a geometric sans, drawn from circles and straight strokes. Lower case: x-height 1;
# capitals: cap height CAP for the wordmark, 1 for the small-capital taglines. Each returns
# (shape, advance); w is the stroke width.

OV = 0.03   # overshoot of round letters past the baseline and the x-height
JOIN = 0.02  # arcs reach this far into the straight strokes they meet, so no seam shows at the joint
CAP = 1.38


def bowl(w, height=1.0):
    d = height + 2 * OV
    return d, ring(d / 2, height / 2, (d - w) / 2, w)


def lowerO(w):
    d, o = bowl(w)
    return o, d


def lowerA(w):
    d, o = bowl(w)
    return o | box(d - w, 0, d, 1), d


def lowerE(w):
    d, o = bowl(w)
    cut = wedge(d / 2, 0.5, -48, 0) & circle(d / 2, 0.5, d)
    bar = box(w / 2, 0.5 - w * 0.42, d - w / 2, 0.5 + w * 0.42)
    return (o - cut) | bar, d


def arches(w, count, width):
    # The stems and arches of n (one arch) and m (two).
    r = (width - w) / 2
    cy = 1 + OV - w / 2 - r
    shape = box(0, 0, w, 1)
    for i in range(count):
        x = i * (width - w)
        arch = ring(x + width / 2, cy, r, w) & halfPlane(0, cy - JOIN, 0, -1)
        shape = shape | arch | box(x + width - w, 0, x + width, cy)
    return shape, count * (width - w) + w


def lowerN(w):
    return arches(w, 1, 0.88)


def lowerM(w):
    return arches(w, 2, 0.78)


def lowerR(w):
    r = 0.40
    cy = 1 + OV - w / 2 - r
    shoulder = ring(w / 2 + r, cy, r, w) & wedge(w / 2 + r, cy, 40, 180) & halfPlane(0, cy, 0, -1)
    return box(0, 0, w, 1) | shoulder, w / 2 + r + r * math.cos(math.radians(40)) + w * 0.3


def lowerV(w):
    width = 0.92
    clip = box(0, 0, width, 1)
    left = stroke(w * 0.55, 1, width / 2, 0, w * 0.95)
    right = stroke(width - w * 0.55, 1, width / 2, 0, w * 0.95)
    return (left | right) & clip, width


def capC(w, height):
    d = height + 2 * OV
    c = ring(d / 2, height / 2, (d - w) / 2, w) - (wedge(d / 2, height / 2, -44, 44) & circle(d / 2, height / 2, d))
    return c, d * 0.93


def capO(w, height):
    d = height + 2 * OV
    return ring(d / 2, height / 2, (d - w) / 2, w), d


def capD(w, height):
    r = (height - w) / 2
    cx = 0.42 * height
    bowlPart = ring(cx, height / 2, r, w) & halfPlane(cx - JOIN, 0, -1, 0)
    return box(0, 0, w, height) | box(0, height - w, cx, height) | box(0, 0, cx, w) | bowlPart, cx + r + w / 2


def capE(w, height):
    width = 0.62 * height
    return (box(0, 0, w, height) | box(0, height - w, width, height) | box(0, 0, width, w)
            | box(0, (height - w) / 2, width * 0.86, (height + w) / 2)), width


def capL(w, height):
    return box(0, 0, w, height) | box(0, 0, 0.58 * height, w), 0.58 * height


def capH(w, height):
    width = 0.78 * height
    return (box(0, 0, w, height) | box(width - w, 0, width, height)
            | box(0, (height - w) / 2, width, (height + w) / 2)), width


def capN(w, height):
    width = 0.8 * height
    diagonal = stroke(w / 2, height, width - w / 2, 0, w) & box(0, 0, width, height)
    return box(0, 0, w, height) | box(width - w, 0, width, height) | diagonal, width


def capM(w, height):
    width = 1.0 * height
    clip = box(0, 0, width, height)
    left = stroke(w / 2, height, width / 2, height * 0.18, w) & clip & halfPlane(width / 2, 0, 1, 0)
    right = stroke(width - w / 2, height, width / 2, height * 0.18, w) & clip & halfPlane(width / 2, 0, -1, 0)
    return box(0, 0, w, height) | box(width - w, 0, width, height) | left | right, width


def capA(w, height):
    width = 0.86 * height
    clip = box(0, 0, width, height)
    legs = (stroke(w * 0.6, 0, width / 2, height, w) | stroke(width - w * 0.6, 0, width / 2, height, w)) & clip
    bar = box(width * 0.22, height * 0.28, width * 0.78, height * 0.28 + w)
    return legs | bar, width


def capV(w, height):
    width = 0.84 * height
    clip = box(0, 0, width, height)
    return (stroke(w * 0.6, height, width / 2, 0, w) | stroke(width - w * 0.6, height, width / 2, 0, w)) & clip, width


def capU(w, height):
    width = 0.76 * height
    r = (width - w) / 2
    cy = r + w / 2 - OV
    cup = ring(width / 2, cy, r, w) & halfPlane(0, cy + JOIN, 0, 1)
    return box(0, cy, w, height) | box(width - w, cy, width, height) | cup, width


def capR(w, height):
    mid = 0.44 * height                     # centre line of the bowl's lower bar
    cy = (height - w / 2 + mid) / 2
    r = height - w / 2 - cy
    cx = 0.38 * height
    width = 0.74 * height
    bowlPart = ring(cx, cy, r, w) & halfPlane(cx - JOIN, 0, -1, 0)
    leg = stroke(cx, mid, width - w / 2, 0, w) & box(cx - w, 0, width, mid)
    return (box(0, 0, w, height) | box(0, height - w, cx, height) | box(0, mid - w / 2, cx, mid + w / 2)
            | bowlPart | leg), width


LOWER = {"o": lowerO, "a": lowerA, "e": lowerE, "n": lowerN, "m": lowerM, "r": lowerR, "v": lowerV}
UPPER = {"C": capC, "O": capO, "D": capD, "E": capE, "L": capL, "H": capH, "N": capN, "M": capM, "A": capA,
         "V": capV, "U": capU, "R": capR}


def word(text, w, capHeight, tracking, kerning=None):
    # Lays out text on one baseline from x = 0; returns the letter shapes and the total width.
    shapes, x = [], 0.0
    for i, ch in enumerate(text):
        if ch == " ":
            x += 0.5 * capHeight
            continue
        shape, advance = UPPER[ch](w, capHeight) if ch in UPPER else LOWER[ch](w)
        shapes.append(shape.moved(x, 0))
        x += advance + tracking
        if kerning and text[i:i + 2] in kerning:
            x += kerning[text[i:i + 2]]
    return shapes, x - tracking


# ---------------------------------------------------------------------------------------------------
# Canvas: premultiplied RGBA floats, 0..1.

class Canvas:
    def __init__(self, width, height, colour=None):
        self.width, self.height = width, height
        n = width * height
        if colour is None:
            self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(n)]
        else:
            self.px = [[colour[0], colour[1], colour[2], 1.0] for _ in range(n)]

    def shade(self, paint):
        # Fills every pixel with paint(x, y) -> (r, g, b): backgrounds.
        for y in range(self.height):
            row = y * self.width
            for x in range(self.width):
                r, g, b = paint(x + 0.5, y + 0.5)
                self.px[row + x] = [r, g, b, 1.0]

    def fill(self, shape, paint, opacity=1.0, soft=1.0):
        # Paints shape with paint(x, y) -> (r, g, b); soft widens the edge (glows and shadows).
        x0, y0, x1, y1 = shape.box if shape.box else (0, 0, self.width, self.height)
        pad = soft + 1
        xs = range(max(0, int(math.floor(x0 - pad))), min(self.width, int(math.ceil(x1 + pad))))
        ys = range(max(0, int(math.floor(y0 - pad))), min(self.height, int(math.ceil(y1 + pad))))
        sd = shape.sd
        for y in ys:
            row = y * self.width
            for x in xs:
                cov = 0.5 - sd(x + 0.5, y + 0.5) / soft
                if cov <= 0:
                    continue
                a = (1.0 if cov >= 1 else cov) * opacity
                r, g, b = paint(x + 0.5, y + 0.5)
                p = self.px[row + x]
                k = 1 - a
                p[0] = r * a + p[0] * k
                p[1] = g * a + p[1] * k
                p[2] = b * a + p[2] * k
                p[3] = a + p[3] * k

    def glow(self, cx, cy, radius, colour, strength):
        # A soft radial light added over what is there.
        r2 = radius * radius
        for y in range(max(0, int(cy - radius)), min(self.height, int(cy + radius) + 1)):
            row = y * self.width
            for x in range(max(0, int(cx - radius)), min(self.width, int(cx + radius) + 1)):
                d2 = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) / r2
                if d2 >= 1:
                    continue
                a = strength * (1 - d2) ** 2
                p = self.px[row + x]
                for c in range(3):
                    p[c] += colour[c] * a * p[3]

    def bytes(self, order, alpha):
        # Rows top-down, channels in the given order ("BGR", "RGBA", ...), straight alpha, 8-bit with a
        # 4x4 ordered dither so the dark gradients do not band.
        bayer = (0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5)
        index = {"R": 0, "G": 1, "B": 2, "A": 3}
        rows = []
        for y in range(self.height):
            row = bytearray()
            for x in range(self.width):
                p = self.px[y * self.width + x]
                a = p[3]
                dither = (bayer[(y & 3) * 4 + (x & 3)] + 0.5) / 16
                for ch in order:
                    i = index[ch]
                    if i == 3:
                        v = a * 255 + 0.5
                    elif a <= 0:
                        v = 0
                    else:
                        v = (p[i] / a if alpha else p[i]) * 255 + dither
                    row.append(max(0, min(255, int(v))))
            rows.append(bytes(row))
        return rows


def rgb(hexText):
    return tuple(int(hexText[i:i + 2], 16) / 255 for i in (0, 2, 4))


def flat(colour):
    return lambda x, y: colour


def vertical(top, bottom, y0, y1):
    def paint(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(top[c] + (bottom[c] - top[c]) * t for c in range(3))
    return paint


# ---------------------------------------------------------------------------------------------------
# File formats.

def bmpFile(canvas):
    # 24 bits per pixel, uncompressed, bottom-up.
    rows = canvas.bytes("BGR", False)
    stride = (canvas.width * 3 + 3) & ~3
    body = b"".join(r + b"\0" * (stride - len(r)) for r in reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(body), 0, 0, 14 + len(info))
    return header + info + body


def pngFile(canvas):
    raw = b"".join(b"\0" + r for r in canvas.bytes("RGBA", True))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def dibImage(canvas):
    # An icon or cursor image: BITMAPINFOHEADER of double height, BGRA bottom-up, then the AND mask
    # (set where the pixel is fully transparent) in 1-bit rows padded to 32 bits.
    rows = canvas.bytes("BGRA", True)
    colour = b"".join(reversed(rows))
    maskStride = ((canvas.width + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(maskStride)
        for x in range(canvas.width):
            if row[x * 4 + 3] == 0:
                bits[x >> 3] |= 0x80 >> (x & 7)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height * 2, 1, 32, 0,
                       len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + bytes(mask)


def iconFile(images, kind=1, hotspot=(0, 0)):
    # kind 1: icon (entries carry planes 1 and the bit count); kind 2: cursor (entries carry the hotspot).
    # A 256-pixel image is stored as PNG, the others as DIBs.
    datas = [pngFile(c) if c.width >= 256 else dibImage(c) for c in images]
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for c, data in zip(images, datas):
        a, b = (1, 32) if kind == 1 else hotspot
        out += struct.pack("<BBBBHHII", c.width & 0xFF, c.height & 0xFF, 0, 0, a, b, len(data), offset)
        offset += len(data)
    return out + b"".join(datas)


# ---------------------------------------------------------------------------------------------------
# The Corvane mark: a gold open ring (the C) around a faceted gem, centred on (0, 0), radius 1.

GOLD_LIGHT, GOLD_DARK = rgb("f6d98a"), rgb("c28a1e")
GEM_LIGHT, GEM_MID, GEM_DARK = rgb("fbe7a6"), rgb("e8bb4a"), rgb("a8741a")
NIGHT_TOP, NIGHT_BOTTOM = rgb("1a2236"), rgb("0a0d15")


def drawMark(canvas, cx, cy, radius, heavy=False):
    # heavy: thicker strokes for the small icons, where thin lines would vanish.
    s = radius
    width = 0.26 if heavy else 0.20
    ringRadius = 0.86 - width / 2
    opening = 50 if heavy else 42
    c = ring(0, 0, ringRadius, width) - (wedge(0, 0, -opening, opening) & circle(0, 0, 2))
    top, bottom = cy - s, cy + s
    canvas.fill(c.placed(cx, cy, s), vertical(GOLD_LIGHT, GOLD_DARK, top, bottom))

    gw, gh = (0.27, 0.42) if heavy else (0.34, 0.50)
    left = polygon([(0, gh), (-gw, 0), (0, -gh)])
    right = polygon([(0, gh), (0, -gh), (gw, 0)])
    canvas.fill(left.placed(cx - 0.06 * s, cy, s), vertical(GEM_LIGHT, GEM_MID, cy - gh * s, cy + gh * s))
    canvas.fill(right.placed(cx - 0.06 * s, cy, s), vertical(GEM_MID, GEM_DARK, cy - gh * s, cy + gh * s))
    if not heavy:
        crown = polygon([(0, gh), (-gw * 0.5, gh * 0.5), (0, gh * 0.22), (gw * 0.5, gh * 0.5)])
        canvas.fill(crown.placed(cx - 0.06 * s, cy, s), flat(rgb("fff3cf")), 0.55)


def drawTagline(canvas, text, centreX, baseline, capHeight, colour, lines=True):
    w = 0.16
    shapes, width = word(text, w, 1.0, 0.42)
    x0 = centreX - width * capHeight / 2
    for shape in shapes:
        canvas.fill(shape.placed(x0, baseline, capHeight), flat(colour))
    if lines:
        gap, length = 14, 54
        y = baseline - capHeight / 2
        for a, b in ((x0 - gap - length, x0 - gap), (x0 + width * capHeight + gap, x0 + width * capHeight + gap + length)):
            canvas.fill(box(a, y - 0.5, b, y + 0.5), flat(colour), 0.55)


def splash():
    canvas = Canvas(500, 400)
    canvas.shade(vertical(NIGHT_TOP, NIGHT_BOTTOM, 0, 400))
    canvas.glow(250, 140, 260, rgb("2c4170"), 0.55)
    canvas.glow(250, 140, 120, rgb("c9962e"), 0.10)
    canvas.fill(ring(250, 140, 96, 1.0), flat(GOLD_LIGHT), 0.18)
    drawMark(canvas, 250, 140, 80)

    xHeight, w = 34, 0.175
    shapes, width = word("Corvane", w, CAP, 0.13, {"Co": -0.06})
    x0 = 250 - width * xHeight / 2
    for shape in shapes:
        canvas.fill(shape.placed(x0, 286, xHeight), flat(rgb("eef0f5")))
    drawTagline(canvas, "MOD LAUNCHER", 250, 318, 9.5, rgb("c9a24a"))
    return canvas


def appIcon(size):
    canvas = Canvas(size, size)
    margin = max(0.5, size * 0.035)
    corner = size * 0.22
    tile = box(margin + corner, margin + corner, size - margin - corner, size - margin - corner).grow(corner)
    canvas.fill(tile, vertical(rgb("2a3856"), rgb("0e131f"), margin, size - margin))
    if size >= 48:
        rim = tile - tile.grow(-max(1.0, size / 96))
        canvas.fill(rim & halfPlane(0, size * 0.5, 0, 1), flat(rgb("6f83ad")), 0.35)
        canvas.glow(size / 2, size / 2, size * 0.5, rgb("c9962e"), 0.10)
    heavy = size <= 32
    drawMark(canvas, size / 2, size / 2, size * (0.44 if heavy else 0.36), heavy)
    return canvas


def arrowCursor():
    # The classic arrow outline, tip on pixel (1, 1), which is the hotspot.
    outline = [(0, 0), (0, 17), (4.2, 13.2), (7.2, 20.2), (10.2, 18.9), (7.3, 12.1), (12.6, 12.1)]
    k = 1.2
    arrow = polygon([(1 + x * k, 1 + y * k) for x, y in outline])
    canvas = Canvas(32, 32)
    canvas.fill(arrow.moved(1.2, 1.6), flat((0, 0, 0)), 0.30, soft=2.0)
    canvas.fill(arrow.grow(0.35), flat(rgb("0b0e16")))
    canvas.fill(arrow.grow(-1.25), vertical(rgb("fff1c4"), rgb("e2ad33"), 2, 26))
    return canvas


# ---------------------------------------------------------------------------------------------------
# The demo mod: an emerald hexagon crest and its own wordmark, so a test or a look tells the pictures apart.

JADE_LIGHT, JADE_DARK = rgb("8fe3c0"), rgb("1f8a66")


def hexagon(cx, cy, r):
    return polygon([(cx + r * math.cos(math.radians(90 + 60 * i)), cy + r * math.sin(math.radians(90 + 60 * i)))
                    for i in range(6)])


def drawCrest(canvas, cx, cy, r):
    canvas.fill(hexagon(cx, cy, r), vertical(JADE_LIGHT, JADE_DARK, cy - r, cy + r))
    canvas.fill(hexagon(cx, cy, r * 0.78), vertical(rgb("123c31"), rgb("0b241e"), cy - r, cy + r))
    letter, width = capD(0.24, 1.0)
    canvas.fill(letter.placed(cx - width * r * 0.9 / 2, cy + r * 0.45, r * 0.9), vertical(JADE_LIGHT, rgb("4cc497"), cy - r, cy + r))


def demoLogo():
    canvas = Canvas(500, 400)
    canvas.shade(vertical(rgb("0f2a25"), rgb("060f0d"), 0, 400))
    canvas.glow(250, 135, 250, rgb("1d5a4a"), 0.6)
    drawCrest(canvas, 250, 135, 78)
    xHeight = 38
    shapes, width = word("Demo", 0.165, CAP, 0.13)
    x0 = 250 - width * xHeight / 2
    for shape in shapes:
        canvas.fill(shape.placed(x0, 288, xHeight), flat(rgb("eaf6f1")))
    drawTagline(canvas, "A CORVANE MOD", 250, 318, 9.5, JADE_LIGHT)
    return canvas


def demoIcon(size):
    canvas = Canvas(size, size)
    drawCrest(canvas, size / 2, size / 2, size * 0.48)
    return canvas


# ---------------------------------------------------------------------------------------------------

def main(argv):
    preview = argv[argv.index("--preview") + 1] if "--preview" in argv else None
    pictures = {
        "resources/CorvaneBitmap.bmp": ("bmp", [splash()]),
        "resources/Corvane.ico": ("ico", [appIcon(s) for s in (256, 128, 64, 48, 32, 16)]),
        "resources/CorvaneCursor.cur": ("cur", [arrowCursor()]),
        "testbed/mods/Demo/logo.bmp": ("bmp", [demoLogo()]),
        "testbed/mods/Demo/icon.ico": ("ico", [demoIcon(s) for s in (256, 48, 32, 16)]),
    }
    for path, (kind, images) in pictures.items():
        if kind == "bmp":
            data = bmpFile(images[0])
        elif kind == "ico":
            data = iconFile(images)
        else:
            data = iconFile(images, 2, (1, 1))
        full = os.path.join(ROOT, path)
        with open(full, "wb") as f:
            f.write(data)
        print("wrote", path, len(data), "bytes")
        if preview:
            os.makedirs(preview, exist_ok=True)
            for c in images:
                name = "%s-%d.png" % (os.path.basename(path).replace(".", "_"), c.width)
                with open(os.path.join(preview, name), "wb") as f:
                    f.write(pngFile(c))


if __name__ == "__main__":
    main(sys.argv[1:])
