#!/usr/bin/env python3
"""The deployment documentation against the programs: every exit code that the
README's "Exit codes for deployment tools" table and the package manager
manifest (docs/deploy/TavoStudio.Setup.installer.yaml) name is one the programs
really use, the two agree on what it means, and a sentence the table quotes is
the one the person sees for that code (the compatibility gate's, else the
catalogue's).

usage: deploy_docs_check.py SOURCE_DIR      (exit 0 when it holds, 1 when not)"""

import pathlib
import re
import sys

# The manager's reason for a code, and the kind the README gives it.
KIND_OF_RESPONSE = {
    "noNetwork": "retry later", "packageInUse": "retry later", "installInProgress": "already running",
    "systemNotSupported": "not supported", "cancelledByUser": "cancelled", "blockedByPolicy": "failed",
    "diskFull": "failed", "downgrade": "failed", "invalidParameter": "failed", "contactSupport": "failed",
}
KINDS = {"success", "retry later", "already running", "not supported", "cancelled", "failed"}


def joined_literals(text):
    """The text of adjacent C++ wide string literals."""
    return "".join(re.findall(r'L"((?:[^"\\]|\\.)*)"', text))


def readme_table(root):
    text = (root / "README.md").read_text(encoding="utf-8")
    section = text.split("### Exit codes for deployment tools", 1)[1].split("\n### ", 1)[0]
    rows = {}
    for line in section.splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) == 3 and (cells[0].startswith("0x") or cells[0].isdigit()):
            rows[int(cells[0], 16) if cells[0].startswith("0x") else int(cells[0])] = (cells[1], cells[2])
    return rows


def manifest_codes(root, problems):
    text = (root / "docs" / "deploy" / "TavoStudio.Setup.installer.yaml").read_text(encoding="utf-8")
    codes = {}
    for code, comment, response in re.findall(
            r"- InstallerReturnCode: (\d+)\s*(#[^\n]*)?\n\s+ReturnResponse: (\w+)", text):
        written = re.match(r"# 0x([0-9A-F]{8})", comment or "")
        if written and int(written.group(1), 16) != int(code):
            problems.append("manifest: %s is not its comment's 0x%s" % (code, written.group(1)))
        codes[int(code)] = response
    if 0 in codes or "InstallerSuccessCodes" in text:
        problems.append("manifest: 0 is never a return code to list (it is success)")
    for switch in ("Silent: --silent", "SilentWithProgress: --passive", 'Log: --report "<LOGPATH>"',
                   "InstallerType: exe", "Scope: user", "Installers:", "- Architecture: ", "InstallerUrl: ",
                   "InstallerSha256: "):
        if switch not in text:
            problems.append("manifest lacks %r" % switch)
    return codes


def product_sources(root):
    files = [p for folder in ("launcher", "worker", "common", "src") for p in (root / folder).rglob("*")
             if p.suffix in (".cpp", ".h")]
    return {p: p.read_text(encoding="utf-8") for p in files}


def named_codes(sources):
    names = {}
    for text in sources.values():
        for name, value in re.findall(r"constexpr uint32_t (k\w+) = (0x[0-9A-Fa-f]{8}|\d+);", text):
            names[name] = int(value, 0)
    return names


def used(code, sources, names):
    literal = re.compile(r"\b0x%08X\b" % code, re.IGNORECASE)
    return code in names.values() or any(literal.search(text) for text in sources.values())


def sentence_for(code, root, names):
    gate = (root / "launcher" / "start" / "compatibility_gate.cpp").read_text(encoding="utf-8")
    for name, literals in re.findall(r"Refusal\{(k\w+),((?:\s*L\"(?:[^\"\\]|\\.)*\")+)\}", gate):
        if names.get(name) == code:
            return joined_literals(literals)
    catalogue = (root / "common" / "diagnostics" / "catalogue.cpp").read_text(encoding="utf-8")
    for cases, literal in re.findall(r"((?:case 0x[0-9A-Fa-f]{8}:\s*)+)return (L\"(?:[^\"\\]|\\.)*\");", catalogue):
        if code in [int(c, 16) for c in re.findall(r"0x([0-9A-Fa-f]{8})", cases)]:
            return joined_literals(literal)
    return None


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    root = pathlib.Path(argv[1])
    problems = []
    table = readme_table(root)
    manifest = manifest_codes(root, problems)
    sources = product_sources(root)
    names = named_codes(sources)
    if len(table) < 10 or len(manifest) < 10:
        problems.append("found %d table rows and %d manifest codes: the documents were not read" %
                        (len(table), len(manifest)))
    for code, (kind, meaning) in table.items():
        if kind not in KINDS:
            problems.append("README: 0x%08X has the kind %r" % (code, kind))
        if code not in (0, 87) and not used(code, sources, names):
            problems.append("README: 0x%08X is no code of the programs" % code)
        quoted = re.match(r'"([^"]+)"', meaning)
        if quoted:
            expected = sentence_for(code, root, names)
            if quoted.group(1) != expected:
                problems.append("README: 0x%08X quotes %r, the programs say %r" % (code, quoted.group(1), expected))
    for code, response in manifest.items():
        if code not in table:
            problems.append("manifest: 0x%08X is not in the README's table" % code)
        elif KIND_OF_RESPONSE.get(response) != table[code][0]:
            problems.append("manifest: 0x%08X is %s, the README says %r" % (code, response, table[code][0]))
        if code != 87 and not used(code, sources, names):
            problems.append("manifest: 0x%08X is no code of the programs" % code)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
