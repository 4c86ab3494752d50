"""Runs the launcher TavoSetup.exe through tavo_runner under the build tree's
Wine session and reads what it leaves: its full exit code, a recorded message
box (test builds record boxes instead of showing them), its session folders."""

import contextlib
import json
import os
import pathlib
import signal
import subprocess
import tempfile
import time

import harness

BOX_ENV = "TAVO_TEST_HOOK_MESSAGE_BOX_FILE"
SESSIONS = (harness.TREE / "wineprefix" / "drive_c" / "users" / os.environ.get("USER", "root") / "AppData" / "Local"
            / "Tavo" / "Installer" / "Sessions")


class LauncherRun:
    def __init__(self, exit_code, box, box_over_window=False):
        self.exit_code = exit_code
        self.box = box  # (caption, style, text) or None
        self.box_over_window = box_over_window  # a setup window still existed when the box came

    def __repr__(self):
        return "exit=%s box=%r" % (harness.hex8(self.exit_code), self.box)


def _run(command, env=None):
    """Runs a Windows program to its end: (exit status, stdout, stderr). Its
    output goes through files, not pipes: a program whose first window starts
    Wine's desktop process hands it its standard handles, and a pipe would stay
    open until that process ends, long after the program itself."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=out, stderr=err, env=env,
                                timeout=harness.RUN_TIMEOUT)
        out.seek(0)
        err.seek(0)
        return result.returncode, out.read(), err.read()


def clean_environment(env):
    """This process's environment without simulated-platform or hook settings, plus `env`."""
    return harness.tavo_tree.clean_environment(env)


def _command(args, launcher):
    """tavo_runner starting the launcher (this build's TavoSetup.exe unless named) with `args`."""
    return ["sh", str(harness.WINE_EXEC), str(harness.TREE), harness.PROGRAMS["TAVO_RUNNER"], "--",
            harness.windows_path(launcher or harness.PROGRAMS["TAVO_LAUNCHER"]), *args]


def _exit_code(stdout, stderr):
    """The full exit code from tavo_runner's last line, `exit=0x...`."""
    lines = stdout.decode("utf-8").split("\n")
    if len(lines) < 2 or not lines[-2].startswith("exit=0x"):
        raise AssertionError("runner output has no exit line: %r %r" % (stdout, stderr))
    return int(lines[-2][len("exit="):], 16)


def run_launcher(*args, workspace, env=None, launcher=None):
    """Runs TavoSetup.exe (or another launcher file) with these arguments;
    message boxes go to the workspace."""
    box_file = workspace.path("box.txt")
    if box_file.exists():
        box_file.unlink()
    status, stdout, stderr = _run(_command(args, launcher),
                                  clean_environment({BOX_ENV: harness.windows_path(box_file), **(env or {})}))
    if status != 0:
        raise AssertionError("tavo_runner failed (%d): %s" % (status, stderr.decode(errors="replace")))
    exit_code = _exit_code(stdout, stderr)
    box, window = None, None
    if box_file.exists():
        caption, style, window, text = box_file.read_text(encoding="utf-8").split("\n", 3)
        box = (caption, int(style), text)
    return LauncherRun(exit_code, box, window == "window")


def session_folders():
    return set(SESSIONS.iterdir()) if SESSIONS.exists() else set()


def _driver_command(steps):
    return ["sh", str(harness.WINE_EXEC), str(harness.TREE), harness.PROGRAMS["TAVO_WINDOW_DRIVER"],
            *[str(s) for s in steps]]


def driver(*steps):
    """Runs tavo_window_driver with these steps; returns its answers by name (lists)."""
    status, stdout, stderr = _run(_driver_command(steps))
    answers = {}
    for line in stdout.decode("utf-8").splitlines():
        name, _, value = line.partition("=")
        answers.setdefault(name, []).append(json.loads(value))
    if status != 0:
        raise AssertionError("window driver %r failed (%d): %r %s" % (steps, status, answers,
                                                                     stderr.decode(errors="replace")))
    return answers


def _close_if_running(process):
    """After a failed step: asks a launcher that still runs to close, so the
    test ends with the step's own failure rather than a hung launcher."""
    if process.poll() is None:
        # Its window may be gone already while the process ends: nothing to close then.
        _run(_driver_command(["close"]))


