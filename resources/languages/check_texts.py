#!/usr/bin/env python3
"""Checks the setup window's text files: texts.json and one <tag>.json per language.

Every language file must be UTF-8 without a byte order mark, valid JSON with a
2-space indent, hold exactly the ids of texts.json, and keep each text's
placeholders ({percent}, {code}, ...) and its line breaks.
"""
import json, os, re, sys

HERE = os.path.dirname(os.path.abspath(__file__))
TAGS = ["de", "fr", "es", "it", "pt-BR", "nl", "pl", "tr", "ru", "ja", "ko", "zh-Hans", "zh-Hant"]
PLACEHOLDER = re.compile(r"\{[a-z_]+\}")

def load(name):
    raw = open(os.path.join(HERE, name), "rb").read()
    if raw.startswith(b"\xef\xbb\xbf"):
        raise ValueError(f"{name}: starts with a byte order mark")
    return raw.decode("utf-8"), json.loads(raw.decode("utf-8"))

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
    for p in problems:
        print(p)
    print(f"{len(texts)} texts, {len(TAGS)} languages: " + ("OK" if not problems else f"{len(problems)} problems"))
    return 1 if problems else 0

if __name__ == "__main__":
    sys.exit(main())
