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
import shutil
import struct
import subprocess
import sys
import tempfile

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

    def result(self, zoom=1.0, centre=None):
        """The picture at its size; `zoom` above 1 enlarges the part around
        `centre` (picture pixels) to fill it."""
        if zoom == 1.0:
            return self.image.resize(self.size, Image.LANCZOS)
        cx, cy = centre or (self.size[0] / 2, self.size[1] / 2)
        w, h = self.size[0] / zoom, self.size[1] / zoom
        box = tuple(round(self.s(v)) for v in (cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2))
        return self.image.resize(self.size, Image.LANCZOS, box=box)


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


def artwork(p, x, y, w, h, accent, radius=8):
    """The sample artwork that several tips show: hills under a sun in a sky lit
    by the accent."""
    sky = p.linear(x, y, x + w * 0.4, y + h, [(0, mix(accent, "#FFFFFF", 0.3)), (0.6, accent),
                                            (1, mix(accent, "#1E1B4B", 0.7))])
    p.rect(x, y, w, h, sky, radius)
    p.ellipse(x + w * 0.68, y + h * 0.3, min(w, h) * 0.14, min(w, h) * 0.14, "#FFFFFF", 0.92)
    m = p.mask()
    d = ImageDraw.Draw(m)
    d.rounded_rectangle(p.box(x, y, w, h), radius=p.s(radius), fill=255)
    hills = Image.new("L", m.size, 0)
    ImageDraw.Draw(hills).polygon([(p.s(x + w * u), p.s(y + h * v)) for u, v in
                                   [(0, 1), (0, 0.78), (0.32, 0.52), (0.58, 0.76), (0.74, 0.64), (1, 0.84), (1, 1)]],
                                  fill=255)
    p.paint(ImageChops.multiply(m, hills), "#0B1020", 0.6)


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
    # A sketch: a box in perspective, drawn in loose pencil lines, and its shadow.
    panel(p, 196, 150, 156, 176, radius=14, fill=GREY2)
    front = [(232, 222), (292, 206), (316, 236), (256, 254)]
    lift = 52
    top = [(x, y - lift) for x, y in front]
    p.polygon([(236, 262), (318, 240), (336, 256), (254, 282)], "#000000", 0.35, blur=4)
    for a_, b_ in zip(front, front[1:] + front[:1]):
        p.line([a_, b_], "#E4E4E7", 2.2, 0.8)
    for a_, b_ in zip(top, top[1:] + top[:1]):
        p.line([a_, b_], "#E4E4E7", 2.2, 0.8)
    for a_, b_ in zip(front, top):
        p.line([a_, b_], "#E4E4E7", 2.2, 0.8)
    # Construction lines running past the corners, as a quick sketch has.
    p.line([(214, 260), (334, 228)], "#E4E4E7", 1.2, 0.3)
    p.line([(224, 178), (328, 150)], "#E4E4E7", 1.2, 0.3)
    for k in range(5):
        x0 = 262 + k * 10
        p.line([(x0, 252 - k * 2.6), (x0 + 14, 270 - k * 3)], "#E4E4E7", 1.2, 0.35)
    # Notes.
    panel(p, 198, 350, 150, 118, radius=14, fill=GREY2)
    p.rect(214, 366, 40, 8, accent, 4, 0.9)
    bars(p, 214, 388, [118, 96, 110, 70], height=7, gap=10, colour=GREY4)
    # A picture: hills under a sun, in the accent's light.
    panel(p, 470, 176, 208, 218, radius=16, fill=GREY2)
    artwork(p, 484, 190, 180, 140, accent, 10)
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
    """Layers pulled apart in depth: a backdrop, a shape, a brush line and a line
    of text, each on its own sheet, beside the layer list with the top one
    selected."""
    p = Painter(size)
    backdrop(p, accent, cx=292, cy=214)
    cx, cy, hw, hh, step = 236, 222, 142, 66, 50

    def corners(dy):
        return [(cx - hw, cy + dy), (cx, cy + dy - hh), (cx + hw, cy + dy), (cx, cy + dy + hh)]

    def at(dy, u, v):
        # A point of a sheet: u runs along its upper-right edge, v along its upper-left one.
        (lx, ly), (tx, ty), _, (bx, by) = corners(dy)
        return lx + (tx - lx) * u + (bx - lx) * v, ly + (ty - ly) * u + (by - ly) * v

    def sheet(dy, fill, opacity, edge, edge_opacity):
        pts = corners(dy)
        p.polygon([(x, y + 16) for x, y in pts], "#000000", 0.5, blur=12)
        p.polygon(pts, fill, opacity)
        m = p.mask()
        ImageDraw.Draw(m).line([(p.s(x), p.s(y)) for x, y in pts + pts[:1]], fill=255,
                               width=max(1, round(p.s(1.6))))
        p.paint(m, edge, edge_opacity)

    # Bottom to top.
    dy = 1.5 * step
    sheet(dy, p.linear(cx - hw, 0, cx + hw, 0, [(0, mix(accent, "#0B0C12", 0.72)), (1, "#15161C")]), 1,
          "#FFFFFF", 0.12)
    for i in range(1, 6):
        p.line([at(dy, i / 6, 0.04), at(dy, i / 6, 0.96)], "#FFFFFF", 1, 0.06, caps=False)
    dy = 0.5 * step
    sheet(dy, "#17171C", 0.82, "#FFFFFF", 0.14)
    circle = [at(dy, 0.5 + 0.3 * math.cos(a / 40 * 6.2832), 0.5 + 0.3 * math.sin(a / 40 * 6.2832)) for a in range(40)]
    p.polygon(circle, p.linear(cx - 60, cy, cx + 60, cy, [(0, mix(accent, "#FFFFFF", 0.25)), (1, accent)]), 0.95)
    dy = -0.5 * step
    sheet(dy, "#1A1A20", 0.8, "#FFFFFF", 0.14)
    p.line([at(dy, 0.12 + 0.76 * i / 30, 0.58 + 0.2 * math.sin(i / 30 * 6.2832)) for i in range(31)],
           "#F4F4F5", 4, 0.9)
    dy = -1.5 * step
    p.glow(cx, cy + dy, hw * 1.1, hh * 1.1, accent, 0.22)
    sheet(dy, "#1E1E25", 0.86, accent, 1)
    for k, (v, length) in enumerate([(0.26, 0.56), (0.42, 0.4), (0.58, 0.48)]):
        p.line([at(dy, 0.22, v), at(dy, 0.22 + length, v)], "#E4E4E7" if k == 0 else "#71717A", 5)
    # The layer list.
    panel(p, 392, 110, 122, 182, radius=12, fill=GREY2)
    thumbs = ["#1E1E25", "#1A1A20", accent, mix(accent, "#0B0C12", 0.72)]
    for i, thumb in enumerate(thumbs):
        y = 122 + i * 41
        if i == 0:
            p.rect(400, y, 106, 35, accent, 8, 0.2)
            p.outline(400, y, 106, 35, accent, 8, 1.3)
        p.ellipse(414, y + 17.5, 4, 4, "#D4D4D8")
        p.rect(426, y + 7, 28, 21, thumb, 4)
        p.outline(426, y + 7, 28, 21, "#FFFFFF", 4, 1, 0.16)
        p.rect(462, y + 13.5, 34 - (i % 2) * 10, 8, "#E4E4E7" if i == 0 else GREY4, 4)
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
        p.ellipse(742, y + 22, 3 + i * 2.5, 3 + i * 2.5, "#F4F4F5" if i == 0 else "#A1A1AA", 0.95)
        # A sample of the brush's stroke.
        sample_path = bezier((764, y + 28), (780, y + 8), (798, y + 36), (820, y + 16), 24)
        widths = [(1.5 + (3 + 2 * i) * math.sin(math.pi * k / 24)) for k in range(25)]
        p.stroke(sample_path, widths, accent if i == 0 else "#D4D4D8", 0.95 if i == 0 else 0.55)
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
    colours = ["#2AC6FF", "#60A5FA", "#A78BFA", accent, "#F472B6", "#FB923C", "#FACC15", "#F4F4F5"]
    for i, c in enumerate(colours):
        x, y = 190 + (i % 4) * 70, 394 + (i // 4) * 46
        p.rect(x, y, 58, 36, c, 9, 1 if c == accent else 0.95)
        if c == accent:
            p.outline(x - 5, y - 5, 68, 46, "#FFFFFF", 13, 2)
    # Shapes that use the selected swatch, linked from its edge.
    links = [(600, 170), (660, 300), (590, 410)]
    for lx, ly in links:
        p.dashes(bezier((470, 412), (540, 412), (lx - 130, ly), (lx - 56, ly)), accent, 2, 6, 7, 0.6)
    p.ellipse(470, 412, 5, 5, accent)
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
    """An effect chain: a source picture wired through a blur node and a colour
    node into the output, whose preview shows the new look."""
    p = Painter(size)
    backdrop(p, accent, cy=300)

    def node(x, y, w, h, title_w, hot=False):
        panel(p, x, y, w, h, radius=12, fill=GREY2)
        p.rect(x, y, w, 34, accent if hot else "#FFFFFF", 12, 0.22 if hot else 0.05)
        p.rect(x + 14, y + 13, title_w, 8, "#E4E4E7" if hot else "#A1A1AA", 4)

    def wire(a, b):
        (ax, ay), (bx, by) = a, b
        dx = max(36, (bx - ax) * 0.5)
        p.line(bezier((ax, ay), (ax + dx, ay), (bx - dx, by), (bx, by)), accent, 3, 0.9)

    def port(x, y):
        p.ellipse(x, y, 7, 7, BACKGROUND)
        p.ring(x, y, 6, accent, 2.4)

    # Source.
    node(150, 236, 132, 128, 56)
    p.rect(164, 280, 104, 70, p.linear(164, 280, 268, 350, [(0, "#60A5FA"), (1, "#1C1C21")]), 8)
    p.ellipse(236, 302, 10, 10, "#FFFFFF", 0.8)
    # Blur.
    node(350, 168, 144, 120, 44, hot=True)
    bars(p, 364, 216, [92], height=6, colour=GREY4)
    p.rect(364, 244, 116, 6, GREY4, 3)
    p.rect(364, 244, 70, 6, accent, 3)
    p.ellipse(434, 247, 8, 8, "#FFFFFF")
    # Colour.
    node(350, 318, 144, 120, 56)
    bars(p, 364, 366, [80], height=6, colour=GREY4)
    for k, c in enumerate(["#F472B6", accent, "#60A5FA"]):
        p.ellipse(378 + k * 28, 406, 10, 10, c)
    # Output with its preview.
    node(566, 200, 160, 200, 48)
    p.glow(646, 312, 80, 70, accent, 0.45)
    art = p.linear(580, 244, 712, 386, [(0, mix(accent, "#FFFFFF", 0.35)), (1, mix(accent, "#1C1C21", 0.6))])
    p.rect(580, 244, 132, 142, art, 8)
    p.ellipse(652, 290, 20, 20, "#FFFFFF", 0.85, blur=5)
    wires = [((282, 300), (350, 228)), ((282, 300), (350, 378)), ((494, 228), (566, 270)),
             ((494, 378), (566, 330))]
    for a, b in wires:
        wire(a, b)
    for a, b in wires:
        port(*a)
        port(*b)
    # A change travelling down the chain.
    p.glow(530, 249, 34, 34, "#FFFFFF", 0.45)
    p.ellipse(530, 249, 4, 4, "#FFFFFF")
    cursor(p, 440, 254, 0.9)
    return p.result(zoom=1.12, centre=(438, 306))


def tip_export(size, accent):
    """One artwork and the export sheet: three presets (print, web, square post)
    showing it at their own shape, the formats and the export button."""
    p = Painter(size)
    backdrop(p, accent, cy=288)
    # The artwork.
    panel(p, 176, 130, 226, 300, radius=18, fill=GREY1)
    artwork(p, 194, 148, 190, 228, accent, 10)
    bars(p, 194, 392, [120, 80], height=8, gap=10, colour=GREY4)
    p.line(bezier((414, 280), (440, 280), (440, 280), (466, 280)), accent, 3, 0.8)
    p.polygon([(464, 271), (478, 280), (464, 289)], accent, 0.9)
    # The export sheet.
    panel(p, 490, 118, 340, 330, radius=18, fill=GREY1)
    bars(p, 512, 140, [96], height=9, colour="#D4D4D8")
    presets = [(512, 174, 84, 110), (610, 174, 120, 76), (744, 174, 66, 66)]
    for i, (x, y, w, h) in enumerate(presets):
        if i == 1:
            p.rect(x - 6, y - 6, w + 12, h + 12, accent, 12, 0.14)
            p.outline(x - 6, y - 6, w + 12, h + 12, accent, 12, 1.6)
        artwork(p, x, y, w, h, accent, 6)
        p.rect(x, 298, w * 0.6, 7, "#E4E4E7" if i == 1 else GREY4, 3.5)
    chips = ["PNG", "JPEG", "PDF", "MP4"]
    x = 512
    for i, label in enumerate(chips):
        w = 66 if len(label) == 4 else 58
        if i == 0:
            p.rect(x, 324, w, 30, accent, 15, 0.2)
            p.outline(x, 324, w, 30, accent, 15, 1.4)
        else:
            p.outline(x, 324, w, 30, "#FFFFFF", 15, 1.2, 0.18)
        p.text(x + w / 2, 339, label, "SemiBold", 13, "#F4F4F5" if i == 0 else "#A1A1AA", anchor="mm")
        x += w + 10
    p.glow(660, 400, 170, 30, "#FFFFFF", 0.08)
    p.rect(512, 378, 296, 44, "#F4F4F5", 11)
    p.text(660, 400, "Export", "SemiBold", 16, "#09090B", anchor="mm")
    return p.result()


def settle_edges(image, margin=0.07):
    """Blends the outer `margin` of a tip picture into the window's background,
    so that the picture has no visible border even where the window's edge fade
    is not drawn (some renderers draw the fade masks as solid shapes)."""
    w, h = image.size

    def ramp(n):
        edge = max(1, round(n * margin))
        values = []
        for i in range(n):
            t = min(1.0, min(i, n - 1 - i) / edge)
            values.append(round(255 * t * t * (3 - 2 * t)))
        return values

    across = Image.new("L", (w, 1))
    across.putdata(ramp(w))
    down = Image.new("L", (1, h))
    down.putdata(ramp(h))
    mask = ImageChops.multiply(across.resize((w, h)), down.resize((w, h)))
    return Image.composite(image.convert("RGB"), Image.new("RGB", (w, h), rgb(BACKGROUND)), mask)


TIP_SCENES = [tip_canvas, tip_layers, tip_brushes, tip_timeline, tip_color, tip_nodes, tip_export]


# ---------------------------------------------------------------- logo, icon, wordmark

def mark(p, x, y, s, snap=False, glow=True):
    """The Tavo mark inside a square of side `s` at (x, y): a T whose bar floats
    above a stem that ends in a brush tip, swept slightly to the left."""
    def v(a):
        return round(a) if snap else a
    bar_x, bar_y, bar_w, bar_h = v(x + 0.24 * s), v(y + 0.25 * s), v(0.52 * s), v(0.14 * s)
    stem_w = v(0.16 * s)
    stem_x = x + (s - stem_w) / 2
    stem_top, stem_bottom = v(bar_y + bar_h + 0.055 * s), y + 0.79 * s
    bar_paint = p.linear(bar_x, 0, bar_x + bar_w, 0, [(0, BLUE), (1, CYAN)])
    stem_paint = p.linear(0, stem_top, 0, stem_bottom, [(0, CYAN), (1, MINT)])
    if glow:
        p.glow(x + s / 2, y + s * 0.5, s * 0.42, s * 0.4, CYAN, 0.2)
    p.rect(bar_x, bar_y, bar_w, bar_h, bar_paint, bar_h / 2)
    r = stem_w / 2
    cx = stem_x + r
    taper = stem_top + (stem_bottom - stem_top) * 0.42
    tip_x, tip_r = cx - 0.3 * r, 0.16 * r
    p.rect(stem_x, stem_top, stem_w, taper - stem_top, stem_paint, 0.45 * r)
    p.rect(stem_x, taper - r, stem_w, r + 0.5, stem_paint)
    steps = [i / 32 for i in range(33)]
    left = [(cx - r + (tip_x - tip_r - cx + r) * t ** 1.5, taper + (stem_bottom - tip_r - taper) * t) for t in steps]
    right = [(cx + r + (tip_x + tip_r - cx - r) * t ** 2.1, taper + (stem_bottom - tip_r - taper) * t)
             for t in steps]
    p.polygon(left + right[::-1], stem_paint)
    p.ellipse(tip_x, stem_bottom - tip_r, tip_r, tip_r, stem_paint)


def tile(p, x, y, s, lighter=False):
    """The app-icon tile: a dark rounded square lit from the top and the corners
    (`lighter` lifts it off the window's own near-black background)."""
    radius = 0.22 * s
    top, bottom = ("#262A3D", "#14161F") if lighter else ("#1D2030", "#0B0C11")
    p.rect(x, y, s, s, p.linear(0, y, 0, y + s, [(0, top), (1, bottom)]), radius)
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
    """The 16-pixel frame, simplified by hand: a lighter tile (a taskbar is often
    dark), and the bar and the stem set on whole pixels so the T stays sharp;
    the brush tip is the stem's last two rows, shaded off to the left."""
    p = Painter((16, 16), ss=8, background=None)
    p.rect(0, 0, 16, 16, p.linear(0, 0, 0, 16, [(0, "#2A2F44"), (1, "#12141C")]), 3.5)
    im = p.result()
    px = im.load()

    def shade(colour, x, y, amount):
        # Blends the design colour into the tile pixel beneath it.
        return mix(colour, px[x, y][:3], amount) + (255,)

    for x in range(4, 12):
        for y in (4, 5):
            px[x, y] = mix(BLUE, CYAN, (x - 4) / 7) + (255,)
    for y in range(7, 13):
        colour = mix(CYAN, MINT, (y - 7) / 5)
        if y <= 10:
            px[7, y] = px[8, y] = colour + (255,)
        elif y == 11:
            px[7, y] = colour + (255,)
            px[8, y] = shade(colour, 8, y, 0.45)
        else:
            px[7, y] = shade(colour, 7, y, 0.4)
    return im


def make_icon_frame(size):
    p = Painter((size, size), ss=8, background=None)
    tile(p, 0, 0, size)
    mark(p, 0, 0, size, snap=True)
    return p.result()


def make_wordmark():
    """The Tavo Studio lockup for the window's top-left corner, drawn 54 x 18:
    the app tile with its mark, then the name, "Tavo" in white and "Studio" in
    a light grey, loosely tracked so it stays readable small. The tile is
    centred on the capitals."""
    w, h = 480, 160
    p = Painter((w, h), ss=4, background=None)
    track, gap = 2.5, 18
    d = ImageDraw.Draw(Image.new("L", (1, 1)))

    def width(word, weight, size):
        return d.textlength(word, font=font(weight, size * p.ss)) / p.ss + track * (len(word) - 1)

    # The largest whole size at which everything fits.
    size = 90
    while True:
        cap = 0.727 * size
        s = min(cap * 1.9, h - 8)
        x = 3 + s + 0.42 * cap
        if x + width("Tavo", "Bold", size) + gap + width("Studio", "SemiBold", size) <= w - 3:
            break
        size -= 1
    baseline = (h + cap) / 2
    tile(p, 3, (h - s) / 2, s, lighter=True)
    mark(p, 3, (h - s) / 2, s)
    tavo = width("Tavo", "Bold", size)
    p.text(x, baseline, "Tavo", "Bold", size, "#FFFFFF", anchor="ls", spacing=track)
    p.text(x + tavo + gap, baseline, "Studio", "SemiBold", size, "#B8B8C2", anchor="ls", spacing=track)
    return p.result()


# ---------------------------------------------------------------- files

def png_bytes(image):
    # Full RGBA: a palette would band the soft glows and the antialiased edges.
    out = io.BytesIO()
    image.save(out, "PNG", optimize=True)
    return smaller_png(out.getvalue())


def smaller_png(data):
    """The same pixels, deflated again by zopflipng (Debian's zopfli) when it
    is there: about a tenth smaller than Pillow's best."""
    tool = shutil.which("zopflipng")
    if not tool:
        return data
    with tempfile.TemporaryDirectory() as folder:
        source, target = os.path.join(folder, "in.png"), os.path.join(folder, "out.png")
        with open(source, "wb") as f:
            f.write(data)
        subprocess.run([tool, "-y", "-m", source, target], check=True, stdout=subprocess.DEVNULL)
        with open(target, "rb") as f:
            smaller = f.read()
    return smaller if len(smaller) < len(data) else data


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
        data = jpeg_bytes(settle_edges(scene(size, accent)))
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
