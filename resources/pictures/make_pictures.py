#!/usr/bin/python3
"""Regenerates the launcher's pictures and icon with Pillow (python3-pil):

  /usr/bin/python3 resources/pictures/make_pictures.py

Writes, beside this script, the wordmark (resource 201), the application logo
(203) and the seven tip pictures (211-217), and resources/icon/setup.ico (icon
group 101). Everything is drawn from shapes and the project's own fonts in
resources/fonts/, supersampled and reduced with Lanczos. The output is the same
byte for byte on every run: nothing random and no timestamps in the files.
Prints every file's size and the total, and fails when a picture has the wrong
size or the whole set outgrows its download budget.
"""

import io
import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.dirname(HERE)
FONTS = os.path.join(RESOURCES, "fonts")
ICON_FILE = os.path.join(RESOURCES, "icon", "setup.ico")

# Every byte is downloaded by every user: all pictures plus the icon stay below this.
BUDGET = 350 * 1024
JPEG_QUALITY = 84

BACKGROUND = "#08080A"
GREY1, GREY2, GREY3 = "#131316", "#1C1C21", "#27272A"
GREY4 = "#3F3F46"
TEXT_MUTED, TEXT_FAINT = "#909099", "#787880"
BLUE, MINT, CYAN = "#3B82F6", "#7DE2D1", "#2AC6FF"

# Tip pictures in carousel order: file, size, accent.
TIPS = [
    ("tip-1.jpg", (1000, 678), "#38E1FF"),
    ("tip-2.jpg", (612, 460), "#60A5FA"),
    ("tip-3.jpg", (1000, 627), "#A78BFA"),
    ("tip-4.jpg", (1000, 583), "#7DD3FC"),
    ("tip-5.jpg", (898, 652), "#6DDE92"),
    ("tip-6.jpg", (898, 652), "#C4A1FF"),
    ("tip-7.jpg", (1000, 627), "#60A5FA"),
]


# ---------------------------------------------------------------- colours

