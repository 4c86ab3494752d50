#!/usr/bin/env python3
"""The demo's launcher part: the 64-bit TavoSetup.exe runs a full simulated
install in its window (under the session's Xvfb display), then opens the
application through the test prefix's fake activation manager and closes by
itself. Prints the launcher's exit code, the report path and what the
activation manager was asked to open. The tree's Wine session and package host
must be running.

usage: demo_launcher.py BUILD_TREE"""

import os
import pathlib
import subprocess
import sys

import demo_install

ROOT = pathlib.Path(__file__).resolve().parents[1]


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    tree = pathlib.Path(argv[1]).resolve()
    programs = demo_install.tavo_tree.read_programs(tree)
    folder = tree / "demo" / "launcher"
    folder.mkdir(parents=True, exist_ok=True)
    scenario = folder / "scenario.json"
    scenario.write_text('{"deployment": {"attempts": [{"progress": [0, 15, 40, 70, 100], "stepDelayMs": 300}]}}',
                        encoding="utf-8")
    (folder / "scenario.json.state.json").unlink(missing_ok=True)
    record = folder / "activations.txt"
    record.unlink(missing_ok=True)
    report = folder / "install.json"
    demo_install.serve_descriptor(tree)

    print("== TavoSetup.exe --report %s" % demo_install.windows_path(report), flush=True)
    posts_before = len(demo_install.package_host.PackageHost().telemetry_posts())
    env = dict(os.environ, TAVO_SIM_SCENARIO=demo_install.windows_path(scenario),
               TAVO_FAKE_ACTIVATION_RECORD=demo_install.windows_path(record))
    command = ["sh", str(ROOT / "scripts" / "wine-exec.sh"), str(tree), programs["TAVO_RUNNER"], "--",
               demo_install.windows_path(programs["TAVO_LAUNCHER"]), "--report", demo_install.windows_path(report)]
    result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, env=env, timeout=180)
    lines = result.stdout.decode("utf-8", errors="replace").splitlines()
    codes = [line[len("exit="):] for line in lines if line.startswith("exit=")]
    if result.returncode != 0 or not codes:
        sys.exit("demo: the launcher run failed\n%s" % result.stderr.decode(errors="replace"))
    print("launcher exit code: %s" % codes[-1])
    print("report: %s" % report)
    opened = record.read_text(encoding="utf-8").split("\t")[0] if record.exists() else "(nothing)"
    print("application opened: %s" % opened, flush=True)
    demo_install.print_telemetry(posts_before, report)


if __name__ == "__main__":
    main(sys.argv)
