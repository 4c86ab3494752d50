"""Runs the real Tavo.Deploy worker through tavo_runner under the build tree's
Wine session, and reads what a run leaves: event lines, the full exit code, the
report and its trace sidecar. Also sets and restores prefix-wide state
(services, Windows build number) for the tests that need another state.

The build tree comes from TAVO_BUILD_TREE; its programs from test-programs.env,
which CMake writes there."""

import collections
import contextlib
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tools"))
import tavo_tree  # noqa: E402
from tavo_tree import windows_path  # noqa: E402,F401  (the tests' one path helper)

TREE = pathlib.Path(os.environ["TAVO_BUILD_TREE"]).resolve()
WINE_EXEC = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "wine-exec.sh"
# Seconds for one program run; ctest's own TIMEOUT is the last resort. The
# 32-bit tier, under emulation, sets a wider bound.
RUN_TIMEOUT = int(os.environ.get("TAVO_RUN_TIMEOUT", "90"))


PROGRAMS = tavo_tree.read_programs(TREE)

Event = collections.namedtuple("Event", "type percent title detail code")

# The diagnostic report's top-level members, in their order.
REPORT_MEMBERS = [
    "schemaVersion", "buildHash", "verbose", "windowsBuild", "windowsVersion",
    "nativeArchitecture", "exitCode", "registered", "packageFullName", "appInstallerUri",
    "desktopAppInstallerVersion", "activityId", "deployment", "updateSettingsInspectable",
    "automaticBackgroundTask", "errors", "verification", "uma", "verificationTrace", "events",
]
TRACE_ENTRY_MEMBERS = ["operation", "phase", "detail", "attempt", "elapsedMs", "code"]


def hex8(code):
    return "0x%08X" % (code & 0xFFFFFFFF)


def wine(program, *args):
    """Runs a Windows program of the tree and fails on a non-zero exit."""
    result = subprocess.run(["sh", str(WINE_EXEC), str(TREE), program, *args], stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=RUN_TIMEOUT)
    if result.returncode != 0:
        raise AssertionError("%s %s failed (%d): %s" % (program, " ".join(args), result.returncode,
                                                         result.stderr.decode(errors="replace")))


class Run:
    """One worker run: its event lines and its full 32-bit exit code."""

    def __init__(self, stdout, stderr):
        self.stderr = stderr.decode("utf-8", errors="replace")
        text = stdout.decode("utf-8")
        lines = text.split("\n")
        if len(lines) < 2 or lines[-1] != "" or not lines[-2].startswith("exit=0x"):
            raise AssertionError("runner output has no exit line:\n%s\n%s" % (text, self.stderr))
        self.exit_code = int(lines[-2][len("exit="):], 16)
        self.lines = lines[:-2]
        self.events = []
        for line in self.lines:
            fields = line.split("\t")
            if len(fields) != 5:
                raise AssertionError("event line without exactly five fields: %r" % line)
            self.events.append(Event(fields[0], int(fields[1]), fields[2], fields[3], fields[4]))

    @property
    def types(self):
        return [event.type for event in self.events]

    def only(self, type_, title=None):
        """The one event of this type (and title); fails if there is not exactly one."""
        found = [e for e in self.events if e.type == type_ and (title is None or e.title == title)]
        if len(found) != 1:
            raise AssertionError("expected one %s %s event, got %r" % (type_, title or "", self.events))
        return found[0]

    def __repr__(self):
        return "exit=%s\n%s\n%s" % (hex8(self.exit_code), "\n".join(self.lines), self.stderr)


def run_worker(*args, scenario=None, env=None, runner_options=(), worker=None, cwd=None):
    """Runs Tavo.Deploy with these arguments through tavo_runner.

    scenario: Unix path of a simulated-platform scenario file, or None for the
    default platform. env: extra environment variables for the worker. worker:
    another copy of the worker to run; cwd: the folder it runs in."""
    environment = tavo_tree.clean_environment()
    if scenario is not None:
        environment["TAVO_SIM_SCENARIO"] = windows_path(scenario)
    environment.update(env or {})
    command = ["sh", str(WINE_EXEC), str(TREE), PROGRAMS["TAVO_RUNNER"], *runner_options, "--",
               windows_path(worker or PROGRAMS["TAVO_WORKER"]), *args]
    result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, env=environment,
                            timeout=RUN_TIMEOUT, cwd=cwd)
    if result.returncode != 0:
        raise AssertionError("tavo_runner failed (%d): %s" % (result.returncode,
                                                             result.stderr.decode(errors="replace")))
    return Run(result.stdout, result.stderr)


