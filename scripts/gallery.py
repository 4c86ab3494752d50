#!/usr/bin/env python3
"""The gallery: a screenshot of every preview state of TavoSetup.exe (and one
at scale 2) through its `--preview --screenshot` mode, and the installing
(42 %), error and stop screens in every language the setup speaks and the
pseudo-language, written into the build tree (languages/ for the latter).
Prints each file's path. The tree's Wine session must be running.

usage: gallery.py BUILD_TREE [--docs]
  --docs  also copies the few screens the README shows to docs/screens/"""

import pathlib
import shutil
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "tools"))
sys.path.insert(0, str(ROOT / "resources" / "languages"))
import shipped_languages  # noqa: E402
import tavo_tree  # noqa: E402
from tavo_tree import windows_path  # noqa: E402

# Every name --state accepts, in the order a run meets them.
STATES = ["welcome", "preparing", "downloading", "installing", "verifying", "cancel", "stopping", "success",
          "installed", "cancelled", "error", "error-cert", "error-network", "error-low-disk", "unsupported",
          "unsupported-avx"]
# (file name, extra options)
EXTRA = [("installing-scale2", ["--state", "installing", "--percent", "64", "--tip", "2", "--screenshot-scale", "2"])]
# The languages, English first, then the pseudo-language of test builds.
LANGUAGES = ["en", *shipped_languages.SHIPPED, shipped_languages.PSEUDO]
LANGUAGE_SCREENS = [("installing", ["--state", "installing", "--percent", "42"]), ("error", ["--state", "error"]),
                    ("cancel", ["--state", "cancel"])]
# The screens the README shows, and the one it shows in three more languages.
DOCS = ["installing", "cancel", "success", "error"]
DOCS_LANGUAGES = [("languages/de-error", "error-de"), ("languages/ja-error", "error-ja"),
                  ("languages/ru-error", "error-ru")]


def capture(tree, programs, folder, name, options):
    path = folder / (name + ".png")
    path.unlink(missing_ok=True)
    command = ["sh", str(ROOT / "scripts" / "wine-exec.sh"), str(tree), programs["TAVO_RUNNER"], "--",
               windows_path(programs["TAVO_LAUNCHER"]), "--preview", *options, "--screenshot", windows_path(path)]
    result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=120,
                            env=tavo_tree.clean_environment({}))
    lines = result.stdout.decode("utf-8", errors="replace").splitlines()
    if result.returncode != 0 or "exit=0x00000000" not in lines or not path.exists():
        sys.exit("gallery: %s failed: %s %s" % (name, lines, result.stderr.decode(errors="replace")))
    return path


def main(argv):
    if len(argv) not in (2, 3) or (len(argv) == 3 and argv[2] != "--docs"):
        sys.exit(__doc__)
    tree = pathlib.Path(argv[1]).resolve()
    programs = tavo_tree.read_programs(tree)
    folder = tree / "gallery"
    folder.mkdir(exist_ok=True)
    shots = [(state, ["--state", state]) for state in STATES] + EXTRA
    for name, options in shots:
        print(capture(tree, programs, folder, name, options), flush=True)
    (folder / "languages").mkdir(exist_ok=True)
    for language in LANGUAGES:
        for screen, options in LANGUAGE_SCREENS:
            print(capture(tree, programs, folder, "languages/%s-%s" % (language, screen),
                          options + ["--language", language]), flush=True)
    if len(argv) == 3:
        docs = ROOT / "docs" / "screens"
        docs.mkdir(parents=True, exist_ok=True)
        for name, target in [(n, n) for n in DOCS] + DOCS_LANGUAGES:
            shutil.copyfile(folder / (name + ".png"), docs / (target + ".png"))
            print(docs / (target + ".png"))


if __name__ == "__main__":
    main(sys.argv)
