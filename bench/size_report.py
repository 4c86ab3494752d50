#!/usr/bin/env python3
"""Sizes of the release programs against the download budget: the launcher's
file and what its resources carry (the worker, the fonts, the pictures and the
icon; launcher code is everything else: code, data, headers, resource
directory), each packed part also with its expanded size, and the worker's
file.

usage: size_report.py TAVOSETUP_EXE TAVO_DEPLOY_EXE"""

import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "tools"))
sys.path.insert(0, str(ROOT / "resources"))
import pack  # noqa: E402  (the packed resources' format)
import pe  # noqa: E402  (the release checks' PE reader)

BUDGET = 1_572_864  # 1.5 MiB: the release TavoSetup.exe with everything inside
RT_ICON, RT_GROUP_ICON, RT_RCDATA = 3, 14, pe.RT_RCDATA


# The figure to reach once the fourteen languages are carried.
TARGET = 1258291


def resource_ids():
    """Resource names of resources/resource_ids.h by number."""
    text = (ROOT / "resources" / "resource_ids.h").read_text(encoding="utf-8")
    return {int(value): name for name, value in re.findall(r"#define TAVO_RESOURCE_(\w+) (\d+)", text)}


def launcher_parts(path):
    """The launcher's size, its parts as (stored, expanded) sizes and the
    expanded bytes of resource 301."""
    data = path.read_bytes()
    names = resource_ids()
    parts = {"worker (resource 301)": [0, 0], "fonts": [0, 0], "texts (14 languages)": [0, 0],
             "pictures and icon": [0, 0], "manifest": [0, 0]}
    worker = b""
    for type_id, res_id, content in pe.PeFile(data).resources():
        name = names.get(res_id, "") if type_id == RT_RCDATA else ""
        expanded = content
        if name in ("WORKER", "TEXTS") or name.startswith("FONT_"):
            expanded = pack.unpack(content)
        if name == "WORKER":
            part = "worker (resource 301)"
            worker = expanded
        elif name.startswith("FONT_"):
            part = "fonts"
        elif name == "TEXTS":
            part = "texts (14 languages)"
        elif type_id in (RT_RCDATA, RT_ICON, RT_GROUP_ICON):
            part = "pictures and icon"
        else:
            part = "manifest"
        parts[part][0] += len(content)
        parts[part][1] += len(expanded)
    total = len(data)
    code = total - sum(stored for stored, _ in parts.values())
    return total, {"launcher code": [code, code], **parts}, worker


def kb(size):
    return "%9d bytes %8.1f KiB" % (size, size / 1024)


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    launcher, worker = pathlib.Path(argv[1]), pathlib.Path(argv[2])
    total, parts, carried = launcher_parts(launcher)
    verdict = ("within, %d bytes to spare" % (BUDGET - total) if total <= BUDGET
               else "OVER by %d bytes" % (total - BUDGET))
    print("release TavoSetup.exe     %s   budget %d bytes (1.5 MiB): %s" % (kb(total), BUDGET, verdict))
    target = "within" if total <= TARGET else "OVER by %d bytes" % (total - TARGET)
    print("  target with the languages %d bytes (1.2 MiB): %s" % (TARGET, target))
    for name, (stored, expanded) in parts.items():
        packed = "  expands to %s" % kb(expanded).strip() if expanded != stored else ""
        print("  %-23s %s  %5.1f %%%s" % (name, kb(stored), 100 * stored / total, packed))
    print("release Tavo.Deploy.exe   %s" % kb(worker.stat().st_size))
    if carried != worker.read_bytes():
        sys.exit("size_report: resource 301 does not expand to the release worker byte for byte")


if __name__ == "__main__":
    main(sys.argv)
