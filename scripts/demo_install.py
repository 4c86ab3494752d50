#!/usr/bin/env python3
"""The demo's install part: a full simulated install through the loopback
package host and the simulated platform, then a second run that finds the
existing install, then an install whose deployment fails twice. Passes the
worker's event lines through as they arrive and prints each run's exit code and
report path, what the telemetry host received (event names and sizes) and the
report's `uma` line; for the failed install also the report's `deployment`
line, the diagnostics that Windows' event logs, services and policies gave.
The tree's Wine session and its package host must be running.

usage: demo_install.py BUILD_TREE"""

import json
import os
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "hosts"))
import package_host  # noqa: E402

DESCRIPTOR = ROOT / "tests" / "data" / "descriptors" / "accepted_namespace_2017_2.appinstaller"


sys.path.insert(0, str(ROOT / "tests" / "tools"))
import tavo_tree  # noqa: E402
from tavo_tree import windows_path  # noqa: E402


def publisher(tree):
    """The test build's package Publisher, from its generated constants."""
    text = (tree / "generated" / "build_info.h").read_text(encoding="utf-8")
    literal = text.split("kPackagePublisher[] = L\"", 1)[1].split("\";\n", 1)[0]
    return literal.replace('\\"', '"').replace("\\\\", "\\")


def serve_descriptor(tree):
    """Scripts the package host to serve a valid descriptor for this build."""
    escaped = publisher(tree).replace("&", "&amp;").replace('"', "&quot;")
    body = DESCRIPTOR.read_text(encoding="utf-8").replace("{{PUBLISHER}}", escaped)
    package_host.PackageHost().script(status=200, body=body)


def print_telemetry(posts_before, report):
    """What the telemetry host received since `posts_before` posts, and the report's `uma` line."""
    posts = package_host.PackageHost().telemetry_posts()[posts_before:]
    print("telemetry host received %d post(s):" % len(posts))
    for post in posts:
        try:
            trigger = json.loads(post["body"]).get("trigger", "?")
        except ValueError:
            trigger = "(not JSON)"
        print("  %s, %d bytes" % (trigger, len(post["body"].encode("utf-8"))))
    print_report_line(report, "uma")


def print_report_line(report, member):
    """Prints the report's line of this top-level member, without its separating comma."""
    prefix = '"%s":' % member
    try:
        lines = [line.rstrip(",") for line in report.read_text(encoding="utf-8").split("\n") if line.startswith(prefix)]
    except OSError:
        lines = []
    print("report %s" % (lines[0] if lines else "has no %s line" % member), flush=True)


def run(tree, programs, scenario, report, *args):
    posts_before = len(package_host.PackageHost().telemetry_posts())
    print("== Tavo.Deploy.exe %s --report %s" % (" ".join(args), windows_path(report)), flush=True)
    env = dict(os.environ, TAVO_SIM_SCENARIO=windows_path(scenario))
    command = ["sh", str(ROOT / "scripts" / "wine-exec.sh"), str(tree), programs["TAVO_RUNNER"], "--",
               windows_path(programs["TAVO_WORKER"]), *args, "--report", windows_path(report)]
    code = None
    with subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, env=env) as child:
        for raw in child.stdout:
            line = raw.decode("utf-8", errors="replace").rstrip("\n")
            if line.startswith("exit="):
                code = line[len("exit="):]
            else:
                print(line, flush=True)
    if code is None:
        sys.exit("demo: the runner did not report an exit code")
    print("exit code: %s" % code)
    print("report: %s" % report, flush=True)
    print_telemetry(posts_before, report)


# A deployment that fails twice, and what the simulated event logs hold for it.
FAILING_ACTIVITY = "{6A0F3C2E-91B4-4D7A-8E55-0C1D2E3F4A5B}"
FAILING_SCENARIO = {
    "deployment": {"attempts": [
        {"progress": [0, 12], "errorCode": "0x80D05011", "resultsOnError": True,
         "activityId": "{1B2C3D4E-5F60-4718-8293-A4B5C6D7E8F9}"},
        {"progress": [0, 12, 37], "errorCode": "0x80073CF3", "resultsOnError": True, "activityId": FAILING_ACTIVITY,
         "errorText": "Package failed updates, dependency or conflict validation."}]},
    "eventLog": {"channels": {
        "Microsoft-Windows-AppXDeploymentServer/Operational": {"events": [
            {"eventId": 854, "level": 4, "provider": "Microsoft-Windows-AppXDeploymentServer",
             "activityId": FAILING_ACTIVITY, "message": "Deployment of TavoStudioInc.TavoStudio started."},
            {"eventId": 404, "level": 2, "provider": "Microsoft-Windows-AppXDeploymentServer",
             "activityId": FAILING_ACTIVITY,
             "message": "AppX Deployment operation failed for package TavoStudioInc.TavoStudio with error 0x80073CF3."}]},
        "Microsoft-Windows-AppxPackaging/Operational": {"events": [
            {"eventId": 215, "level": 3, "provider": "Microsoft-Windows-AppxPackaging",
             "activityId": FAILING_ACTIVITY, "message": "The package's signature could not be checked."}]}}},
}


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    tree = pathlib.Path(argv[1]).resolve()
    programs = tavo_tree.read_programs(tree)
    folder = tree / "demo"
    folder.mkdir(exist_ok=True)
    scenario = folder / "scenario.json"
    scenario.write_text('{"deployment": {"attempts": [{"progress": [0, 8, 23, 41, 67, 88, 100], '
                        '"stepDelayMs": 150}]}}', encoding="utf-8")
    (folder / "scenario.json.state.json").unlink(missing_ok=True)  # no install left by an earlier demo

    serve_descriptor(tree)

    run(tree, programs, scenario, folder / "install-first.json", "--install", "--open-existing")
    run(tree, programs, scenario, folder / "install-again.json", "--install", "--open-existing")

    failing = folder / "failing-scenario.json"
    failing.write_text(json.dumps(FAILING_SCENARIO), encoding="utf-8")
    (folder / "failing-scenario.json.state.json").unlink(missing_ok=True)
    run(tree, programs, failing, folder / "install-failing.json", "--install")
    print_report_line(folder / "install-failing.json", "deployment")


if __name__ == "__main__":
    main(sys.argv)
