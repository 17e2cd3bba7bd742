#!/usr/bin/env python3
"""Writes a test icon file: make_icon.py OUT.ico [--signature]. Three images, each a colour of
its own: 16x16 and 32x32 32-bit bitmaps and a 48x48 PNG. With --signature the 32x32 image's
pixels are the bytes PK\\3\\4 over and over (a nearly transparent colour), so that whatever
4-aligned offset it lands at in a package begins with the local-header signature."""
import struct
import sys
import zlib


def bitmap(size, pixel):
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_row = ((size + 31) // 32) * 4
    return header + pixel * (size * size) + b"\0" * (mask_row * size)


def png(size, rgba):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + rgba * size for _ in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main():
    out, signature = sys.argv[1], "--signature" in sys.argv[2:]
    images = [(16, bitmap(16, b"\x20\x40\xE0\xFF")),  # BGRA: red
              (32, bitmap(32, b"PK\3\4" if signature else b"\x20\xC0\x20\xFF")),  # green
              (48, png(48, b"\x20\x40\xE0\xFF"))]  # RGBA: blue
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(image for _, image in images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
