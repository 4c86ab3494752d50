"""Reads the pixels the window tests look at: PNG files of the screenshot mode
and XWD dumps of the live X display (xwd), without image libraries."""

import pathlib
import struct
import subprocess
import zlib

import harness


class Picture:
    def __init__(self, width, height, pixel):
        self.width, self.height = width, height
        self._pixel = pixel  # (x, y) -> (r, g, b)

    def at(self, x, y):
        return self._pixel(int(x), int(y))


def _unfilter(rows, stride, bpp):
    previous = bytearray(stride)
    out = []
    for filter_type, row in rows:
        row = bytearray(row)
        for i in range(stride):
            left = row[i - bpp] if i >= bpp else 0
            up = previous[i]
            corner = previous[i - bpp] if i >= bpp else 0
            if filter_type == 1:
                row[i] = (row[i] + left) & 0xFF
            elif filter_type == 2:
                row[i] = (row[i] + up) & 0xFF
            elif filter_type == 3:
                row[i] = (row[i] + ((left + up) >> 1)) & 0xFF
            elif filter_type == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                row[i] = (row[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        out.append(bytes(row))
        previous = row
    return out


def read_png(path):
    """An 8-bit RGB or RGBA, non-interlaced PNG (what WIC's encoder writes)."""
    data = pathlib.Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise AssertionError("%s is not a PNG" % path)
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", chunk)
        elif kind == b"IDAT":
            idat += chunk
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise AssertionError("unexpected PNG format %r" % (header,))
    bpp = 4 if colour == 6 else 3
    stride = width * bpp
    raw = zlib.decompress(idat)
    rows = [(raw[y * (stride + 1)], raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)]) for y in range(height)]
    pixels = _unfilter(rows, stride, bpp)
    return Picture(width, height, lambda x, y: tuple(pixels[y][x * bpp:x * bpp + 3]))


def x_screenshot(left, top, width, height):
    """The screen area of the session's Xvfb display, read with xwd (ZPixmap, 32 bits per pixel)."""
    display = ":" + (harness.TREE / "wine-session" / "display").read_text().strip()
    data = subprocess.run(["xwd", "-root", "-silent", "-display", display], check=True, capture_output=True,
                          timeout=30).stdout
    header_size, _, _, depth, screen_width, screen_height = struct.unpack(">6I", data[:24])
    fields = struct.unpack(">25I", data[:100])
    byte_order, bits_per_pixel, line_bytes, ncolours = fields[7], fields[11], fields[12], fields[19]
    if bits_per_pixel not in (24, 32):
        raise AssertionError("unexpected xwd format: %d bits per pixel" % bits_per_pixel)
    size = bits_per_pixel // 8
    pixels = data[header_size + ncolours * 12:]

    def pixel(x, y):
        sx, sy = left + x, top + y
        if not (0 <= sx < screen_width and 0 <= sy < screen_height):
            raise AssertionError("point %d,%d is off the screen" % (sx, sy))
        at = sy * line_bytes + sx * size
        value = int.from_bytes(pixels[at:at + size], "little" if byte_order == 0 else "big")
        return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)

    return Picture(width, height, pixel)


def near(colour, expected, tolerance=6):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


def hex_colour(value):
    return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)


def largest_local_difference(a, b, radius):
    """The largest difference of one colour channel between the two pictures'
    local averages over squares 2 * radius + 1 wide: where both show the same
    things in the same places this stays small, even where one is a little
    softer than the other."""
    if (a.width, a.height) != (b.width, b.height):
        raise AssertionError("pictures of different sizes")
    w, h = a.width, a.height
    largest = 0.0
    for channel in range(3):
        # Summed-area table of the signed differences, one row and column of zeros ahead.
        table = [[0] * (w + 1) for _ in range(h + 1)]
        for y in range(h):
            row, above, running = table[y + 1], table[y], 0
            for x in range(w):
                running += a.at(x, y)[channel] - b.at(x, y)[channel]
                row[x + 1] = above[x + 1] + running
        for y in range(h):
            y0, y1 = max(0, y - radius), min(h, y + radius + 1)
            for x in range(0, w, 2):
                x0, x1 = max(0, x - radius), min(w, x + radius + 1)
                total = table[y1][x1] - table[y0][x1] - table[y1][x0] + table[y0][x0]
                largest = max(largest, abs(total) / ((y1 - y0) * (x1 - x0)))
    return largest
