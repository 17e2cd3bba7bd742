#!/usr/bin/env python3
"""Draws resources/zelvix.ico: one 32x32 image of 16 colours (the standard VGA palette).
A parcel with a zip fastener down its middle and a "Z" on its face.

The image is stored PNG-compressed (a palette PNG, transparency through its tRNS chunk), as
icon files may hold it since Windows Vista: 254 bytes instead of the 744 of a bitmap, and every
package carries it."""
import struct
import sys
import zlib

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, GREY, YELLOW, BLUE, WHITE, SILVER = 0, 4, 8, 11, 12, 15, 7


def draw():
    px = [[None] * 32 for _ in range(32)]  # None = transparent
    for y in range(3, 30):
        for x in range(3, 29):
            edge = x in (3, 28) or y in (3, 29)
            px[y][x] = BLACK if edge else (BLUE if y > 5 else NAVY)
    for y in range(4, 29):  # the fastener: alternating teeth on a grey track
        px[y][15] = GREY
        px[y][16] = SILVER if y % 2 else GREY
        px[y][14 if y % 2 else 17] = SILVER
    for x in range(13, 19):  # the pull tab
        for y in range(6, 11):
            px[y][x] = YELLOW if x in (13, 18) or y in (6, 10) else BLACK
    for i in range(11):  # a "Z" on the left half
        px[15][5 + i % 8] = WHITE
        px[25][5 + i % 8] = WHITE
    for k in range(9):
        px[16 + k][12 - k * 7 // 8] = WHITE
    return px


def png(px):
    transparent = len(PALETTE)
    raw = b"".join(b"\0" + bytes(transparent if p is None else p for p in row) for row in px)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    palette = b"".join(bytes(colour) for colour in PALETTE) + b"\0\0\0"
    alpha = bytes([255] * len(PALETTE) + [0])
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 32, 32, 8, 3, 0, 0, 0)) +
            chunk(b"PLTE", palette) + chunk(b"tRNS", alpha) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def ico(px):
    image = png(px)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 32, len(image), 22) + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/zelvix.ico"
    open(out, "wb").write(ico(draw()))
