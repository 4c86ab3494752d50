"""Boots, uses and stops the 32-bit tier's guest: an emulated 64-bit PC
(qemu-system-x86_64 with TCG; these machines run no 32-bit code themselves)
running Debian's amd64 kernel, the host's Wine 8 with its i386 side, and the
tree's Wine session and package host. See the README's "The 32-bit tier".

usage: vm.py start TREE PROJECT   boot the guest and wait until it serves requests
       vm.py run TREE NAME TIMEOUT -- ARGV...
                                  run ARGV in the guest (in PROJECT/tests/tier32, TAVO_BUILD_TREE=TREE),
                                  print its output, exit with its status
       vm.py stop TREE            ask the guest to power off; end its emulator if it does not

Every wait has a bound and says what it waited for when it runs out; the
guest's console is TREE/guest/share/run/console.log."""

import json
import os
import pathlib
import re
import signal
import subprocess
import sys
import time

# Bounds for the guest's stages, each from the stage before (s). The emulator's
# speed varies with the machine's load; these are several times what was measured.
STAGES = [
    ("kernel up", 120),
    ("root ready", 120),
    ("prefix", 1200),  # "prefix unpacked" or "prefix made": making it takes minutes
    ("ready", 600),  # Wine session and package host
]
STOP_BOUND = 180


class GuestError(Exception):
    pass


def _paths(tree):
    guest = tree / "guest"
    run = guest / "share" / "run"
    return guest, run


def _alive(pid):
    try:
        return pathlib.Path("/proc/%d/comm" % pid).read_text().strip().startswith("qemu-system")
    except OSError:
        return False


def _pid(run):
    try:
        return int((run / "qemu.pid").read_text())
    except (OSError, ValueError):
        return None


def _console_tail(run, lines=15):
    try:
        text = (run / "console.log").read_text(errors="replace")
    except OSError:
        return "(no console output)"
    return "\n".join(text.splitlines()[-lines:])


def _end_emulator(run):
    pid = _pid(run)
    if pid and _alive(pid):
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            if not _alive(pid):
                break
            time.sleep(0.1)
        else:
            os.kill(pid, signal.SIGKILL)


def start(tree, project):
    guest, run = _paths(tree)
    for name in ("vmlinuz", "initramfs.gz", "i386"):
        if not (guest / name).exists():
            raise GuestError("%s is missing: run tests/tier32/prepare-guest.sh %s" % (guest / name, tree))
    for path in (tree, project):
        if re.search(r"\s", str(path)):
            raise GuestError("the guest cannot take a path with white space: %s" % path)
    _end_emulator(run)  # a guest left by an earlier, interrupted run
    if run.exists():
        subprocess.run(["rm", "-rf", str(run)], check=True)
    (run / "requests").mkdir(parents=True)
    (run / "results").mkdir()

    def share(tag, path, readonly=True):
        return ["-virtfs", "local,path=%s,mount_tag=%s,security_model=none%s"
                % (os.path.realpath(path), tag, ",readonly=on" if readonly else "")]

    command = ["qemu-system-x86_64", "-accel", "tcg,thread=multi", "-cpu", "max,smap=off", "-smp", "2", "-m", "4096",
               "-display", "none", "-vga", "none", "-nic", "none", "-monitor", "none", "-no-reboot",
               "-serial", "file:%s" % (run / "console.log"),
               "-kernel", str(guest / "vmlinuz"), "-initrd", str(guest / "initramfs.gz"),
               "-append", "console=ttyS0 quiet panic=-1 tavo.project=%s tavo.tree=%s" % (project, tree),
               *share("usr", "/usr"), *share("etc", "/etc"), *share("layer", guest / "i386"),
               *share("project", project), *share("guest", guest / "share", readonly=False)]
    with open(run / "qemu.log", "wb") as log:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                   start_new_session=True)
    (run / "qemu.pid").write_text(str(process.pid))
    try:
        _wait_for_stages(run, process)
    except GuestError:
        _end_emulator(run)
        raise
    print("tier32: guest ready (console: %s)" % (run / "console.log"))


def _wait_for_stages(run, process):
    began = time.monotonic()
    for stage, bound in STAGES:
        since = time.monotonic()
        while True:
            console = (run / "console.log").read_text(errors="replace") if (run / "console.log").exists() else ""
            failed = re.search(r"^tier32: (.*failed.*)$", console, re.M)
            if failed:
                raise GuestError("the guest reports: %s\n%s" % (failed.group(1), _console_tail(run)))
            if re.search(r"^tier32: %s" % re.escape(stage), console, re.M):
                print("tier32: %s after %.0f s" % (stage, time.monotonic() - began))
                break
            if process.poll() is not None:
                raise GuestError("the emulator ended (status %s) before the guest reached '%s'; qemu said: %s\n%s"
                                 % (process.returncode, stage, (run / "qemu.log").read_text(errors="replace"),
                                    _console_tail(run)))
            if time.monotonic() - since > bound:
                raise GuestError("the guest did not reach '%s' within %d s; its console ends:\n%s"
                                 % (stage, bound, _console_tail(run)))
            time.sleep(0.5)


def run_request(tree, name, timeout, argv, env=None):
    _, run = _paths(tree)
    pid = _pid(run)
    if not pid or not _alive(pid):
        raise GuestError("no guest runs for %s (its start failed or it ended); console:\n%s"
                         % (tree, _console_tail(run)))
    request = {"argv": argv, "env": {"TAVO_BUILD_TREE": str(tree), "PYTHONDONTWRITEBYTECODE": "1",
                       "TAVO_RUN_TIMEOUT": str(timeout), **(env or {})},
               "timeout": timeout}
    staged = run / ("%s.request" % name)
    staged.write_text(json.dumps(request), encoding="utf-8")
    staged.rename(run / "requests" / (name + ".json"))
    answer = run / "results" / (name + ".json")
    # The guest bounds the test itself; this bound covers a guest that stops answering.
    deadline = time.monotonic() + timeout + 120
    while not answer.exists():
        if not _alive(pid):
            raise GuestError("the guest ended while running %s; console:\n%s" % (name, _console_tail(run)))
        if time.monotonic() > deadline:
            raise GuestError("the guest gave no answer for %s within %d s; console:\n%s"
                             % (name, timeout + 120, _console_tail(run)))
        time.sleep(0.2)
    sys.stdout.write((run / "results" / (name + ".out")).read_text(errors="replace"))
    return json.loads(answer.read_text())["status"]


def stop(tree):
    _, run = _paths(tree)
    pid = _pid(run)
    if not pid or not _alive(pid):
        print("tier32: no guest running")
        return
    (run / "stop.request").write_text("{}")
    (run / "stop.request").rename(run / "requests" / "stop.json")
    deadline = time.monotonic() + STOP_BOUND
    while _alive(pid) and time.monotonic() < deadline:
        time.sleep(0.5)
    if _alive(pid):
        _end_emulator(run)
        print("tier32: the guest did not power off within %d s: its emulator was ended" % STOP_BOUND)
    else:
        print("tier32: guest stopped")


def main(argv):
    try:
        if len(argv) == 3 and argv[0] == "start":
            start(pathlib.Path(argv[1]).resolve(), pathlib.Path(argv[2]).resolve())
        elif len(argv) >= 5 and argv[0] == "run" and argv[3].isdigit() and "--" in argv:
            split = argv.index("--")
            return run_request(pathlib.Path(argv[1]).resolve(), argv[2], int(argv[3]), argv[split + 1:])
        elif len(argv) == 2 and argv[0] == "stop":
            stop(pathlib.Path(argv[1]).resolve())
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except GuestError as error:
        print("tier32: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