def _ordered_object(pairs):
    keys = [key for key, _ in pairs]
    if len(keys) != len(set(keys)):
        raise AssertionError("duplicate JSON members: %r" % keys)
    return dict(pairs)  # keeps the file's order


def load_json(text):
    """Parses JSON keeping member order and refusing duplicate members."""
    return json.loads(text, object_pairs_hook=_ordered_object)


class Workspace:
    """A fresh folder for one test's files, removed afterwards."""

    def __enter__(self):
        self.dir = pathlib.Path(tempfile.mkdtemp(prefix="tavo-it-"))
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return self.dir / name

    def scenario(self, content):
        path = self.dir / "scenario.json"
        path.write_text(json.dumps(content), encoding="utf-8")
        return path

    def report_text(self, name="install.json"):
        return (self.dir / name).read_text(encoding="utf-8")

    def report(self, name="install.json"):
        return load_json(self.report_text(name))

    def trace(self, name="install.json"):
        text = (self.dir / (name + ".trace.jsonl")).read_text(encoding="utf-8")
        if not text.endswith("\n"):
            raise AssertionError("trace sidecar does not end with a line feed")
        return [load_json(line) for line in text.split("\n")[:-1]]


# Prefix-wide state. Tests that use these hold the ctest lock `prefix_state`;
# each restores the session's baseline when it ends, also when it fails.

@contextlib.contextmanager
def service(name, state):
    """The service `name` is 'disabled' or 'missing' inside the block."""
    if state not in ("disabled", "missing"):
        raise ValueError(state)
    try:
        wine(PROGRAMS["TAVO_SVC"], "disable" if state == "disabled" else "delete", name)
        yield
    finally:
        wine(PROGRAMS["TAVO_SVC"], "create", name)  # present, demand start


BASELINE_BUILD = 19045


def _set_build_number(build):
    # Wine answers a 32-bit process (the i686 launcher) from the 32-bit view
    # of the registry; Windows gives both the same build.
    for view in ("/reg:64", "/reg:32"):
        wine("reg", "add", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion", "/v", "CurrentBuildNumber",
             "/t", "REG_SZ", "/d", str(build), "/f", view)


@contextlib.contextmanager
def windows_build(build):
    """Windows reports this build number inside the block."""
    try:
        _set_build_number(build)
        yield
    finally:
        _set_build_number(BASELINE_BUILD)


@contextlib.contextmanager
def policy_values(values):
    """Values under HKEY_LOCAL_MACHINE inside the block, removed afterwards.

    values: (key below HKLM, value name, reg type, data) tuples. Keys that the
    block created are removed too, so that later runs find them absent."""
    added, created = [], []
    try:
        for key, name, kind, data in values:
            if key not in created and not _key_exists(key):
                created.append(key)
            wine("reg", "add", "HKLM\\" + key, "/v", name, "/t", kind, "/d", str(data), "/f")
            added.append((key, name))
        yield
    finally:
        for key, name in added:
            if key not in created:
                wine("reg", "delete", "HKLM\\" + key, "/v", name, "/f")
        for key in reversed(created):
            wine("reg", "delete", "HKLM\\" + key, "/f")


@contextlib.contextmanager
def system_colours(colours):
    """The prefix's system colours (name -> (r, g, b)), which Wine reads at a
    program's start, inside the block; the earlier values come back afterwards."""
    key = r"HKCU\Control Panel\Colors"

    def query(name):
        result = subprocess.run(["sh", str(WINE_EXEC), str(TREE), "reg", "query", key, "/v", name],
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=RUN_TIMEOUT)
        found = [line.split(None, 2) for line in result.stdout.decode("utf-8", errors="replace").splitlines()]
        return next((f[2].strip() for f in found if len(f) == 3 and f[:2] == [name, "REG_SZ"]), None)
    earlier = {name: query(name) for name in colours}
    try:
        for name, rgb in colours.items():
            wine("reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", "%d %d %d" % rgb, "/f")
        yield
    finally:
        for name, value in earlier.items():
            restore = ("add", key, "/v", name, "/t", "REG_SZ", "/d", value) if value else ("delete", key, "/v", name)
            wine("reg", *restore, "/f")


def _key_exists(key):
    result = subprocess.run(["sh", str(WINE_EXEC), str(TREE), "reg", "query", "HKLM\\" + key],
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=RUN_TIMEOUT)
    return result.returncode == 0
