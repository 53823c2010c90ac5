#!/usr/bin/env python3
"""Generates the program's artwork (24-bit bitmaps and icons) into
resources/art. The output is committed; run this again after changing it.

  logo.bmp         32x32   white right-pointing chevron on the header blue
  close.bmp        32x16   two 16x16 frames: white X on header blue / on red
  blue_button.bmp  216x52  two 108x52 frames: light-blue rounded rectangle with
                           a blue outline and a deeper lower band / even light blue
  grey_button.bmp  216x52  the same in greys
  never_ask.bmp    150x30  two 75x30 frames: white pill, grey outline /
                           light-blue pill, blue-grey outline
  qmx.ico, small.ico       the logo at 32x32 and 16x16
"""
import os
import struct

HEADER_BLUE = (48, 99, 170)
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "art")


def canvas(w, h, colour):
    return [[colour for _ in range(w)] for _ in range(h)]


def bmp_bytes(px):
    h, w = len(px), len(px[0])
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):  # bottom-up
        line = bytearray()
        for r, g, b in px[y]:
            line += bytes((b, g, r))
        line += b"\0" * (row - w * 3)
        data += line
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return info, data


def write_bmp(name, px):
    info, data = bmp_bytes(px)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(head + info + data)


def write_ico(name, px):
    h, w = len(px), len(px[0])
    info, data = bmp_bytes(px)
    # An icon's bitmap header counts the XOR and AND masks in its height.
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    mask_row = ((w + 31) // 32) * 4
    mask = b"\0" * (mask_row * h)
    image = info + data + mask
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 24, len(image), 6 + 16)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(head + entry + image)


def inside_round_rect(x, y, x0, y0, x1, y1, r):
    """Whether pixel centre (x, y) lies in the rounded rectangle [x0,x1)x[y0,y1)."""
    cx, cy = x + 0.5, y + 0.5
    if cx < x0 or cx > x1 or cy < y0 or cy > y1:
        return False
    nx = min(max(cx, x0 + r), x1 - r)
    ny = min(max(cy, y0 + r), y1 - r)
    return (cx - nx) ** 2 + (cy - ny) ** 2 <= r * r


def round_rect_frame(w, h, r, fill, outline, band=None, band_from=None, back=(255, 255, 255)):
    px = canvas(w, h, back)
    for y in range(h):
        for x in range(w):
            if not inside_round_rect(x, y, 0, 0, w, h, r):
                continue
            if not inside_round_rect(x, y, 1.5, 1.5, w - 1.5, h - 1.5, max(r - 1.5, 0.5)):
                px[y][x] = outline
            elif band is not None and y >= band_from:
                px[y][x] = band
            else:
                px[y][x] = fill
    return px


def side_by_side(a, b):
    return [ra + rb for ra, rb in zip(a, b)]


def chevron(size, back):
    px = canvas(size, size, back)
    s = size / 32.0
    thick = 4.5 * s
    # Two strokes meeting at the point on the right.
    ax, ay, bx, by, cx, cy = 11 * s, 7 * s, 21 * s, 16 * s, 11 * s, 25 * s
    for y in range(size):
        for x in range(size):
            px_, py_ = x + 0.5, y + 0.5
            for (x0, y0, x1, y1) in ((ax, ay, bx, by), (bx, by, cx, cy)):
                dx, dy = x1 - x0, y1 - y0
                t = max(0.0, min(1.0, ((px_ - x0) * dx + (py_ - y0) * dy) / (dx * dx + dy * dy)))
                qx, qy = x0 + t * dx, y0 + t * dy
                if (px_ - qx) ** 2 + (py_ - qy) ** 2 <= (thick / 2) ** 2:
                    px[y][x] = (255, 255, 255)
    return px


def close_frame(back):
    px = canvas(16, 16, back)
    for i in range(3, 13):
        for d in (0, 1):
            if i + d < 13:
                px[i][i + d] = (255, 255, 255)
                px[i][15 - i - d] = (255, 255, 255)
    return px


def main():
    os.makedirs(OUT, exist_ok=True)
    write_bmp("logo.bmp", chevron(32, HEADER_BLUE))
    write_ico("qmx.ico", chevron(32, HEADER_BLUE))
    write_ico("small.ico", chevron(16, HEADER_BLUE))
    write_bmp("close.bmp", side_by_side(close_frame(HEADER_BLUE), close_frame((220, 40, 40))))
    blue_n = round_rect_frame(108, 52, 10, (214, 232, 250), (48, 99, 170), (160, 198, 238), 34)
    blue_h = round_rect_frame(108, 52, 10, (186, 216, 246), (48, 99, 170))
    write_bmp("blue_button.bmp", side_by_side(blue_n, blue_h))
    grey_n = round_rect_frame(108, 52, 10, (236, 236, 236), (150, 150, 150), (205, 205, 205), 34)
    grey_h = round_rect_frame(108, 52, 10, (200, 200, 200), (150, 150, 150))
    write_bmp("grey_button.bmp", side_by_side(grey_n, grey_h))
    pill_n = round_rect_frame(75, 30, 15, (255, 255, 255), (160, 160, 160))
    pill_h = round_rect_frame(75, 30, 15, (210, 228, 248), (110, 130, 160))
    write_bmp("never_ask.bmp", side_by_side(pill_n, pill_h))


if __name__ == "__main__":
    main()
