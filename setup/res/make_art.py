#!/usr/bin/python3
"""Writes TXSETUP's side picture (side.bmp, 24-bit, 128x200) and icon (txsetup.ico,
32x32) beside this script: a blue band picture with a stylised speaker and sound
waves. Run by hand when the art changes; the outputs are kept in the tree."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def picture(w, h):
    px = []
    cx, cy = w * 0.32, h * 0.45
    for y in range(h):
        row = []
        for x in range(w):
            t = y / float(h)
            r, g, b = int(20 * (1 - t)), int(40 + 60 * (1 - t)), int(255 - 150 * t)
            dx, dy = x - cx, y - cy
            # speaker body and cone
            if abs(dy) < h * 0.06 and -w * 0.14 < dx < -w * 0.04:
                r, g, b = 240, 240, 240
            elif -w * 0.04 <= dx < w * 0.08 and abs(dy) < h * 0.06 + (dx + w * 0.04) * 0.9:
                r, g, b = 240, 240, 240
            else:
                d = math.hypot(dx - w * 0.08, dy)
                ang = abs(math.atan2(dy, dx - w * 0.08))
                for k in (1, 2, 3):
                    if ang < 0.7 and abs(d - w * (0.12 + 0.11 * k)) < w * 0.025:
                        r, g, b = 255, 220, 60
            row.append((r, g, b))
        px.append(row)
    return px


def bmp24(px):
    h, w = len(px), len(px[0])
    stride = (w * 3 + 3) & ~3
    data = b""
    for row in reversed(px):
        line = b"".join(struct.pack("BBB", b, g, r) for r, g, b in row)
        data += line + b"\0" * (stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return info, data


def main():
    info, data = bmp24(picture(128, 200))
    with open(os.path.join(HERE, "side.bmp"), "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(info) + len(data), 0, 0, 54) + info + data)
    px = picture(32, 32)
    h, w = 32, 32
    stride = w * 3
    data = b"".join(b"".join(struct.pack("BBB", b, g, r) for r, g, b in row) for row in reversed(px))
    mask = b"\0" * (4 * h)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 24, 0, len(data) + len(mask), 0, 0, 0, 0)
    image = info + data + mask
    with open(os.path.join(HERE, "txsetup.ico"), "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 24, len(image), 22) + image)


if __name__ == "__main__":
    main()
