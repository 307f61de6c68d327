#!/usr/bin/env python3
"""Writes samples/sample.bmp: a 320 x 240, 24-bit picture whose corners,
edges and centre all differ, so the effect of the frame is easy to see.

Only the standard library: the BMP file is written byte by byte."""
import math
import os
import struct

WIDTH, HEIGHT = 320, 240


def colour(x, y):
    """Sky, sun, hills and a checkered field; top row is y = 0."""
    if y > 160 + 12 * math.sin(x / 23.0):
        light = 150 if ((x // 20) + (y // 10)) % 2 == 0 else 110
        return (40, light, 60)
    if y > 120 + 30 * math.sin(x / 41.0 + 1.0):
        return (60, 120 + (y - 120) // 2, 40)
    if (x - 230) ** 2 + (y - 60) ** 2 <= 30 ** 2:
        return (255, 210, 40)
    rays = int(20 * math.cos(math.atan2(y - 60, x - 230) * 12))
    return (90 + y // 3, 150 + y // 4 + rays // 4, 235)


def main():
    row_size = (WIDTH * 3 + 3) // 4 * 4
    rows = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom row first
        row = bytearray()
        for x in range(WIDTH):
            red, green, blue = colour(x, y)
            row += bytes((min(blue, 255), min(green, 255), min(red, 255)))
        rows += row + bytes(row_size - len(row))
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sample.bmp")
    with open(path, "wb") as file:
        file.write(header + info + rows)


if __name__ == "__main__":
    main()
