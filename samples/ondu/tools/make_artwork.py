#!/usr/bin/env python3
"""Draws the sample product's wizard artwork and language icons (deterministic, stdlib only).

Writes into the SETUP folder next to this script's parent:
  header.png, header_dark.png      640 x 53   wizard header, light and dark
  wizard_light.png, wizard_dark.png 188 x 435 side picture of the full-window pages
  addons.png                       160 x 96   picture of the add-ons offer
and puts a 16 x 16 icon (Windows .ico, hex text) into the Icon key of every language file
there and under PRODUCT/Langs.

Run it again after changing the drawing; the output is byte-for-byte the same every time.
"""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# The product's palette: the wizard's accent colours and backgrounds.
ACCENT_LIGHT = (0xDE, 0x8C, 0x33)
ACCENT_DARK = (0xAC, 0x67, 0x1C)
PAGE_LIGHT = (0xFF, 0xFF, 0xFF)
PAGE_DARK = (0x26, 0x26, 0x26)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def png_bytes(width, height, pixel):
    """PNG (8-bit RGB) of pixel(x, y) -> (r, g, b); rows use the Up filter, which keeps
    vertical gradients and flat areas small."""
    rows = []
    prev = bytes(width * 3)
    for y in range(height):
        cur = bytearray()
        for x in range(width):
            cur.extend(pixel(x, y))
        cur = bytes(cur)
        rows.append(b"\x02" + bytes((c - p) & 0xFF for c, p in zip(cur, prev)))
        prev = cur
    raw = b"".join(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def coverage(inside, x, y, n=4):
    """Share of the pixel (x, y) that inside(px, py) covers, sampled n x n (soft edges)."""
    hits = 0
    for i in range(n):
        for j in range(n):
            if inside(x + (i + 0.5) / n, y + (j + 0.5) / n):
                hits += 1
    return hits / (n * n)


def logo(cx, cy, r):
    """The ONDU mark: a ring with a play triangle; returns (ring, triangle) tests."""
    def ring(px, py):
        d = math.hypot(px - cx, py - cy)
        return r * 0.78 <= d <= r

    def triangle(px, py):
        # Pointing right, centred slightly right of the ring's centre.
        left, right = cx - r * 0.32, cx + r * 0.48
        if px < left or px > right:
            return False
        half = (right - px) / (right - left) * r * 0.46
        return abs(py - cy) <= half

    return ring, triangle


def header(dark):
    w, h = 640, 53
    page = PAGE_DARK if dark else PAGE_LIGHT
    accent = ACCENT_DARK if dark else ACCENT_LIGHT
    tint = mix(page, accent, 0.35)
    ring, tri = logo(34, 26, 19)

    def pixel(x, y):
        # Accent tint on the left fading to the page colour behind the right-aligned title.
        base = mix(tint, page, (x - 40) / 220.0)
        # A soft diagonal band through the logo area.
        if 0 <= x - y * 0.6 < 120:
            base = mix(base, accent, 0.12)
        if x < 60:
            c = coverage(ring, x, y)
            if c:
                base = mix(base, accent, c)
            c = coverage(tri, x, y)
            if c:
                base = mix(base, (0xFF, 0xFF, 0xFF) if dark else accent, c)
        return base

    return png_bytes(w, h, pixel)


def side(dark):
    w, h = 188, 435
    page = PAGE_DARK if dark else PAGE_LIGHT
    accent = ACCENT_DARK if dark else ACCENT_LIGHT
    top = mix(accent, (0xFF, 0xFF, 0xFF), 0.15) if not dark else mix(accent, (0, 0, 0), 0.25)
    bottom = mix(accent, page, 0.55)
    ring, tri = logo(94, 150, 58)

    def pixel(x, y):
        base = mix(top, bottom, y / (h - 1))
        # Three gentle waves across the lower half: the "sound" of the player.
        for k, amp in enumerate((9.0, 6.0, 4.0)):
            wave = 300 + k * 26 + amp * math.sin((x + k * 40) / 23.0)
            if abs(y - wave) < 2.2:
                base = mix(base, page, 0.45)
        c = coverage(ring, x, y)
        if c:
            base = mix(base, page, c)
        c = coverage(tri, x, y)
        if c:
            base = mix(base, page, c)
        # A thin edge towards the page.
        if x >= w - 2:
            base = mix(base, page, 0.5)
        return base

    return png_bytes(w, h, pixel)


def addons():
    w, h = 160, 96
    accent, page = ACCENT_LIGHT, PAGE_LIGHT

    def box(x0, y0, x1, y1):
        return lambda px, py: x0 <= px < x1 and y0 <= py < y1

    parts = [box(16, 20, 66, 70), box(72, 20, 122, 70), box(44, 40, 94, 90)]

    def pixel(x, y):
        base = mix(page, accent, 0.10 + 0.10 * y / h)
        for n, inside in enumerate(parts):
            c = coverage(inside, x, y, 2)
            if c:
                base = mix(base, mix(accent, (0x40, 0x40, 0x40), n * 0.2), c)
        # A plus sign: something more to add.
        if (abs(x - 140) < 3 and abs(y - 24) < 12) or (abs(y - 24) < 3 and abs(x - 140) < 12):
            base = accent
        return base

    return png_bytes(w, h, pixel)


def icon_bytes(stripes):
    """A 16 x 16, 32-bit Windows icon of horizontal stripes (top to bottom), with a
    one-pixel transparent frame."""
    size = 16
    pixels = bytearray()
    for row in range(size):           # bitmap rows run bottom-up
        y = size - 1 - row
        for x in range(size):
            if x in (0, size - 1) or y in (0, size - 1):
                pixels += b"\x00\x00\x00\x00"
                continue
            r, g, b = stripes[min(len(stripes) - 1, (y - 1) * len(stripes) // (size - 2))]
            pixels += bytes((b, g, r, 0xFF))
    mask = bytes(4 * size)            # AND mask, all zero: alpha decides
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = info + bytes(pixels) + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
    return directory + image


ICONS = {
    # Family or language -> stripes
    "English": [(0x01, 0x21, 0x69), (0xFF, 0xFF, 0xFF), (0xC8, 0x10, 0x2E)],
    "Russian": [(0xFF, 0xFF, 0xFF), (0x00, 0x39, 0xA6), (0xD5, 0x2B, 0x1E)],
    "German": [(0x00, 0x00, 0x00), (0xDD, 0x00, 0x00), (0xFF, 0xCE, 0x00)],
}


def set_icon(path, hex_text):
    """Replaces the Icon line of the File section, keeping the file's BOM and line ends."""
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"\xef\xbb\xbf"):
        sys.exit("%s: expected UTF-8 with BOM" % path)
    lines = data.split(b"\n")
    for i, line in enumerate(lines):
        if line.startswith(b"Icon="):
            cr = b"\r" if line.endswith(b"\r") else b""
            lines[i] = b"Icon=" + hex_text.encode("ascii") + cr
            break
    else:
        sys.exit("%s: no Icon= line to fill" % path)
    new = b"\n".join(lines)
    if new != data:
        with open(path, "wb") as f:
            f.write(new)


def main():
    setup = os.path.join(ROOT, "SETUP")
    outputs = {
        "header.png": header(False),
        "header_dark.png": header(True),
        "wizard_light.png": side(False),
        "wizard_dark.png": side(True),
        "addons.png": addons(),
    }
    for name, data in outputs.items():
        with open(os.path.join(setup, name), "wb") as f:
            f.write(data)
        print("%-18s %6d bytes" % (name, len(data)))
    for folder in (setup, os.path.join(ROOT, "PRODUCT", "Langs")):
        for lang, stripes in ICONS.items():
            path = os.path.join(folder, lang + ".lng")
            if os.path.exists(path):
                set_icon(path, icon_bytes(stripes).hex().upper())


if __name__ == "__main__":
    main()
