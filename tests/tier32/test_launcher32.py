"""The launcher users download: the i686 TavoSetup.exe, a 32-bit process on
64-bit Windows (WoW64), starting the 64-bit worker. These cases run inside the
32-bit tier's guest (vm.py) with the same harness, simulated platform and
package host as the 64-bit tests. Bounds are wide: a 32-bit program under
emulation takes seconds to show its window, more on a busy machine. The
guest's 32-bit OpenGL cannot run Direct2D (see guest-session.sh): the window
draws through its GDI fallback, and these cases prove what it does, not its
pixels."""

import pathlib
import sys
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "integration"))
import harness  # noqa: E402
import launcher_harness as lh  # noqa: E402
import pe  # noqa: E402  (tests/tools, on the path through harness)
from test_install_run import descriptor, package_host  # noqa: E402
from test_launcher_entry import FALLBACK_MEMBERS  # noqa: E402
from test_launcher_window import AUMID, STOP_QUESTION  # noqa: E402
from test_stamping import FIRST, sign_with_throwaway_authority, stamp  # noqa: E402

WINDOW = 300000  # ms for the window to show
STEP = 300000  # ms for a screen or an end to come
LAUNCHER = pathlib.Path(harness.PROGRAMS["TAVO_LAUNCHER"])
I386 = 0x14C


def pe_machine(path):
    return pe.PeFile.load(path).machine


def unix_processes(windows_name):
    """(pid, ELF class) of the processes whose Windows program is `windows_name`:
    class 1 is a 32-bit loader (a WoW64 process), 2 a 64-bit one."""
    found = []
    for entry in pathlib.Path("/proc").iterdir():
        try:
            argv0 = (entry / "cmdline").read_bytes().split(b"\0")[0]
            if argv0.lower().endswith(b"\\" + windows_name.lower().encode()):
                with open(entry / "exe", "rb") as exe:
                    found.append((int(entry.name), exe.read(5)[4]))
        except OSError:
            continue  # not a process, or one that just ended
    return found


def setUpModule():
    # Everything below proves something only for the 32-bit program.
    if pe_machine(LAUNCHER) != I386:
        raise AssertionError("%s is not the i686 launcher" % LAUNCHER)


class CheckRun(unittest.TestCase):
    def test_the_report_is_the_64_bit_pcs_and_old_windows_is_refused(self):
        with harness.Workspace() as ws:
            before = lh.session_folders()
            run = lh.run_launcher("--check-only", "--report", harness.windows_path(ws.path("r.json")), workspace=ws)
            self.assertEqual((run.exit_code, run.box), (0, None), run)
            report = ws.report("r.json")
            self.assertEqual(list(report), harness.REPORT_MEMBERS)
            self.assertEqual((report["nativeArchitecture"], report["windowsBuild"]), ("x64", 19045))
            self.assertEqual([e["type"] for e in report["events"]], ["checking", "checked"])
            [folder] = lh.session_folders() - before
            self.assertEqual(list(folder.iterdir()), [], "the worker file is deleted when the session ends")

            with harness.windows_build(18363):
                run = lh.run_launcher("--check-only", "--report", harness.windows_path(ws.path("old.json")),
                                      workspace=ws)
            self.assertEqual((run.exit_code, run.box), (0x8007047E, None), run)
            report = ws.report("old.json")
            self.assertEqual(list(report), FALLBACK_MEMBERS)
            self.assertEqual((report["windowsBuild"], report["nativeArchitecture"]), (18363, "x64"))
            self.assertIn("nativeArchitecture=x64; avxAvailable=true", report["diagnosticDetail"])


class Install(unittest.TestCase):
    def setUp(self):
        self.host = package_host.PackageHost()
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)

    def test_from_the_first_screen_to_success_opening_the_application(self):
        self.host.script(body=descriptor())
        record = self.ws.path("activations.txt")
        before = lh.session_folders()
        env = {"TAVO_SIM_SCENARIO": harness.windows_path(self.ws.scenario({})),
               "TAVO_FAKE_ACTIVATION_RECORD": harness.windows_path(record)}
        with lh.running(env=env) as launched:
            lh.driver("wait-window", WINDOW)
            self.assertEqual([bits for _, bits in unix_processes("TavoSetup.exe")], [1], "a 32-bit launcher")
            # Success opens the application; the window then closes by itself.
            lh.driver("wait-gone", STEP)
        self.assertEqual(launched.run.exit_code, 0, launched.run)
        self.assertEqual([line.split("\t")[0] for line in record.read_text(encoding="utf-8").splitlines()], [AUMID])
        [folder] = lh.session_folders() - before
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["install.json", "install.json.trace.jsonl"])
        report = harness.load_json((folder / "install.json").read_text(encoding="utf-8"))
        self.assertEqual((report["exitCode"], report["nativeArchitecture"]), ("0x00000000", "x64"))
        self.assertEqual([e["type"] for e in report["events"]][-3:], ["launch", "success", "report_ready"])

    def test_stop_confirmed_ends_cancelled_with_0x800704C7_and_no_worker_left(self):
        self.host.script(body=descriptor())
        scenario = {"deployment": {"attempts": [{"progress": [0, 10, 20], "stepDelayMs": 500,
                                                 "untilCancelled": True}]}}
        with lh.running("--install", "--report", harness.windows_path(self.ws.path("install.json")),
                        env={"TAVO_SIM_SCENARIO": harness.windows_path(self.ws.scenario(scenario))}) as launched:
            asked = lh.driver("wait-window", WINDOW, "wait-title", "Tavo Studio Setup: Installing 20%", STEP,
                              "command", 1003, "status", "control", 1002)
            self.assertEqual(asked["status"], [STOP_QUESTION])
            self.assertEqual(asked["control"][0]["text"], "Stop installing")
            self.assertEqual(len(unix_processes("Tavo.Deploy.exe")), 1)
            lh.driver("command", 1002, "wait-gone", STEP)
        self.assertEqual(launched.run.exit_code, 0x800704C7, launched.run)
        self.assertEqual(unix_processes("Tavo.Deploy.exe"), [], "the worker ended with the run")
        terminal = [e for e in self.ws.report()["events"] if e["type"] in ("success", "error", "cancelled")]
        self.assertEqual([(e["type"], e["code"]) for e in terminal], [("cancelled", "0x800704C7")])


class VisitorMarker(unittest.TestCase):
    def test_a_stamped_pe32_launcher_passes_its_id_to_the_worker(self):
        with harness.Workspace() as ws:
            signed, stamped = ws.path("signed.exe"), ws.path("TavoSetup.exe")
            sign_with_throwaway_authority(LAUNCHER, signed, ws.dir)
            self.assertEqual(stamp("--visitor-id", FIRST, signed, stamped).returncode, 0)
            self.assertEqual(pe_machine(stamped), I386)
            record = ws.path("args.txt")
            with lh.running("--install", env=lh.fake_worker_env("silent.txt", record), launcher=stamped) as launched:
                # The fake worker ends at once with a code of its own: the error screen offers "Try again".
                lh.driver("wait-window", WINDOW, "wait-control", 1001, "Try again", STEP, "close", "wait-gone", STEP)
            self.assertEqual(launched.run.exit_code, 0x80070005, launched.run)
            arguments = record.read_text(encoding="utf-8").splitlines()
            self.assertEqual(arguments[-2:], ["--visitor-id", FIRST], arguments)


if __name__ == "__main__":
    unittest.main()
