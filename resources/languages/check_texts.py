#!/usr/bin/env python3
"""Checks the setup window's text files: texts.json and one <tag>.json per language.

Every language file must be UTF-8 without a byte order mark, valid JSON with a
2-space indent, hold exactly the ids of texts.json, and keep each text's
placeholders ({percent}, {code}, ...) and its line breaks.

With --sources, each English text must also be the code's: a text without
placeholders is a whole string literal (adjacent literals joined) of the file
its "where" names; of a text with them, every piece between placeholders
appears in such a literal, or is another text followed by one (the window
title before ": Installing "). The launcher finds a translation by
the English it is given, so a text the code changed would silently stay
English.
"""
import json, os, re, sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from shipped_languages import SHIPPED as TAGS  # noqa: E402
PLACEHOLDER = re.compile(r"\{[a-z_]+\}")

def load(name):
    raw = open(os.path.join(HERE, name), "rb").read()
    if raw.startswith(b"\xef\xbb\xbf"):
        raise ValueError(f"{name}: starts with a byte order mark")
    return raw.decode("utf-8"), json.loads(raw.decode("utf-8"))

LITERAL = re.compile(r'L?"((?:[^"\\\n]|\\.)*)"')
ESCAPE = re.compile(r"\\(u[0-9a-fA-F]{4}|x[0-9a-fA-F]{2}|.)")
SIMPLE_ESCAPES = {"n": "\n", "t": "\t", "\\": "\\", '"': '"', "'": "'"}


def decode(literal):
    def one(m):
        e = m.group(1)
        return chr(int(e[1:], 16)) if e[0] in "ux" and len(e) > 1 else SIMPLE_ESCAPES.get(e, e)
    return ESCAPE.sub(one, literal)


def literals(path):
    source = open(path, encoding="utf-8").read()
    joined, end = [], None
    for m in LITERAL.finditer(source):
        if end is not None and joined and not source[end:m.start()].strip():
            joined[-1] += decode(m.group(1))
        else:
            joined.append(decode(m.group(1)))
        end = m.end()
    return joined


def check_sources(texts):
    root = os.path.dirname(os.path.dirname(HERE))
    problems, cache = [], {}
    whole = [t["en"] for t in texts]
    for t in texts:
        path = os.path.join(root, t["where"].split(":")[0])
        if path not in cache:
            cache[path] = literals(path)
        found = cache[path]
        if not PLACEHOLDER.search(t["en"]):
            # A whole text is a whole literal: "Close" inside "Close the app" is not it.
            if t["en"] not in found:
                problems.append(f"texts.json: {t['id']}: {t['en']!r} is not a literal of {t['where']}")
            continue
        for piece in (p for p in PLACEHOLDER.split(t["en"]) if p):
            rests = [piece] + [piece[len(w):] for w in whole if w != piece and piece.startswith(w)]
            if not any(r and any(r in f for f in found) for r in rests):
                problems.append(f"texts.json: {t['id']}: {piece!r} is not in {t['where']}")
    return problems


def main():
    problems = []
    _, inventory = load("texts.json")
    texts = inventory["texts"]
    en = {t["id"]: t for t in texts}
    if len(en) != len(texts):
        problems.append("texts.json: duplicate ids")
    for t in texts:
        if sorted(set(PLACEHOLDER.findall(t["en"]))) != sorted("{" + p + "}" for p in t["placeholders"]):
            problems.append(f"texts.json: {t['id']}: placeholders list does not match the text")
    for tag in TAGS:
        name = f"{tag}.json"
        try:
            text, data = load(name)
        except (OSError, ValueError) as error:
            problems.append(str(error))
            continue
        if text != json.dumps(data, ensure_ascii=False, indent=2) + "\n":
            problems.append(f"{name}: not in 2-space indented form")
        if list(data) != list(en):
            missing = set(en) - set(data)
            extra = set(data) - set(en)
            if missing or extra:
                problems.append(f"{name}: missing {sorted(missing)}, extra {sorted(extra)}")
        for id, value in data.items():
            if id not in en:
                continue
            source = en[id]["en"]
            if sorted(PLACEHOLDER.findall(value)) != sorted(PLACEHOLDER.findall(source)):
                problems.append(f"{name}: {id}: placeholders differ")
            if value.count("\n") != source.count("\n"):
                problems.append(f"{name}: {id}: line breaks differ")
            if not value.strip():
                problems.append(f"{name}: {id}: empty")
    if "--sources" in sys.argv:
        problems += check_sources(texts)
    for p in problems:
        print(p)
    print(f"{len(texts)} texts, {len(TAGS)} languages: " + ("OK" if not problems else f"{len(problems)} problems"))
    return 1 if problems else 0

if __name__ == "__main__":
    sys.exit(main())
