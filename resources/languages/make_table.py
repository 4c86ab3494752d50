#!/usr/bin/env python3
"""Writes the text table the launcher carries (packed by resources/pack.py):
the English texts of texts.json and, for each language, its texts in the same
order, so that the launcher can look a text up by its English.

Layout, all text UTF-8, each string ended by a NUL byte:
  "TVT1", the text count and the language count (32-bit little-endian each),
  the English texts, then per language its tag and its texts (an empty string
  for a text it lacks: that text shows in English).

With --pseudo the table also carries "qps-ploc", the pseudo-language of test
builds: every text accented and 40 % longer, its placeholders and line breaks
kept, to show what a longer language does to each screen.

usage: make_table.py [--pseudo] TABLE"""

import json
import pathlib
import re
import struct
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from shipped_languages import PSEUDO, SHIPPED as LANGUAGES  # noqa: E402
# Wine's line breaking finds no break before some letters (Ý, ŕ): the
# pseudo-language leaves r and y plain, so that it measures as Windows would.
ACCENTS = str.maketrans("aceinosuzACEINOSUZ", "àçéîñöšüžÀÇÉÎÑÖŠÜŽ")
PLACEHOLDER = re.compile(r"(\{[a-z_]+\})")


def pseudo(text):
    # Accents outside the placeholders; then 40 % more at the end of each
    # line, as words of middle dots (a line can break between them, as it can
    # in a real language), so that a cut text shows its missing end.
    lines = []
    for line in text.split("\n"):
        parts = PLACEHOLDER.split(line)
        accented = "".join(p if PLACEHOLDER.fullmatch(p) else p.translate(ACCENTS) for p in parts)
        grow = (len(line) * 2 + 4) // 5 if line else 0
        padding = " ".join("\u00b7" * min(5, grow - i) for i in range(0, grow, 6))
        lines.append(accented + (" " + padding if grow else ""))
    return "\n".join(lines)


def table(with_pseudo):
    texts = json.loads((HERE / "texts.json").read_text(encoding="utf-8"))["texts"]
    english = [t["en"] for t in texts]
    ids = [t["id"] for t in texts]
    languages = []
    for tag in LANGUAGES:
        data = json.loads((HERE / f"{tag}.json").read_text(encoding="utf-8"))
        languages.append((tag, [data.get(i, "") for i in ids]))
    if with_pseudo:
        languages.append((PSEUDO, [pseudo(e) for e in english]))
    out = bytearray(b"TVT1" + struct.pack("<II", len(english), len(languages)))
    for s in english:
        out += s.encode("utf-8") + b"\0"
    for tag, values in languages:
        out += tag.encode("ascii") + b"\0"
        for s in values:
            if "\0" in s:
                raise ValueError(f"{tag}: a text holds a NUL character")
            out += s.encode("utf-8") + b"\0"
    return bytes(out)


def main(argv):
    with_pseudo = "--pseudo" in argv
    paths = [a for a in argv if a != "--pseudo"]
    if len(paths) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    pathlib.Path(paths[0]).write_bytes(table(with_pseudo))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
