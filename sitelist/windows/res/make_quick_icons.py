#!/usr/bin/python3
"""Draws the 15 images of the quick HTML window (quick01.ico .. quick15.ico):
a page with a table on it and a globe beside it whose bright sector turns a
fifteenth of a circle from one image to the next. Each .ico holds a 32x32 and a
16x16 image, 32 bits with alpha. Run it in this folder to draw them again."""
import math
import struct

COUNT = 15


def pixel(size, x, y, step):
    """RGBA of one pixel of image `step` at the given size (drawn on a 32 grid)."""
    u = (x + 0.5) * 32.0 / size
    v = (y + 0.5) * 32.0 / size
    # The globe: a blue disc whose sector at the step's angle is yellow.
    cx, cy, r = 21.0, 21.0, 10.5
    dx, dy = u - cx, v - cy
    d = math.hypot(dx, dy)
    if d <= r:
        if d > r - 1.2:
            return (0, 40, 120, 255)
        angle = (math.degrees(math.atan2(dy, dx)) + 360.0) % 360.0
        start = step * 360.0 / COUNT
        if (angle - start) % 360.0 < 72.0:
            return (255, 210, 0, 255)
        return (30, 110, 230, 255)
    # The page: white with a grey border and three table rows.
    if 1 <= u < 17 and 1 <= v < 24:
        if u < 2 or u >= 16 or v < 2 or v >= 23:
            return (96, 96, 96, 255)
        if 4 <= u < 14 and int(v) in (5, 6, 10, 11, 15, 16):
            return (40, 90, 200, 255)
        return (255, 255, 255, 255)
    return (0, 0, 0, 0)


def bitmap(size, step):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b"".join(struct.pack("<BBBB", b, g, r, a) for (r, g, b, a) in
                       (pixel(size, x, y, step) for x in range(size)))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\x00" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def icon(step):
    images = [bitmap(32, step), bitmap(16, step)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


if __name__ == "__main__":
    for i in range(COUNT):
        with open("quick%02d.ico" % (i + 1), "wb") as f:
            f.write(icon(i))