def rgb(colour):
    if isinstance(colour, tuple):
        return colour[:3]
    colour = colour.lstrip("#")
    return tuple(int(colour[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, t):
    a, b = rgb(a), rgb(b)
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def font(weight, size):
    return ImageFont.truetype(os.path.join(FONTS, "TavoInter-%s.ttf" % weight), max(1, round(size)))


# ---------------------------------------------------------------- painter

class Painter:
    """An RGBA picture drawn at `ss` times its size in the picture's own pixel
    coordinates; every shape is a coverage mask composited with a colour or a
    gradient at an opacity, so overlapping translucent shapes blend."""

    def __init__(self, size, ss=2, background=BACKGROUND):
        self.size = size
        self.ss = ss
        fill = (0, 0, 0, 0) if background is None else rgb(background) + (255,)
        self.image = Image.new("RGBA", (size[0] * ss, size[1] * ss), fill)

    def s(self, v):
        return v * self.ss

    def box(self, x, y, w, h):
        return [round(self.s(x)), round(self.s(y)), round(self.s(x + w)) - 1, round(self.s(y + h)) - 1]

    def mask(self):
        return Image.new("L", self.image.size, 0)

    def paint(self, mask, paint, opacity=1.0, blur=0):
        """Composites `paint` (a colour or an RGB(A) image of the picture's size)
        through `mask` at `opacity`, optionally blurred by `blur` picture pixels."""
        if blur:
            mask = mask.filter(ImageFilter.GaussianBlur(self.s(blur)))
        bbox = mask.getbbox()
        if not bbox or opacity <= 0:
            return
        if isinstance(paint, Image.Image):
            layer = paint.crop(bbox).convert("RGBA")
            alpha = ImageChops.multiply(layer.getchannel("A"), mask.crop(bbox))
        else:
            layer = Image.new("RGBA", (bbox[2] - bbox[0], bbox[3] - bbox[1]), rgb(paint) + (255,))
            alpha = mask.crop(bbox)
        if opacity < 1:
            alpha = alpha.point(lambda v: round(v * opacity))
        layer.putalpha(alpha)
        self.image.alpha_composite(layer, (bbox[0], bbox[1]))

    # shapes -------------------------------------------------------------

    def rect(self, x, y, w, h, paint, radius=0, opacity=1.0, blur=0):
        m = self.mask()
        ImageDraw.Draw(m).rounded_rectangle(self.box(x, y, w, h), radius=self.s(radius), fill=255)
        self.paint(m, paint, opacity, blur)

    def outline(self, x, y, w, h, paint, radius=0, width=1.0, opacity=1.0):
        m = self.mask()
        ImageDraw.Draw(m).rounded_rectangle(self.box(x, y, w, h), radius=self.s(radius), outline=255,
                                            width=max(1, round(self.s(width))))
        self.paint(m, paint, opacity)

    def ellipse(self, cx, cy, rx, ry, paint, opacity=1.0, blur=0):
        m = self.mask()
        ImageDraw.Draw(m).ellipse(self.box(cx - rx, cy - ry, 2 * rx, 2 * ry), fill=255)
        self.paint(m, paint, opacity, blur)

    def ring(self, cx, cy, r, paint, width=1.0, opacity=1.0):
        m = self.mask()
        ImageDraw.Draw(m).ellipse(self.box(cx - r, cy - r, 2 * r, 2 * r), outline=255,
                                  width=max(1, round(self.s(width))))
        self.paint(m, paint, opacity)

    def polygon(self, points, paint, opacity=1.0, blur=0):
        m = self.mask()
        ImageDraw.Draw(m).polygon([(self.s(x), self.s(y)) for x, y in points], fill=255)
        self.paint(m, paint, opacity, blur)

    def line(self, points, paint, width=2.0, opacity=1.0, blur=0, caps=True):
        m = self.mask()
        d = ImageDraw.Draw(m)
        pts = [(self.s(x), self.s(y)) for x, y in points]
        w = max(1, round(self.s(width)))
        d.line(pts, fill=255, width=w, joint="curve")
        if caps:
            for x, y in (pts[0], pts[-1]):
                d.ellipse([x - w / 2, y - w / 2, x + w / 2, y + w / 2], fill=255)
        self.paint(m, paint, opacity, blur)

    def dashes(self, points, paint, width=2.0, dash=8, gap=8, opacity=1.0):
        """A dashed polyline (dash and gap measured along the path)."""
        m = self.mask()
        d = ImageDraw.Draw(m)
        w = max(1, round(self.s(width)))
        carry, on = 0.0, True
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            seg = math.hypot(x1 - x0, y1 - y0)
            pos = 0.0
            while pos < seg:
                step = min((dash if on else gap) - carry, seg - pos)
                if on:
                    a, b = pos / seg, (pos + step) / seg
                    d.line([(self.s(x0 + (x1 - x0) * a), self.s(y0 + (y1 - y0) * a)),
                            (self.s(x0 + (x1 - x0) * b), self.s(y0 + (y1 - y0) * b))], fill=255, width=w)
                pos += step
                carry += step
                if carry >= (dash if on else gap) - 1e-6:
                    carry, on = 0.0, not on
        self.paint(m, paint, opacity)

    def stroke(self, points, widths, paint, opacity=1.0):
        """A brush stroke: discs along the path with the given width at each point."""
        m = self.mask()
        d = ImageDraw.Draw(m)
        for (x0, y0), (x1, y1), w0, w1 in zip(points, points[1:], widths, widths[1:]):
            n = max(1, int(math.hypot(x1 - x0, y1 - y0) / 0.8))
            for k in range(n + 1):
                t = k / n
                x, y, r = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, (w0 + (w1 - w0) * t) / 2
                d.ellipse([self.s(x - r), self.s(y - r), self.s(x + r), self.s(y + r)], fill=255)
        self.paint(m, paint, opacity)

    def text(self, x, y, string, weight, size, paint, anchor="la", opacity=1.0, spacing=0.0):
        m = self.mask()
        d = ImageDraw.Draw(m)
        f = font(weight, self.s(size))
        if spacing:
            # Tracked lettering: one glyph at a time.
            total = sum(d.textlength(c, font=f) for c in string) + self.s(spacing) * (len(string) - 1)
            pos = self.s(x) - (total / 2 if anchor[0] == "m" else total if anchor[0] == "r" else 0)
            for c in string:
                d.text((pos, self.s(y)), c, font=f, fill=255, anchor="l" + anchor[1])
                pos += d.textlength(c, font=f) + self.s(spacing)
        else:
            d.text((self.s(x), self.s(y)), string, font=f, fill=255, anchor=anchor)
        self.paint(m, paint, opacity)

    # paints --------------------------------------------------------------

    def linear(self, x0, y0, x1, y1, stops):
        """An RGBA image of the picture's size holding a linear gradient from
        (x0, y0) to (x1, y1); stops are (position, colour[, alpha])."""
        w, h = self.image.size
        dx, dy = self.s(x1 - x0), self.s(y1 - y0)
        length2 = dx * dx + dy * dy or 1
        # One row of the gradient along its axis, rotated into place by an affine lookup.
        ramp = Image.new("RGBA", (1024, 1))
        for i in range(1024):
            ramp.putpixel((i, 0), sample(stops, i / 1023))
        # For output pixel (u, v): t = ((u - X0) dx + (v - Y0) dy) / length2, ramp index t * 1023.
        k = 1023 / length2
        a, b = dx * k, dy * k
        c = -(self.s(x0) * dx + self.s(y0) * dy) * k
        return ramp.transform((w, h), Image.AFFINE, (a, b, c, 0, 0, 0), resample=Image.BILINEAR)

    def glow(self, cx, cy, rx, ry, colour, opacity):
        """A soft elliptical light: a blurred disc."""
        self.ellipse(cx, cy, rx * 0.55, ry * 0.55, colour, opacity, blur=max(rx, ry) * 0.32)

    def shadow(self, x, y, w, h, radius, opacity=0.55, blur=18, dy=10):
        self.rect(x, y + dy, w, h, "#000000", radius, opacity, blur)

    def result(self):
        return self.image.resize(self.size, Image.LANCZOS)


def sample(stops, t):
    stops = [(p, rgb(c), (s[0] if s else 1.0)) for p, c, *s in stops]
    t = min(max(t, stops[0][0]), stops[-1][0])
    for (p0, c0, a0), (p1, c1, a1) in zip(stops, stops[1:]):
        if t <= p1:
            u = 0 if p1 == p0 else (t - p0) / (p1 - p0)
            return tuple(round(c0[i] + (c1[i] - c0[i]) * u) for i in range(3)) + (round(255 * (a0 + (a1 - a0) * u)),)
    p, c, a = stops[-1]
    return c + (round(255 * a),)


def bezier(p0, p1, p2, p3, n=48):
    pts = []
    for i in range(n + 1):
        t = i / n
        u = 1 - t
        pts.append((u ** 3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t ** 3 * p3[0],
                    u ** 3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t ** 3 * p3[1]))
    return pts


# ---------------------------------------------------------------- shared scene parts

def backdrop(p, accent, cx=None, cy=None):
    """The dark stage every tip sits on: #08080A at the borders (the window fades
    the edges into its own background), a faint light of the accent behind the
    subject, and a dot grid that dies out towards the edges."""
    w, h = p.size
    cx = w / 2 if cx is None else cx
    cy = h * 0.46 if cy is None else cy
    p.glow(cx, cy, w * 0.46, h * 0.42, accent, 0.16)
    p.glow(cx - w * 0.18, cy + h * 0.12, w * 0.3, h * 0.26, "#3045FF", 0.08)
    m = p.mask()
    d = ImageDraw.Draw(m)
    step = 28
    r = p.s(1.1)
    for gy in range(step // 2, h, step):
        for gx in range(step // 2, w, step):
            fx, fy = (gx - cx) / (w * 0.5), (gy - cy) / (h * 0.5)
            fade = max(0.0, 1 - (fx * fx + fy * fy))
            if fade > 0.02:
                v = round(255 * fade * fade)
                d.ellipse([p.s(gx) - r, p.s(gy) - r, p.s(gx) + r, p.s(gy) + r], fill=v)
    p.paint(m, "#FFFFFF", 0.09)


def panel(p, x, y, w, h, radius=16, fill=GREY1, shadow=True, edge=0.08):
    """A floating window-like panel: soft shadow, a fill that darkens downwards,
    a hairline edge that is brighter at the top."""
    if shadow:
        p.shadow(x, y, w, h, radius, 0.6, blur=22, dy=14)
    top = mix(fill, "#FFFFFF", 0.03)
    p.rect(x, y, w, h, p.linear(0, y, 0, y + h, [(0, top), (1, mix(fill, "#000000", 0.18))]), radius)
    m = p.mask()
    ImageDraw.Draw(m).rounded_rectangle(p.box(x, y, w, h), radius=p.s(radius), outline=255,
                                        width=max(1, round(p.s(1))))
    p.paint(m, p.linear(0, y, 0, y + h, [(0, "#FFFFFF", edge * 1.6), (1, "#FFFFFF", edge * 0.4)]))


def bars(p, x, y, widths, height=8, gap=10, colour=GREY3, opacity=1.0):
    """Lines of text suggested by rounded bars."""
    for i, w in enumerate(widths):
        p.rect(x, y + i * (height + gap), w, height, colour, height / 2, opacity)


def handles(p, x, y, w, h, accent):
    """A selection frame with square handles at the corners and edge centres."""
    p.outline(x, y, w, h, accent, 2, 1.6)
    for hx in (x, x + w / 2, x + w):
        for hy in (y, y + h / 2, y + h):
            if hx == x + w / 2 and hy == y + h / 2:
                continue
            p.rect(hx - 5, hy - 5, 10, 10, "#FFFFFF", 2)
            p.outline(hx - 5, hy - 5, 10, 10, accent, 2, 1.4)


def cursor(p, x, y, scale=1.0, colour="#FFFFFF"):
    pts = [(0, 0), (0, 26), (7, 20), (12, 31), (17, 29), (12, 18.5), (21, 18.5)]
    pts = [(x + px * scale, y + py * scale) for px, py in pts]
    p.polygon([(px + 1.5, py + 3) for px, py in pts], "#000000", 0.5, blur=2)
    p.polygon(pts, colour)
    m = p.mask()
    ImageDraw.Draw(m).line([(p.s(px), p.s(py)) for px, py in pts + pts[:1]], fill=255,
                           width=max(1, round(p.s(1.4))))
    p.paint(m, BACKGROUND)


# ---------------------------------------------------------------- tips

def tip_canvas(size, accent):
    """An open canvas: sketches, a picture, notes and a colour card pinned side by
    side on a dotted board, linked by dashed threads, one of them selected."""
    p = Painter(size)
    backdrop(p, accent, cy=318)
    # The board.
    panel(p, 150, 112, 700, 420, radius=22, fill="#0F0F12")
    m = p.mask()
    d = ImageDraw.Draw(m)
    for gy in range(140, 520, 22):
        for gx in range(172, 840, 22):
            d.ellipse([p.s(gx) - 2, p.s(gy) - 2, p.s(gx) + 2, p.s(gy) + 2], fill=255)
    p.paint(m, "#FFFFFF", 0.07)
    # Threads between the cards.
    p.dashes(bezier((352, 236), (420, 236), (420, 330), (470, 330)), accent, 2, 7, 7, 0.65)
    p.dashes(bezier((630, 250), (680, 250), (660, 360), (700, 380)), "#FFFFFF", 2, 7, 7, 0.25)
    p.dashes(bezier((330, 370), (380, 420), (420, 430), (470, 420)), "#FFFFFF", 2, 7, 7, 0.25)
    # A sketch: a loose figure of lines.
    panel(p, 196, 150, 156, 176, radius=14, fill=GREY2)
    p.line(bezier((214, 290), (240, 220), (280, 300), (336, 180)), "#E4E4E7", 3, 0.8)
    p.line(bezier((220, 250), (250, 240), (300, 232), (330, 250)), "#E4E4E7", 2, 0.35)
    p.ellipse(300, 198, 14, 14, "#E4E4E7", 0.0)
    p.ring(300, 196, 15, "#E4E4E7", 2.2, 0.55)
    # Notes.
    panel(p, 198, 350, 150, 118, radius=14, fill=GREY2)
    p.rect(214, 366, 40, 8, accent, 4, 0.9)
    bars(p, 214, 388, [118, 96, 110, 70], height=7, gap=10, colour=GREY4)
    # A picture: hills under a sun, in the accent's light.
    panel(p, 470, 176, 208, 218, radius=16, fill=GREY2)
    sky = p.linear(0, 190, 0, 330, [(0, mix(accent, "#14161D", 0.55)), (1, "#14161D")])
    p.rect(484, 190, 180, 140, sky, 10)
    p.ellipse(610, 228, 18, 18, "#F4F4F5", 0.9)
    p.polygon([(484, 330), (484, 292), (530, 250), (580, 300), (610, 276), (664, 318), (664, 330)],
              mix(accent, "#0B0C10", 0.55))
    p.polygon([(484, 330), (484, 312), (540, 290), (600, 322), (640, 306), (664, 318), (664, 330)],
              mix(accent, "#0B0C10", 0.78))
    bars(p, 486, 346, [120, 80], height=8, gap=10, colour=GREY4)
    handles(p, 470, 176, 208, 218, accent)
    # A colour card.
    panel(p, 702, 318, 118, 150, radius=14, fill=GREY2)
    for i, c in enumerate([accent, "#60A5FA", "#A78BFA", "#F4F4F5"]):
        p.rect(716 + (i % 2) * 48, 334 + (i // 2) * 48, 40, 40, c, 9, 0.92)
    bars(p, 716, 440, [72], height=7, colour=GREY4)
    # Zoom control.
    panel(p, 430, 486, 140, 34, radius=17, fill=GREY2, shadow=False)
    p.line([(450, 503), (462, 503)], "#D4D4D8", 2)
    p.line([(538, 503), (550, 503)], "#D4D4D8", 2)
    p.line([(544, 497), (544, 509)], "#D4D4D8", 2)
    p.text(500, 503, "100%", "SemiBold", 13, "#D4D4D8", anchor="mm")
    cursor(p, 600, 372)
    return p.result()


def tip_layers(size, accent):
    """Layers pulled apart in depth: four sheets, each holding one element, the
    top one selected, beside a small layer list."""
    p = Painter(size)
    w, h = size
    backdrop(p, accent, cx=300, cy=214)

    def sheet(dx, dy, colour, alpha, edge):
        # A sheet seen from above at an angle: a parallelogram.
        pts = [(128 + dx, 232 + dy), (300 + dx, 150 + dy), (468 + dx, 232 + dy), (296 + dx, 314 + dy)]
        p.polygon([(x, y + 14) for x, y in pts], "#000000", 0.45, blur=10)
        p.polygon(pts, colour, alpha)
        m = p.mask()
        ImageDraw.Draw(m).line([(p.s(x), p.s(y)) for x, y in pts + pts[:1]], fill=255,
                               width=max(1, round(p.s(1.5))))
        p.paint(m, edge, 0.9)
        return pts

    def on_sheet(pts, u, v):
        (ax, ay), (bx, by), _, (dx_, dy_) = pts
        return ax + (bx - ax) * u + (dx_ - ax) * v, ay + (by - ay) * u + (dy_ - ay) * v

    # Bottom to top: background gradient, shape, brush line, text.
    s0 = sheet(0, 78, "#15161B", 1, "#2C2C33")
    for i in range(6):
        u = i / 5
        p.line([on_sheet(s0, u, 0.1), on_sheet(s0, u, 0.9)], "#FFFFFF", 1, 0.05, caps=False)
    s1 = sheet(0, 26, mix(accent, "#101218", 0.78), 0.92, mix(accent, "#2C2C33", 0.5))
    p.polygon([on_sheet(s1, 0.28, 0.3), on_sheet(s1, 0.62, 0.3), on_sheet(s1, 0.62, 0.7),
               on_sheet(s1, 0.28, 0.7)], mix(accent, "#FFFFFF", 0.1), 0.85)
    s2 = sheet(0, -26, "#1C1C21", 0.86, "#3A3A42")
    p.line([on_sheet(s2, 0.15 + 0.7 * i / 20, 0.5 + 0.25 * math.sin(i / 20 * 6.28)) for i in range(21)],
           "#E4E4E7", 3.5, 0.85)
    s3 = sheet(0, -78, "#202027", 0.9, accent)
    for k, (v, l) in enumerate([(0.3, 0.55), (0.48, 0.4), (0.66, 0.48)]):
        p.line([on_sheet(s3, 0.2, v), on_sheet(s3, 0.2 + l, v)], "#D4D4D8" if k == 0 else "#71717A", 5)
    # The layer list.
    panel(p, 402, 106, 128, 176, radius=12, fill=GREY2)
    rows = [("#202027", True), ("#1C1C21", False), (mix(accent, "#101218", 0.6), False), ("#15161B", False)]
    for i, (thumb, selected) in enumerate(rows):
        y = 118 + i * 40
        if selected:
            p.rect(410, y, 112, 34, accent, 8, 0.18)
            p.outline(410, y, 112, 34, accent, 8, 1.2, 0.9)
        p.ellipse(424, y + 17, 4, 4, "#D4D4D8" if i != 1 else GREY4)
        p.rect(436, y + 7, 26, 20, thumb, 4)
        p.outline(436, y + 7, 26, 20, "#FFFFFF", 4, 1, 0.15)
        p.rect(470, y + 13, 40 - (i % 2) * 10, 8, "#D4D4D8" if selected else GREY4, 4)
    return p.result()


def tip_brushes(size, accent):
    """Expressive strokes on a canvas, each from a different brush, with the brush
    set and the pressure curve that shaped them."""
    p = Painter(size)
    backdrop(p, accent, cy=290)
    panel(p, 170, 100, 520, 370, radius=20, fill="#111114")
    # Strokes whose width follows a pressure curve.
    path = bezier((220, 360), (320, 160), (420, 420), (640, 190), 80)
    p.stroke(path, [4 + 26 * math.sin(math.pi * i / 80) ** 1.4 for i in range(81)],
             p.linear(220, 0, 640, 0, [(0, mix(accent, "#FFFFFF", 0.35)), (1, accent)]), 0.95)
    path = bezier((250, 420), (360, 330), (470, 450), (600, 380), 60)
    p.stroke(path, [2 + 12 * math.sin(math.pi * i / 60) for i in range(61)], "#F4F4F5", 0.75)
    path = bezier((240, 170), (300, 140), (360, 220), (430, 150), 40)
    p.stroke(path, [3 + 5 * (i / 40) for i in range(41)], "#60A5FA", 0.7)
    # Spatter of a textured brush, placed on a fixed pattern.
    for k in range(26):
        a = k * 2.39996
        r = 10 + 4.2 * k
        p.ellipse(560 + r * math.cos(a) * 0.9, 330 + r * math.sin(a) * 0.55, 2 + (k % 4), 2 + (k % 4),
                  accent, 0.25 + 0.5 * (1 - k / 26))
    # Brush set.
    panel(p, 712, 122, 128, 220, radius=14, fill=GREY2)
    for i in range(4):
        y = 134 + i * 50
        if i == 0:
            p.rect(722, y, 108, 44, accent, 9, 0.18)
            p.outline(722, y, 108, 44, accent, 9, 1.2)
        p.ellipse(746, y + 22, 4 + i * 3, 4 + i * 3, "#F4F4F5" if i == 0 else "#A1A1AA", 0.95)
        p.stroke([(768, y + 26), (790, y + 16), (816, y + 24)], [3, 7 - i, 2], "#D4D4D8", 0.6)
    # Pressure curve.
    panel(p, 712, 358, 128, 104, radius=14, fill=GREY2)
    for gx in range(730, 830, 25):
        p.line([(gx, 372), (gx, 448)], "#FFFFFF", 1, 0.06, caps=False)
    p.line(bezier((726, 446), (770, 446), (780, 376), (826, 374)), accent, 3)
    p.ellipse(772, 412, 6, 6, "#FFFFFF")
    p.ring(772, 412, 6, accent, 2)
    # Size slider along the bottom of the canvas.
    panel(p, 300, 488, 260, 34, radius=17, fill=GREY2, shadow=False)
    p.rect(320, 503, 220, 4, GREY4, 2)
    p.rect(320, 503, 132, 4, accent, 2)
    p.ellipse(452, 505, 9, 9, "#FFFFFF")
    return p.result()


def tip_timeline(size, accent):
    """A motion path with the moving shape's in-between poses above a timeline of
    tracks, keyframes and the playhead."""
    p = Painter(size)
    backdrop(p, accent, cy=250)
    panel(p, 170, 70, 660, 250, radius=18, fill="#0F0F12")
    path = bezier((250, 270), (360, 90), (560, 90), (750, 240), 60)
    p.dashes(path, "#FFFFFF", 2, 6, 8, 0.22)
    for k, t in enumerate([0.0, 0.2, 0.4, 0.6]):
        x, y = path[round(t * 60)]
        p.ellipse(x, y, 22, 22, accent, 0.12 + 0.1 * k)
    x, y = path[48]
    p.glow(x, y, 80, 80, accent, 0.35)
    p.ellipse(x, y, 26, 26, p.linear(x - 26, y - 26, x + 26, y + 26,
                                     [(0, mix(accent, "#FFFFFF", 0.5)), (1, accent)]))
    for t in (0.0, 0.4, 1.0):
        kx, ky = path[round(t * 60)]
        p.polygon([(kx, ky - 7), (kx + 7, ky), (kx, ky + 7), (kx - 7, ky)], "#F4F4F5", 0.8)
    # Timeline.
    panel(p, 150, 338, 700, 176, radius=16, fill=GREY2)
    for i in range(15):
        tx = 290 + i * 38
        p.line([(tx, 352), (tx, 360 if i % 2 else 366)], "#FFFFFF", 1.4, 0.25, caps=False)
    names = [88, 64, 76]
    keys = [(0, 4, 8, 12), (2, 6, 13), (1, 5, 9)]
    for r in range(3):
        y = 384 + r * 40
        p.rect(166, y, 104, 30, "#FFFFFF", 7, 0.04)
        p.rect(178, y + 11, names[r] * 0.9, 8, "#D4D4D8" if r == 0 else GREY4, 4)
        p.rect(286, y + 3, 548, 24, "#FFFFFF", 6, 0.03)
        first, last = keys[r][0], keys[r][-1]
        p.rect(290 + first * 38, y + 12, (last - first) * 38, 6, accent if r == 0 else "#FFFFFF", 3,
               0.35 if r == 0 else 0.08)
        for k in keys[r]:
            kx = 290 + k * 38
            colour = accent if r == 0 else "#A1A1AA"
            p.polygon([(kx, y + 5), (kx + 10, y + 15), (kx, y + 25), (kx - 10, y + 15)], colour)
    # Playhead.
    px = 290 + 9.6 * 38
    p.line([(px, 350), (px, 506)], "#FFFFFF", 2, 0.9, caps=False)
    p.polygon([(px - 8, 346), (px + 8, 346), (px + 8, 356), (px, 364), (px - 8, 356)], "#FFFFFF")
    return p.result()


def hsv(h, s, v):
    i = int(h * 6) % 6
    f = h * 6 - int(h * 6)
    q, t = v * (1 - s * f), v * (1 - s * (1 - f))
    pp = v * (1 - s)
    r, g, b = [(v, t, pp), (q, v, pp), (pp, v, t), (pp, q, v), (t, pp, v), (v, pp, q)][i]
    return "#%02X%02X%02X" % (round(r * 255), round(g * 255), round(b * 255))


def tip_color(size, accent):
    """A shared palette: a hue wheel and its swatches, with one swatch linked to
    the shapes that use it."""
    p = Painter(size)
    backdrop(p, accent, cy=300)
    panel(p, 160, 120, 330, 370, radius=20, fill=GREY1)
    # Hue ring.
    cx, cy, r = 325, 262, 100
    m = p.mask()
    d = ImageDraw.Draw(m)
    ring = Image.new("RGBA", p.image.size, (0, 0, 0, 0))
    rd = ImageDraw.Draw(ring)
    for k in range(120):
        a0, a1 = k * 3, k * 3 + 3.6
        rd.pieslice(p.box(cx - r, cy - r, 2 * r, 2 * r), a0, a1, fill=rgb(hsv(k / 120, 0.62, 0.92)) + (255,))
    d.ellipse(p.box(cx - r, cy - r, 2 * r, 2 * r), fill=255)
    d.ellipse(p.box(cx - r + 22, cy - r + 22, 2 * r - 44, 2 * r - 44), fill=0)
    p.paint(m, ring)
    p.ellipse(cx, cy, 54, 54, p.linear(cx - 54, 0, cx + 54, 0, [(0, "#F4F4F5"), (1, accent)]))
    p.ellipse(cx, cy, 54, 54, p.linear(0, cy - 54, 0, cy + 54, [(0, "#000000", 0), (1, "#000000", 0.85)]))
    # The picked hue on the ring.
    a = math.radians(140)
    hx, hy = cx + (r - 11) * math.cos(a), cy + (r - 11) * math.sin(a)
    p.ellipse(hx, hy, 13, 13, "#000000", 0.5, blur=3)
    p.ellipse(hx, hy, 12, 12, "#FFFFFF")
    p.ellipse(hx, hy, 8, 8, accent)
    # Swatches.
    colours = [accent, "#2AC6FF", "#60A5FA", "#A78BFA", "#F472B6", "#FB923C", "#FACC15", "#F4F4F5"]
    for i, c in enumerate(colours):
        x, y = 190 + (i % 4) * 70, 394 + (i // 4) * 46
        p.rect(x, y, 58, 36, c, 9, 0.95 if i else 1)
        if i == 0:
            p.outline(x - 5, y - 5, 68, 46, "#FFFFFF", 13, 2)
    # Shapes that use the linked swatch.
    links = [(600, 170), (660, 300), (590, 410)]
    for lx, ly in links:
        p.dashes(bezier((252, 388), (330, 330), (lx - 140, ly), (lx - 56, ly)), accent, 2, 6, 7, 0.6)
    panel(p, 544, 128, 120, 84, radius=16, fill=GREY2)
    p.ellipse(604, 170, 28, 28, accent)
    panel(p, 604, 256, 124, 90, radius=16, fill=GREY2)
    p.polygon([(666, 272), (706, 330), (626, 330)], accent)
    panel(p, 534, 368, 130, 84, radius=16, fill=GREY2)
    p.rect(556, 388, 86, 44, accent, 10)
    for lx, ly in links:
        p.ellipse(lx - 56, ly, 6, 6, "#FFFFFF")
        p.ring(lx - 56, ly, 6, accent, 2)
    return p.result()


def tip_nodes(size, accent):
    """An effect chain: source, blur, colour and glow nodes wired into an output
    node whose preview updates."""
    p = Painter(size)
    backdrop(p, accent, cy=290)

    def node(x, y, w, h, title_w, inputs, outputs, hot=False):
        panel(p, x, y, w, h, radius=12, fill=GREY2)
        p.rect(x, y, w, 34, accent if hot else "#FFFFFF", 12, 0.22 if hot else 0.05)
        p.rect(x + 14, y + 13, title_w, 8, "#E4E4E7" if hot else "#A1A1AA", 4)
        ports = []
        for k in range(inputs):
            py = y + 56 + k * 28
            ports.append(("in", x, py))
        for k in range(outputs):
            py = y + 56 + k * 28
            ports.append(("out", x + w, py))
        return ports

    def wire(a, b, colour, opacity=1.0):
        (ax, ay), (bx, by) = a, b
        dx = max(40, (bx - ax) * 0.5)
        p.line(bezier((ax, ay), (ax + dx, ay), (bx - dx, by), (bx, by)), colour, 3, opacity)

    def port(x, y, colour):
        p.ellipse(x, y, 7, 7, BACKGROUND)
        p.ring(x, y, 6, colour, 2.4)

    src = node(120, 150, 150, 130, 60, 0, 1)
    # The source picture: a gradient tile.
    p.rect(134, 196, 82, 70, p.linear(134, 196, 216, 266, [(0, "#60A5FA"), (1, "#1C1C21")]), 8)
    blur = node(330, 112, 150, 118, 48, 1, 1)
    bars(p, 344, 160, [96], height=6, colour=GREY4)
    p.rect(344, 184, 122, 6, GREY4, 3)
    p.rect(344, 184, 70, 6, accent, 3)
    p.ellipse(414, 187, 8, 8, "#FFFFFF")
    tone = node(330, 276, 150, 118, 56, 1, 1)
    for k, c in enumerate(["#F472B6", accent, "#60A5FA"]):
        p.ellipse(356 + k * 30, 340, 11, 11, c)
    merge = node(540, 184, 130, 130, 52, 2, 1, hot=True)
    p.rect(556, 262, 98, 6, GREY4, 3)
    p.rect(556, 262, 60, 6, accent, 3)
    out = node(716, 150, 150, 190, 44, 1, 0)
    # The output preview: the source tile with its new look.
    p.glow(791, 262, 70, 60, accent, 0.4)
    p.rect(732, 196, 118, 128, p.linear(732, 196, 850, 324, [(0, mix(accent, "#FFFFFF", 0.3)),
                                                              (1, mix(accent, "#1C1C21", 0.55))]), 8)
    p.ellipse(776, 244, 18, 18, "#FFFFFF", 0.85, blur=4)
    wires = [((270, 206), (330, 168)), ((270, 206), (330, 332)), ((480, 168), (540, 240)),
             ((480, 332), (540, 268)), ((670, 240), (716, 206))]
    for a, b in wires:
        wire(a, b, accent, 0.9)
    for a, b in wires:
        port(*a, accent)
        port(*b, accent)
    # A pulse travelling along the last wire.
    p.glow(694, 224, 30, 30, "#FFFFFF", 0.5)
    cursor(p, 604, 300, 0.9)
    return p.result()


def tip_export(size, accent):
    """One artwork going out three ways: print, web and a square post, with the
    format chips and the export button."""
    p = Painter(size)
    backdrop(p, accent, cy=290)
    # The artwork.
    panel(p, 170, 116, 250, 330, radius=18, fill=GREY1)
    art = p.linear(190, 136, 400, 400, [(0, mix(accent, "#FFFFFF", 0.25)), (0.55, accent),
                                        (1, "#312E81")])
    p.rect(190, 136, 210, 250, art, 10)
    p.ellipse(330, 206, 34, 34, "#FFFFFF", 0.9)
    p.polygon([(190, 386), (190, 330), (260, 270), (320, 330), (350, 306), (400, 350), (400, 386)],
              "#0B1020", 0.55)
    bars(p, 190, 404, [130, 90], height=8, gap=10, colour=GREY4)
    # Arrows out to the three targets.
    for ty in (176, 296, 406):
        p.line(bezier((430, 280), (490, 280), (490, ty), (548, ty)), accent, 2.5, 0.7)
        p.polygon([(548, ty - 7), (560, ty), (548, ty + 7)], accent, 0.9)
    # Print: a portrait page.
    panel(p, 574, 120, 96, 118, radius=8, fill=GREY2)
    p.rect(586, 132, 72, 62, art, 4)
    bars(p, 586, 204, [60, 40], height=5, gap=7, colour=GREY4)
    # Web: a landscape frame with a browser bar.
    panel(p, 574, 256, 190, 96, radius=10, fill=GREY2)
    for k in range(3):
        p.ellipse(588 + k * 12, 270, 3.5, 3.5, GREY4)
    p.rect(586, 284, 166, 56, art, 5)
    # Post: a square.
    panel(p, 574, 370, 84, 84, radius=10, fill=GREY2)
    p.rect(584, 380, 64, 64, art, 6)
    # Format chips and the export button.
    chips = ["PNG", "JPEG", "PDF", "MP4"]
    x = 690
    for i, label in enumerate(chips):
        w = 62 if len(label) < 4 else 70
        y = 372 + (i // 2) * 40
        cx = 680 + (i % 2) * 76
        if i == 0:
            p.rect(cx, y, w, 30, accent, 15, 0.22)
            p.outline(cx, y, w, 30, accent, 15, 1.4)
        else:
            p.outline(cx, y, w, 30, "#FFFFFF", 15, 1.2, 0.18)
        p.text(cx + w / 2, y + 15, label, "SemiBold", 13, "#F4F4F5" if i == 0 else "#A1A1AA", anchor="mm")
    p.rect(680, 130, 150, 40, "#F4F4F5", 10)
    p.text(755, 150, "Export", "SemiBold", 16, "#09090B", anchor="mm")
    return p.result()


TIP_SCENES = [tip_canvas, tip_layers, tip_brushes, tip_timeline, tip_color, tip_nodes, tip_export]


# ---------------------------------------------------------------- logo, icon, wordmark

def mark(p, x, y, s, snap=False):
    """The Tavo mark inside a square of side `s` at (x, y): a T whose bar floats
    above a stem that narrows like a brush tip."""
    def v(a):
        return round(a) if snap else a
    bar_x, bar_y, bar_w, bar_h = v(x + 0.25 * s), v(y + 0.27 * s), v(0.5 * s), v(0.14 * s)
    stem_w = v(0.14 * s)
    stem_x = x + (s - stem_w) / 2
    stem_top, stem_bottom = v(bar_y + bar_h + 0.05 * s), v(y + 0.76 * s)
    bar_paint = p.linear(bar_x, 0, bar_x + bar_w, 0, [(0, BLUE), (1, CYAN)])
    stem_paint = p.linear(0, stem_top, 0, stem_bottom, [(0, CYAN), (1, MINT)])
    p.glow(x + s / 2, y + s * 0.52, s * 0.42, s * 0.4, CYAN, 0.22)
    p.rect(bar_x, bar_y, bar_w, bar_h, bar_paint, bar_h / 2)
    r = stem_w / 2
    cx = stem_x + r
    # Stem: round top, straight sides to 55 %, then tapering to a rounded point.
    taper = stem_top + (stem_bottom - stem_top) * 0.5
    pts = [(cx - r, stem_top + r), (cx - r, taper)]
    for i in range(1, 21):
        t = i / 20
        pts.append((cx - r * (1 - t) ** 1.2 - 0.06 * s * 0.0, taper + (stem_bottom - taper) * t))
    pts += [(cx + r * (1 - t) ** 1.2, taper + (stem_bottom - taper) * t) for t in [i / 20 for i in range(20, 0, -1)]]
    pts += [(cx + r, taper), (cx + r, stem_top + r)]
    p.polygon(pts, stem_paint)
    p.ellipse(cx, stem_top + r, r, r, stem_paint)


def tile(p, x, y, s):
    """The app-icon tile: a dark rounded square lit from the top and the corners."""
    radius = 0.22 * s
    p.rect(x, y, s, s, p.linear(0, y, 0, y + s, [(0, "#1D2030"), (1, "#0B0C11")]), radius)
    inner = p.mask()
    ImageDraw.Draw(inner).rounded_rectangle(p.box(x, y, s, s), radius=p.s(radius), fill=255)
    glow = Painter(p.size, p.ss, None)
    glow.glow(x + 0.15 * s, y + 0.95 * s, 0.7 * s, 0.6 * s, BLUE, 0.35)
    glow.glow(x + 0.95 * s, y + 0.05 * s, 0.6 * s, 0.5 * s, MINT, 0.16)
    glow.image.putalpha(ImageChops.multiply(glow.image.getchannel("A"), inner))
    p.image.alpha_composite(glow.image)
    edge = p.mask()
    ImageDraw.Draw(edge).rounded_rectangle(p.box(x, y, s, s), radius=p.s(radius), outline=255,
                                           width=max(1, round(p.s(s / 128))))
    p.paint(edge, p.linear(0, y, 0, y + s, [(0, "#FFFFFF", 0.22), (0.5, "#FFFFFF", 0.06),
                                            (1, "#FFFFFF", 0.1)]))


def make_logo(size):
    p = Painter((size, size), ss=4, background=None)
    tile(p, 0, 0, size)
    mark(p, 0, 0, size)
    return p.result()


def make_icon_16():
    """The 16-pixel frame, set pixel by pixel in the design's colours: the tile,
    the bar and the stem on whole pixels so that the T stays sharp."""
    im = Image.new("RGBA", (16, 16), (0, 0, 0, 0))
    p = Painter((16, 16), ss=8, background=None)
    p.rect(0, 0, 16, 16, p.linear(0, 0, 0, 16, [(0, "#1F2333"), (1, "#0D0E14")]), 3.5)
    im = p.result()
    px = im.load()
    for x in range(4, 12):
        for y in (4, 5):
            px[x, y] = mix(BLUE, CYAN, (x - 4) / 7) + (255,)
    for y in range(7, 13):
        c = mix(CYAN, MINT, (y - 7) / 5) + (255,)
        if y < 11:
            px[7, y] = c
            px[8, y] = c
        elif y == 11:
            px[7, y] = c[:3] + (255,)
            px[8, y] = c[:3] + (150,)
            px[8, y] = mix(c[:3], "#0E0F15", 0.45) + (255,)
        else:
            px[7, y] = mix(c[:3], "#0E0F15", 0.5) + (255,)
    return im


def make_icon_frame(size):
    p = Painter((size, size), ss=8, background=None)
    tile(p, 0, 0, size)
    mark(p, 0, 0, size, snap=True)
    return p.result()


def make_wordmark():
    """The Tavo Studio lockup for the window's top-left corner (drawn 54 x 18):
    the tile with its mark, then the name, "Tavo" in white and "Studio" in a
    lighter grey, loosely tracked so it stays readable small."""
    w, h = 480, 160
    p = Painter((w, h), ss=4, background=None)
    s = 112
    ty = (h - s) / 2
    tile(p, 2, ty, s)
    mark(p, 2, ty, s)
    track, gap = 2.0, 16
    x = 2 + s + 22
    d = ImageDraw.Draw(Image.new("L", (1, 1)))

    def width(word, weight, size):
        return d.textlength(word, font=font(weight, size * p.ss)) / p.ss + track * (len(word) - 1)

    # The largest whole size at which the name fills the rest of the picture.
    size = 80
    while x + width("Tavo", "Bold", size) + gap + width("Studio", "SemiBold", size) > w - 2:
        size -= 1
    tavo = width("Tavo", "Bold", size)
    p.text(x, h / 2 + 1, "Tavo", "Bold", size, "#FFFFFF", anchor="lm", spacing=track)
    p.text(x + tavo + gap, h / 2 + 1, "Studio", "SemiBold", size, "#B8B8C2", anchor="lm", spacing=track)
    return p.result()


# ---------------------------------------------------------------- files

def png_bytes(image, palette=False):
    out = io.BytesIO()
    if palette:
        image = image.quantize(256, method=Image.Quantize.FASTOCTREE, dither=Image.Dither.NONE)
    image.save(out, "PNG", optimize=True)
    return out.getvalue()


def jpeg_bytes(image):
    out = io.BytesIO()
    image.convert("RGB").save(out, "JPEG", quality=JPEG_QUALITY, optimize=True, subsampling="4:2:0")
    return out.getvalue()


def ico_bytes(frames):
    """An icon file whose images are PNG streams (Windows Vista and later read
    them at every size); the resource compiler turns it into the icon group."""
    header = struct.pack("<HHH", 0, 1, len(frames))
    offset = 6 + 16 * len(frames)
    entries, data = b"", b""
    for size, png in frames:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(png), offset + len(data))
        data += png
    return header + entries + data


def write(path, data, written):
    with open(path, "wb") as f:
        f.write(data)
    written.append((path, len(data)))


def check_size(name, data, expected):
    actual = Image.open(io.BytesIO(data)).size
    if actual != expected:
        sys.exit("%s: %dx%d, expected %dx%d" % ((name,) + actual + expected))


def main():
    written = []
    wordmark = png_bytes(make_wordmark())
    check_size("wordmark.png", wordmark, (480, 160))
    write(os.path.join(HERE, "wordmark.png"), wordmark, written)
    logo = png_bytes(make_logo(256))
    check_size("logo.png", logo, (256, 256))
    write(os.path.join(HERE, "logo.png"), logo, written)
    for (name, size, accent), scene in zip(TIPS, TIP_SCENES):
        data = jpeg_bytes(scene(size, accent))
        check_size(name, data, size)
        write(os.path.join(HERE, name), data, written)
    frames = [(16, png_bytes(make_icon_16()))] + [(s, png_bytes(make_icon_frame(s))) for s in (32, 48, 64)]
    for size, png in frames:
        check_size("icon frame", png, (size, size))
    os.makedirs(os.path.dirname(ICON_FILE), exist_ok=True)
    write(ICON_FILE, ico_bytes(frames), written)

    total = 0
    for path, length in written:
        total += length
        print("%-28s %7d bytes" % (os.path.relpath(path, os.path.dirname(RESOURCES)), length))
    print("%-28s %7d bytes (budget %d)" % ("total", total, BUDGET))
    if total >= BUDGET:
        sys.exit("the pictures and icon take %d bytes, over the budget of %d" % (total, BUDGET))


if __name__ == "__main__":
    main()