def _finish(process, out, err):
    try:
        process.wait(timeout=harness.RUN_TIMEOUT)
    except subprocess.TimeoutExpired:
        # Ending the runner ends its job and the launcher in it: a launcher left
        # open would be the window that the next test's driver finds.
        process.kill()
        process.wait()
        raise
    out.seek(0)
    err.seek(0)
    return LauncherRun(_exit_code(out.read(), err.read()), None)


class Launched:
    """A launcher started by running(): `process` is the runner that started it,
    `run` its LauncherRun once the block has ended."""
    process = None
    run = None


@contextlib.contextmanager
def running(*args, env=None, launcher=None):
    """Starts TavoSetup.exe (or another launcher file) through tavo_runner for
    the block, in which the window driver walks it. On leaving, a launcher that
    still runs is asked to close, and the block's handle gets its run."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:  # files: see _run
        process = subprocess.Popen(_command(args, launcher), stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                   env=clean_environment(env))
        launched = Launched()
        launched.process = process
        try:
            yield launched
        finally:
            _close_if_running(process)
            launched.run = _finish(process, out, err)


def fake_worker_env(script, arguments_record=None, gates=None):
    """Test builds write the fake worker in place of the embedded one; it runs
    `script` from tests/data/fake_worker and may record its argument vector.
    Its `wait-file` steps wait for files in the folder `gates` (see open_gate)."""
    scripts = pathlib.Path(__file__).resolve().parents[1] / "data" / "fake_worker"
    env = {"TAVO_TEST_HOOK_WORKER_FILE": harness.windows_path(harness.PROGRAMS["TAVO_FAKE_WORKER"]),
           "TAVO_FAKE_WORKER_SCRIPT": harness.windows_path(scripts / script)}
    if arguments_record:
        env["TAVO_FAKE_WORKER_ARGS"] = harness.windows_path(arguments_record)
    if gates:
        env["TAVO_FAKE_WORKER_GATES"] = harness.windows_path(gates)
    return env


def open_gate(gates, name):
    """Lets a fake worker waiting at `wait-file NAME` go on."""
    (pathlib.Path(gates) / name).write_bytes(b"")


def worker_arguments(launcher):
    """The arguments that a launcher file gives its worker after `--install --report PATH`."""
    with harness.Workspace() as ws:
        record = ws.path("args.txt")
        report = harness.windows_path(ws.path("r.json"))
        with running("--install", "--report", report, env=fake_worker_env("silent.txt", record),
                     launcher=launcher) as launched:
            # The fake ends at once with a code of its own: the error screen offers "Try again".
            driver("wait-window", 20000, "wait-control", 1001, "Try again", 30000, "close", "wait-gone", 15000)
        if launched.run.exit_code != 0x80070005:  # the fake's own code
            raise AssertionError("the launcher ended with %s" % launched.run)
        arguments = record.read_text(encoding="utf-8").splitlines()
        if arguments[1:4] != ["--install", "--report", report]:
            raise AssertionError("unexpected worker arguments %r" % arguments)
        return arguments[4:]


def process_gone(pid, tries=600):
    """Waits, at most `tries` tenths of a second, until the Unix process `pid`
    has ended (a zombie has); True when it has."""
    for _ in range(tries):
        try:
            state = pathlib.Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()[0]
        except (OSError, IndexError):
            return True
        if state == "Z":
            return True
        time.sleep(0.1)
    return False


def worker_pid(report):
    """The Unix process of the worker that writes this report (Wine shows a
    process's Windows command line as its argument vector)."""
    wanted = harness.windows_path(report).encode("utf-8")
    for entry in pathlib.Path("/proc").iterdir():
        try:
            argv = (entry / "cmdline").read_bytes().split(b"\0")
        except OSError:
            continue  # not a process, or one that just ended
        if argv[0].endswith(b"\\Tavo.Deploy.exe") and wanted in argv:
            return int(entry.name)
    raise AssertionError("no worker writing %s" % report)


@contextlib.contextmanager
def worker_paused(report):
    """Holds the worker that writes `report` stopped inside the block, so the
    screens between a command and the worker's answer stay long enough to read."""
    pid = worker_pid(report)
    os.kill(pid, signal.SIGSTOP)
    try:
        yield
    finally:
        os.kill(pid, signal.SIGCONT)
