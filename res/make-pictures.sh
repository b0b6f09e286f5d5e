#!/usr/bin/env bash
# Makes the program's pictures (committed beside this script): the bar's 3 x 25 background
# bitmap, the PNG pictures of the start, previous and next buttons, and the icon.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert

python3 - <<'PY'
import struct
# The bar's glossy gradient, top line first (red, green, blue); the three columns nearly alike.
gloss = [0x94A0A8, 0x8C98A0, 0x828E96, 0x79858E, 0x707D85, 0x6B787F, 0x637077, 0x5D6972, 0x57636B,
         0x56626A, 0x48545C, 0x48545C, 0x313D45, 0x2F3B43, 0x2D3A41, 0x2C3840, 0x2A363E, 0x28353C,
         0x27333A, 0x263239, 0x243038, 0x222F37, 0x374249, 0x364D67, 0x476082]
w, h = 3, 25
rows = []
for y in range(h):
    row = b""
    for x in range(w):
        rgb = gloss[y]
        r, g, b = rgb >> 16, (rgb >> 8) & 255, rgb & 255
        if x == 1:  # a shade lighter: a faint vertical grain
            r, g, b = min(r + 2, 255), min(g + 2, 255), min(b + 2, 255)
        row += bytes([b, g, r, 0])
    rows.append(row)
pixels = b"".join(reversed(rows))  # bottom-up
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
open("tile.bmp", "wb").write(head + info + pixels)
PY

# The start button (22 x 22), the previous and next arrows (16 x 16) and the icon (a 48 x 48
# feed symbol), drawn with 8 x 8 supersampling and written as RGBA PNG.
python3 - <<'PY'
import math, struct, zlib

def png(name, w, h, pixel):
    raw = b""
    for y in range(h):
        raw += b"\0" + b"".join(bytes(pixel(x, y)) for x in range(w))
    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    open(name, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
                           + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

def supersample(w, h, layers, n=8):
    # layers(x, y) -> list of (r, g, b, a) painted bottom to top at a sample point
    def pixel(px, py):
        acc = [0.0, 0.0, 0.0, 0.0]
        for sy in range(n):
            for sx in range(n):
                x, y = px + (sx + 0.5) / n, py + (sy + 0.5) / n
                r = g = b = a = 0.0
                for (cr, cg, cb, ca) in layers(x, y):
                    r, g, b = cr * ca + r * (1 - ca), cg * ca + g * (1 - ca), cb * ca + b * (1 - ca)
                    a = ca + a * (1 - ca)
                acc[0] += r; acc[1] += g; acc[2] += b; acc[3] += a
        k = n * n
        a = acc[3] / k
        if a <= 0:
            return (0, 0, 0, 0)
        return tuple(min(255, round(c / k / a)) for c in acc[:3]) + (round(a * 255),)
    return pixel

def feed(size):
    s = size / 22.0
    def layers(x, y):
        out = []
        # rounded square with a vertical orange gradient and a darker rim
        rx, ry = min(max(x, 2.2 * s), size - 2.2 * s), min(max(y, 2.2 * s), size - 2.2 * s)
        d = math.hypot(x - rx, y - ry)
        if d <= 2.2 * s:
            t = y / size
            out.append((186, 92, 0, 1.0))
            if d <= 2.2 * s - 0.9 * s or (abs(x - rx) < 1e-9 and abs(y - ry) < 1e-9):
                out.append((255 - 20 * t, 176 - 70 * t, 60 - 50 * t, 1.0))
        cx, cy = 6.0 * s, 16.0 * s
        r = math.hypot(x - cx, y - cy)
        if x >= cx - 0.5 * s and y <= cy + 0.5 * s:
            for radius in (7.0 * s, 12.0 * s):
                if abs(r - radius) <= 1.35 * s:
                    out.append((255, 255, 255, 1.0))
        if r <= 1.9 * s:
            out.append((255, 255, 255, 1.0))
        return out
    return layers

def arrow(points, size=16):
    def inside(x, y, pts):
        c = False
        for i in range(len(pts)):
            (x1, y1), (x2, y2) = pts[i], pts[i - 1]
            if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                c = not c
        return c
    shadow = [(px + 0.8, py + 1.0) for px, py in points]
    def layers(x, y):
        out = []
        if inside(x, y, shadow):
            out.append((0, 0, 0, 0.45))
        if inside(x, y, points):
            out.append((247, 253, 168, 1.0))
        return out
    return layers

png("start.png", 22, 22, supersample(22, 22, feed(22)))
png("feed48.png", 48, 48, supersample(48, 48, feed(48)))
png("prev.png", 16, 16, supersample(16, 16, arrow([(11.5, 2.5), (11.5, 13.5), (3.5, 8.0)])))
png("next.png", 16, 16, supersample(16, 16, arrow([(4.5, 2.5), (4.5, 13.5), (12.5, 8.0)])))

# The menus' radio mark: a 16 x 16 one-bit bitmap, a round dot (black, drawn in the button-text
# colour) on white (left as it is).
def radio_bmp(name):
    import struct
    rows = []
    for y in range(16):
        bits = 0
        for x in range(16):
            if (x - 7.5) ** 2 + (y - 7.5) ** 2 > 3.2 ** 2:
                bits |= 1 << (15 - x)
        rows.append(struct.pack(">H", bits) + b"\0\0")
    data = b"".join(reversed(rows))
    offset = 14 + 40 + 8
    with open(name, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset))
        f.write(struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 1, 0, len(data), 2835, 2835, 2, 2))
        f.write(b"\0\0\0\0\xff\xff\xff\0" + data)

radio_bmp("bcradioitem.bmp")
PY
"$convert" feed48.png -define icon:auto-resize=48,32,16 marquelle.ico
rm -f feed48.png
