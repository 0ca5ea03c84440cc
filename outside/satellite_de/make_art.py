#!/usr/bin/python3
"""Writes the German language library's side picture (side_de.bmp, 24-bit, 128x200)
and icon (txde.ico, 32x32) beside this script: the setup's speaker picture in warm
reds, the picture with a black, red and gold band at its foot. Run by hand when the
art changes; the outputs are kept in the tree."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "setup", "res"))
import make_art  # noqa: E402  (the setup's own art: picture() and bmp24())

SPEAKER, WAVES = (240, 240, 240), (255, 220, 60)
BANDS = ((0, 0, 0), (221, 0, 0), (255, 206, 0))


def picture(w, h, bands=True):
    px = make_art.picture(w, h)
    for y, row in enumerate(px):
        for x, (r, g, b) in enumerate(row):
            if (r, g, b) not in (SPEAKER, WAVES):
                row[x] = (b, g // 2, r)  # the blue gradient turned red
        band = (y - (h - 24)) // 8
        if bands and 0 <= band < 3:
            px[y] = [BANDS[band]] * w
    return px


def main():
    info, data = make_art.bmp24(picture(128, 200))
    with open(os.path.join(HERE, "side_de.bmp"), "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(info) + len(data), 0, 0, 54) + info + data)
    # The icon: one 32x32 24-bit image with an all-opaque mask, as the setup's own.
    px, w, h = picture(32, 32, bands=False), 32, 32
    data = b"".join(b"".join(struct.pack("BBB", b, g, r) for r, g, b in row) for row in reversed(px))
    mask = b"\0" * (4 * h)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 24, 0, len(data) + len(mask), 0, 0, 0, 0)
    image = info + data + mask
    with open(os.path.join(HERE, "txde.ico"), "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 24, len(image), 22) + image)


if __name__ == "__main__":
    main()
