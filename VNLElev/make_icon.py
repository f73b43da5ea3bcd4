#!/usr/bin/env python3
"""Writes VNLElev.ico: the helper's application icon, six 32-bit images
(16 to 48 pixels) of a log page with a shield. Run once; the .ico is committed.

    python3 make_icon.py VNLElev.ico
"""
import struct
import sys

SIZES = (16, 20, 24, 32, 40, 48)


def pixel(x, y, n):
    """BGRA colour of pixel (x, y) of an n-by-n image, y counted from the top."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    # Shield in the lower right: a rounded blue badge.
    dx, dy = u - 0.68, v - 0.66
    if abs(dx) < 0.26 and -0.28 < dy < 0.16 or (dy >= 0.16 and abs(dx) < 0.26 - (dy - 0.16) * 1.6):
        return (0xB0, 0x50, 0x20, 0xFF)
    # The page: white with a dark edge and grey lines of text.
    if 0.12 <= u <= 0.72 and 0.06 <= v <= 0.92:
        edge = 1.0 / n
        if u < 0.12 + edge or u > 0.72 - edge or v < 0.06 + edge or v > 0.92 - edge:
            return (0x40, 0x40, 0x40, 0xFF)
        if 0.2 <= u <= 0.64 and int(v * 10) % 2 == 0 and v > 0.15:
            return (0x90, 0x90, 0x90, 0xFF)
        return (0xFF, 0xFF, 0xFF, 0xFF)
    return (0, 0, 0, 0)


def image(n):
    """One icon image: a BITMAPINFOHEADER of double height, bottom-up BGRA
    rows, then the 1-bit AND mask (rows padded to 32 bits)."""
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in reversed(range(n)):
        for x in range(n):
            rows += bytes(pixel(x, y, n))
    stride = ((n + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(n)):
        row = bytearray(stride)
        for x in range(n):
            if pixel(x, y, n)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(rows) + bytes(mask)


def main(path):
    images = [image(n) for n in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for n, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "VNLElev.ico")
