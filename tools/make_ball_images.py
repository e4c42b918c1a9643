#!/usr/bin/env python3
"""Draws the indicator's two 32 x 32 ball pictures (green and grey) as true-colour PNGs
(the Qt front end) and 24-bit BMPs (the Windows front end's bitmap resources).

Run once; the pictures are kept in app/resources. Standard library only.
"""
import math
import pathlib
import struct
import zlib

SIZE = 32
SUPERSAMPLE = 4
BACKGROUND = (212, 208, 200)  # light grey, as a classic dialog face

BALLS = {
    "green_ball.png": (0, 176, 0),
    "gray_ball.png": (150, 150, 150),
}


def shade(base, x, y):
    """Colour of the ball at (x, y) in [-1, 1]^2, lit from the upper left."""
    z = math.sqrt(max(0.0, 1.0 - x * x - y * y))
    light = (-0.5, -0.6, 0.62)
    norm = math.sqrt(sum(c * c for c in light))
    diffuse = max(0.0, (x * light[0] + y * light[1] + z * light[2]) / norm)
    highlight = max(0.0, diffuse) ** 24
    colour = []
    for c in base:
        value = c * (0.35 + 0.75 * diffuse) + 255 * 0.8 * highlight
        colour.append(max(0, min(255, value)))
    return colour


def draw(base):
    rows = []
    radius = SIZE / 2 - 1.5
    centre = SIZE / 2
    for py in range(SIZE):
        row = bytearray([0])  # PNG filter: none
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (px + (sx + 0.5) / SUPERSAMPLE - centre) / radius
                    y = (py + (sy + 0.5) / SUPERSAMPLE - centre) / radius
                    colour = shade(base, x, y) if x * x + y * y <= 1.0 else BACKGROUND
                    for i in range(3):
                        acc[i] += colour[i]
            n = SUPERSAMPLE * SUPERSAMPLE
            row += bytes(int(round(a / n)) for a in acc)
        rows.append(bytes(row))
    return b"".join(rows)


def png(pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)  # 8-bit RGB
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def bmp(pixels):
    """A bottom-up 24-bit BMP of the PNG rows (each has a filter byte in front)."""
    stride = SIZE * 3
    padded = (stride + 3) & ~3
    rows = []
    for py in range(SIZE):
        row = pixels[py * (stride + 1) + 1:(py + 1) * (stride + 1)]
        bgr = bytearray()
        for px in range(SIZE):
            r, g, b = row[px * 3:px * 3 + 3]
            bgr += bytes((b, g, r))
        rows.append(bytes(bgr) + bytes(padded - stride))
    data = b"".join(reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + data


def main():
    out = pathlib.Path(__file__).resolve().parent.parent / "app" / "resources"
    out.mkdir(parents=True, exist_ok=True)
    for name, base in BALLS.items():
        pixels = draw(base)
        (out / name).write_bytes(png(pixels))
        bitmap = (out / name).with_suffix(".bmp")
        bitmap.write_bytes(bmp(pixels))
        print(out / name)
        print(bitmap)


if __name__ == "__main__":
    main()
