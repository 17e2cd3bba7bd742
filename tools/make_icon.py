#!/usr/bin/env python3
"""Draws resources/zelvix.ico: one 32x32 image of 16 colours (the standard VGA palette).
A parcel with a zip fastener down its middle and a "Z" on its face."""
import struct
import sys

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


def ico(px):
    xor = b""
    mask = b""
    for y in reversed(range(32)):  # bottom-up rows
        row = bytearray()
        bits = 0
        for x in range(0, 32, 2):
            a = px[y][x] if px[y][x] is not None else 0
            b = px[y][x + 1] if px[y][x + 1] is not None else 0
            row.append((a << 4) | b)
        for x in range(32):
            bits = (bits << 1) | (1 if px[y][x] is None else 0)
        xor += bytes(row)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + xor + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 22) + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/zelvix.ico"
    open(out, "wb").write(ico(draw()))
