#!/usr/bin/env python3
"""Draws the program's icons and bitmaps into src/res/.

Standard library only. The generated files are committed, so the build does
not need Python; run this again only after changing a picture:

    python3 scripts/genres.py
"""

import math
import os
import struct

STEEL = (70, 130, 180)
OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "res")


# ---------------------------------------------------------------- rasteriser

class Canvas:
    """RGBA pixels, row 0 at the top, straight (not premultiplied) alpha."""

    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[fill for _ in range(w)] for _ in range(h)]

    def blend(self, x, y, rgb, a):
        """Paints rgb over pixel (x, y) with coverage a in 0..1."""
        if not (0 <= x < self.w and 0 <= y < self.h) or a <= 0:
            return
        r0, g0, b0, a0 = self.px[y][x]
        a0 /= 255.0
        a = min(a, 1.0)
        out_a = a + a0 * (1 - a)
        if out_a <= 0:
            return
        mix = [(c * a + c0 * a0 * (1 - a)) / out_a for c, c0 in zip(rgb, (r0, g0, b0))]
        self.px[y][x] = (round(mix[0]), round(mix[1]), round(mix[2]), round(out_a * 255))

    def fill_shape(self, inside, colour, ss=4):
        """Fills the points (u, v) in unit square coordinates for which
        inside(u, v) holds; colour is an RGB tuple or a function of (u, v).
        Coverage is measured with ss x ss samples per pixel (anti-aliasing)."""
        for y in range(self.h):
            for x in range(self.w):
                hits = 0
                for sy in range(ss):
                    for sx in range(ss):
                        u = (x + (sx + 0.5) / ss) / self.w
                        v = (y + (sy + 0.5) / ss) / self.h
                        if inside(u, v):
                            hits += 1
                if hits:
                    u, v = (x + 0.5) / self.w, (y + 0.5) / self.h
                    rgb = colour(u, v) if callable(colour) else colour
                    self.blend(x, y, rgb, hits / (ss * ss))

    def rect(self, x0, y0, x1, y1, rgb):
        """Fills whole pixels x0..x1-1, y0..y1-1 opaquely."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = (rgb[0], rgb[1], rgb[2], 255)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


# ------------------------------------------------------------------ encoders

def bmp4_file(c):
    """4-bit palette BMP: toolbar loaders remap colour-table entries (the
    transparent grey, black, white) to the system colours, which needs a
    palette rather than direct colour."""
    palette = []
    for row in c.px:
        for p in row:
            if p[:3] not in palette:
                palette.append(p[:3])
    if len(palette) > 16:
        raise ValueError("too many colours for a 4-bit bitmap")
    palette += [(0, 0, 0)] * (16 - len(palette))
    stride = ((c.w * 4 + 31) // 32) * 4
    pixels = bytearray()
    for y in reversed(range(c.h)):
        row = bytearray(stride)
        for x, p in enumerate(c.px[y]):
            row[x // 2] |= palette.index(p[:3]) << (4 if x % 2 == 0 else 0)
        pixels += row
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, c.w, c.h, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    off = 14 + len(info) + len(table)
    head = struct.pack("<2sIHHI", b"BM", off + len(pixels), 0, 0, off)
    return head + info + table + pixels


def _row_pad(n):
    return (4 - n % 4) % 4


def ico_image(c):
    """One icon image: BITMAPINFOHEADER, 32-bit BGRA colour and the AND mask."""
    hdr = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for y in reversed(range(c.h)):
        for r, g, b, a in c.px[y]:
            colour += bytes((b, g, r, a))
    mask = bytearray()
    stride = ((c.w + 31) // 32) * 4
    for y in reversed(range(c.h)):
        row = bytearray(stride)
        for x, (_, _, _, a) in enumerate(c.px[y]):
            if a < 128:  # transparent where the alpha channel is unused
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return hdr + colour + mask


def ico_file(canvases):
    count = len(canvases)
    images = [ico_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def bmp_file(c):
    """24-bit bottom-up BMP of the canvas (alpha ignored)."""
    pad = _row_pad(c.w * 3)
    pixels = bytearray()
    for y in reversed(range(c.h)):
        for r, g, b, _ in c.px[y]:
            pixels += bytes((b, g, r))
        pixels += bytes(pad)
    info = struct.pack("<IiiHHIIiiII", 40, c.w, c.h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


# ------------------------------------------------------------------ pictures

def shield(size):
    """Program icon: a steel-blue shield with a white tick."""
    c = Canvas(size, size)
    m = 0.5 / size  # keep the outline off the very edge

    def outline(u, v, inset=0.0):
        x = abs(u - 0.5)
        top = 0.06 + m + inset + 0.05 * (1 - min(1.0, (x / 0.42) ** 2))
        if v < top:
            return False
        if v <= 0.48:
            half = 0.42 - inset
        else:
            t = (v - 0.48) / (0.94 - m - inset - 0.48)
            if t >= 1:
                return False
            half = (0.42 - inset) * (1 - t ** 1.7) ** 0.8
        return x <= half

    dark = (36, 72, 108)
    c.fill_shape(outline, dark)
    edge = 1.3 / size
    light, base = (122, 170, 214), STEEL

    def body(u, v):
        return lerp(light, base, min(1.0, v * 1.4)) if u < 0.5 else lerp(base, dark, v * 0.6)

    c.fill_shape(lambda u, v: outline(u, v, edge), body)

    # A tick drawn as two thick strokes.
    def stroke(ax, ay, bx, by, w):
        def inside(u, v):
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((u - ax) * dx + (v - ay) * dy) / (dx * dx + dy * dy)))
            return math.hypot(u - ax - t * dx, v - ay - t * dy) <= w
        return inside

    w = 0.075 if size >= 32 else 0.09
    a = stroke(0.29, 0.47, 0.44, 0.63, w)
    b = stroke(0.44, 0.63, 0.72, 0.31, w)
    c.fill_shape(lambda u, v: a(u, v) or b(u, v), (255, 255, 255))
    return c


def program_window(size):
    """Generic program icon: a small application window."""
    c = Canvas(size, size)
    s = size / 16.0
    x0, y0, x1, y1 = round(1 * s), round(2 * s), round(15 * s), round(14 * s)
    c.rect(x0, y0, x1, y1, (64, 64, 64))                      # frame
    c.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, (255, 255, 255))   # client
    bar = max(3, round(3 * s))
    for x in range(x0 + 1, x1 - 1):                           # title bar
        t = (x - x0) / (x1 - x0)
        col = lerp((40, 90, 160), (120, 170, 220), t)
        for y in range(y0 + 1, y0 + bar):
            c.px[y][x] = col + (255,)
    box = max(1, round(s))                                    # close box
    c.rect(x1 - 1 - 2 * box, y0 + 1 + (bar - 1 - box) // 2, x1 - 1 - box,
           y0 + 1 + (bar - 1 - box) // 2 + box, (255, 255, 255))
    line = (176, 176, 176)                                    # text lines
    for i, frac in enumerate((0.7, 0.5, 0.6)):
        y = y0 + bar + round((2 + 2.5 * i) * s)
        if y + max(1, round(s)) <= y1 - 2:
            c.rect(x0 + round(2 * s), y, x0 + round(2 * s) + round((x1 - x0 - 4 * s) * frac),
                   y + max(1, round(s)), line)
    return c


def arrow_right(size):
    """Navigation arrow pointing right."""
    c = Canvas(size, size)

    def inside(u, v):
        if 0.16 <= u <= 0.56 and abs(v - 0.5) <= 0.12:
            return True
        return 0.50 <= u <= 0.86 and abs(v - 0.5) <= 0.30 * (0.86 - u) / 0.36

    c.fill_shape(inside, lambda u, v: lerp((120, 172, 216), (40, 92, 140), v))
    return c


def floppies():
    """Toolbar button: three stacked floppy disks on the toolbar's mask grey."""
    grey = (192, 192, 192)
    c = Canvas(16, 16, grey + (255,))
    body, edge, shutter, label = (40, 70, 140), (16, 32, 72), (200, 200, 208), (255, 255, 255)
    for ox, oy in ((6, 0), (3, 3), (0, 6)):
        c.rect(ox, oy, ox + 10, oy + 10, edge)
        c.rect(ox + 1, oy + 1, ox + 9, oy + 9, body)
        c.rect(ox + 3, oy + 1, ox + 7, oy + 4, shutter)
        c.rect(ox + 5, oy + 1, ox + 6, oy + 3, body)
        c.rect(ox + 2, oy + 5, ox + 8, oy + 9, label)
        c.rect(ox + 3, oy + 6, ox + 7, oy + 7, (150, 150, 170))
    return c


def texture(w=70, h=36):
    """Light grey basket weave with fine noise. Cells of 5 x 6 pixels give an
    even number of cells both ways, so the checkered weave tiles seamlessly."""
    c = Canvas(w, h)
    seed = 0x2545F491
    for y in range(h):
        for x in range(w):
            seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
            noise = (seed >> 16) % 7 - 3
            cx, cy = x // 5, y // 6
            if (cx + cy) % 2 == 0:
                shade = 2 if (y % 6) in (1, 2, 3, 4) else -1   # horizontal thread
            else:
                shade = 2 if (x % 5) in (1, 2, 3) else -1      # vertical thread
            v = 226 + shade * 2 + noise
            c.px[y][x] = (v, v, v + 2, 255)
    return c


def main():
    files = {
        "mossgrave.ico": ico_file([shield(32), shield(16)]),
        "program.ico": ico_file([program_window(32), program_window(16)]),
        "arrow.ico": ico_file([arrow_right(32)]),
        "toolbar.bmp": bmp4_file(floppies()),
        "texture.bmp": bmp_file(texture()),
    }
    for name, data in files.items():
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(data)
        print("wrote", name, len(data), "bytes")


if __name__ == "__main__":
    main()
