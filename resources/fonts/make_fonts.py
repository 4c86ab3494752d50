#!/usr/bin/python3
"""Regenerates the launcher's four embedded fonts (resources 221-224) from
Debian's fonts-inter (OTF/CFF) with fontTools (python3-fonttools):

  /usr/bin/python3 resources/fonts/make_fonts.py [SOURCE_DIR]

Each weight is subset to fixed Unicode ranges (not to the texts of the day, so
new copy never lacks a glyph), keeps the default layout features plus `tnum`
(tabular figures for the progress percentage; the subsetter drops it unless
asked), converted from cubic CFF outlines to quadratic TrueType outlines, and
renamed to the family "Tavo Inter" so that it can never be confused with an
installed Inter. The output is reproducible: timestamps are kept from the source.
"""

import os
import sys

from fontTools import subset
from fontTools.pens.cu2quPen import Cu2QuPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable

SOURCE_DIR = "/usr/share/fonts/opentype/inter"
OUT_DIR = os.path.dirname(os.path.abspath(__file__))
FAMILY = "Tavo Inter"
POSTSCRIPT_FAMILY = "TavoInter"

# Source style, output file; the resource id order 221-224 is Regular, Medium, SemiBold, Bold.
WEIGHTS = [("Regular", 400), ("Medium", 500), ("SemiBold", 600), ("Bold", 700)]

UNICODES = (
    list(range(0x0020, 0x007F))      # Basic Latin
    + list(range(0x00A0, 0x0100))    # Latin-1 Supplement (with U+00A0 no-break space)
    + list(range(0x0100, 0x0180))    # Latin Extended-A (Polish, Turkish)
    + list(range(0x0400, 0x0460))    # Cyrillic: Russian and its neighbours
    + list(range(0x2000, 0x2070))    # General Punctuation (with U+2026 ellipsis)
    + [0x2197]                       # north-east arrow of the "open in browser" links
)

# Name records that carry the family name; 3 (unique id) carries it too.
FAMILY_NAME_IDS = (1, 3, 4, 16, 21)
POSTSCRIPT_NAME_ID = 6


def subset_font(font):
    options = subset.Options()
    options.layout_features = list(options.layout_features) + ["tnum", "kern"]
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.notdef_outline = True
    options.glyph_names = False
    subsetter = subset.Subsetter(options=options)
    subsetter.populate(unicodes=UNICODES)
    subsetter.subset(font)


def to_truetype(font):
    """Replaces the CFF outlines by quadratic glyf outlines (max error 1 unit)."""
    order = font.getGlyphOrder()
    glyph_set = font.getGlyphSet()
    glyphs = {}
    for name in order:
        pen = TTGlyphPen(glyph_set)
        # CFF contours run counter-clockwise, TrueType ones clockwise.
        glyph_set[name].draw(Cu2QuPen(pen, 1.0, reverse_direction=True))
        glyphs[name] = pen.glyph()
    font["loca"] = newTable("loca")
    glyf = font["glyf"] = newTable("glyf")
    glyf.glyphOrder = order
    glyf.glyphs = glyphs
    del font["CFF "]
    if "VORG" in font:
        del font["VORG"]
    glyf.compile(font)
    hmtx = font["hmtx"]
    for name, glyph in glyf.glyphs.items():
        if hasattr(glyph, "xMin"):
            hmtx[name] = (hmtx[name][0], glyph.xMin)
    maxp = font["maxp"] = newTable("maxp")
    maxp.tableVersion = 0x00010000
    maxp.maxZones = 1
    for field in ("maxTwilightPoints", "maxStorage", "maxFunctionDefs", "maxInstructionDefs",
                  "maxStackElements", "maxSizeOfInstructions"):
        setattr(maxp, field, 0)
    maxp.maxComponentElements = max(
        (len(getattr(g, "components", [])) for g in glyf.glyphs.values()), default=0)
    maxp.compile(font)
    post = font["post"]
    post.formatType = 3.0  # no glyph names: smaller, and nothing reads them
    font["head"].glyphDataFormat = 0
    font.sfntVersion = "\x00\x01\x00\x00"


def rename(font):
    for record in font["name"].names:
        text = record.toUnicode()
        if record.nameID in FAMILY_NAME_IDS and text.startswith("Inter"):
            record.string = FAMILY + text[len("Inter"):]
        elif record.nameID == POSTSCRIPT_NAME_ID and text.startswith("Inter"):
            record.string = POSTSCRIPT_FAMILY + text[len("Inter"):]
    if "CFF " in font:
        font["CFF "].cff.fontNames = [POSTSCRIPT_FAMILY]


def main():
    source_dir = sys.argv[1] if len(sys.argv) > 1 else SOURCE_DIR
    for style, weight in WEIGHTS:
        font = TTFont(os.path.join(source_dir, "Inter-%s.otf" % style), recalcTimestamp=False)
        if font["OS/2"].usWeightClass != weight:
            sys.exit("Inter-%s.otf: weight %d, expected %d" % (style, font["OS/2"].usWeightClass, weight))
        subset_font(font)
        to_truetype(font)
        rename(font)
        out = os.path.join(OUT_DIR, "TavoInter-%s.ttf" % style)
        font.save(out)
        print("%s: %d glyphs, %d bytes" % (out, len(font.getGlyphOrder()), os.path.getsize(out)))


if __name__ == "__main__":
    main()
