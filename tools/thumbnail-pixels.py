#!/usr/bin/env python3
"""Compares a thumbnail bitmap's rows with a picture the Linux build wrote.

    tools/thumbnail-pixels.py PICTURE.png ROWS
    tools/thumbnail-pixels.py --transparent PICTURE.png

PICTURE.png is `ostrel MODEL -o PICTURE.png --size N` (8-bit RGBA, not
interlaced); ROWS the bitmap's rows, top row first, 4 bytes a pixel (blue,
green, red, alpha, each colour premultiplied by alpha: c * a / 255 rounded to
nearest), as thumbnail_host writes them. Exit 0 when every pixel is the same,
1 naming the first that is not. With --transparent: exit 0 when every pixel
of the picture is fully transparent (it shows nothing).
"""
import struct
import sys
import zlib


def rgba_rows(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    at, chunks, header = 8, [], None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        sys.exit(f"{path}: not 8-bit RGBA without interlacing")
    raw, stride, rows, previous = zlib.decompress(b"".join(chunks)), 4 * width, [], bytes(4 * width)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up, corner = previous[x], previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + left) & 255
            elif kind == 2:
                line[x] = (line[x] + up) & 255
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, b"".join(rows)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    if sys.argv[1] == "--transparent":
        return 0 if not any(rgba_rows(sys.argv[2])[2][3::4]) else 1
    width, height, rgba = rgba_rows(sys.argv[1])
    got = open(sys.argv[2], "rb").read()
    if len(got) != 4 * width * height:
        print(f"{len(got)} bytes of rows, for {width}x{height} pixels {4 * width * height}")
        return 1
    for i in range(0, len(rgba), 4):
        r, g, b, a = rgba[i:i + 4]
        wanted = bytes(((b * a + 127) // 255, (g * a + 127) // 255, (r * a + 127) // 255, a))
        if got[i:i + 4] != wanted:
            pixel = i // 4
            print(f"pixel ({pixel % width}, {pixel // width}): {got[i:i + 4].hex()}, "
                  f"expected {wanted.hex()} (straight RGBA {rgba[i:i + 4].hex()})")
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
