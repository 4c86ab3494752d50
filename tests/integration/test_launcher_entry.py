"""The launcher's command line and its check run against the real worker."""

import json
import pathlib
import struct
import sys
import unittest

import harness
import launcher_harness as lh

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tools"))
import pe  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[2]
WORKER_RESOURCE = 301

USAGE = ("TavoSetup.exe [--install | --check-only] [--silent | --passive] [--verbose] [--report PATH] "
         "[--language TAG]\n"
         "TavoSetup.exe --preview [--state preparing|installing|verifying|cancel|stopping|success|installed|"
         "cancelled|error|error-network|error-low-disk|unsupported|unsupported-avx] [--error-code 0xXXXXXXXX] "
         "[--percent 0..100] [--tip 0..6] [--language TAG] [--screenshot PATH [--screenshot-scale 1..3]]")


class LauncherCommandLine(unittest.TestCase):
    def test_rejections_exit_87_with_or_without_the_usage_box(self):
        cases = {
            "capitalised switch": (["--Install"], True),
            "switch with a value appended": (["--install=yes"], True),
            "--report last": (["--check-only", "--report"], True),
            "check and install": (["--check-only", "--install"], False),
            "preview and verbose": (["--preview", "--verbose"], False),
            "percent without preview": (["--percent", "5"], False),
            "short error code": (["--preview", "--state", "error", "--error-code", "0x8007005"], False),
            "error code on another state": (["--preview", "--state", "installing", "--error-code", "0x80070005"],
                                            False),
            "report path with a double quote": (["--install", "--report", 'C:\\a" --check x.json'], False),
            "a language that is not a tag": (["--check-only", "--language", "de_DE"], False),
        }
        with harness.Workspace() as ws:
            for name, (args, box) in cases.items():
                with self.subTest(name):
                    run = lh.run_launcher(*args, workspace=ws)
                    self.assertEqual(run.exit_code, 87, run)
                    if box:
                        self.assertEqual(run.box, ("Tavo Setup", 0, USAGE), run)  # MB_OK
                    else:
                        self.assertIsNone(run.box, run)
            # The box speaks the user's language (Wine takes it from the environment).
            german = json.loads((ROOT / "resources" / "languages" / "de.json").read_text(encoding="utf-8"))
            run = lh.run_launcher("--bogus", workspace=ws, env={"LANG": "de_DE.UTF-8", "LC_ALL": "de_DE.UTF-8"})
            self.assertEqual((run.exit_code, run.box), (87, (german["usage_caption"], 0, german["usage_text"])))


class LauncherCheckRun(unittest.TestCase):
    def test_runs_the_worker_and_exits_with_its_code(self):
        with harness.Workspace() as ws:
            before = lh.session_folders()
            run = lh.run_launcher("--check-only", "--report", harness.windows_path(ws.path("r.json")), workspace=ws)
            self.assertEqual(run.exit_code, 0, run)
            self.assertIsNone(run.box)
            report = ws.report("r.json")
            self.assertEqual(list(report), harness.REPORT_MEMBERS)
            self.assertEqual(report["exitCode"], "0x00000000")
            self.assertEqual([e["type"] for e in report["events"]], ["checking", "checked"])
            # A new private session folder; the worker file is deleted when the session ends.
            new = lh.session_folders() - before
            self.assertEqual(len(new), 1, new)
            folder = new.pop()
            self.assertRegex(folder.name, r"^\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$")
            self.assertEqual(list(folder.iterdir()), [])

    def test_controls_that_cannot_be_created_fail_the_start_before_any_worker(self):
        with harness.Workspace() as ws:
            before = lh.session_folders()
            run = lh.run_launcher("--check-only", workspace=ws, env={"TAVO_TEST_HOOK_FAIL_CONTROLS": "1"})
            self.assertEqual(run.exit_code, 0x80070008, run)  # the cause, not a window that half works
            self.assertEqual(lh.session_folders() - before, set(), "no worker session was started")

    def test_a_short_worker_write_fails_the_start_and_leaves_no_worker_file(self):
        with harness.Workspace() as ws:
            before = lh.session_folders()
            run = lh.run_launcher("--check-only", workspace=ws, env={"TAVO_TEST_HOOK_WORKER_WRITE_LIMIT": "4096"})
            self.assertEqual(run.exit_code, 0xA0041202, run)
            folder = (lh.session_folders() - before).pop()
            self.assertNotIn("Tavo.Deploy.exe", [p.name for p in folder.iterdir()])

    def test_without_report_the_session_folder_holds_it(self):
        with harness.Workspace() as ws:
            before = lh.session_folders()
            run = lh.run_launcher("--check-only", workspace=ws)
            self.assertEqual(run.exit_code, 0, run)
            folder = (lh.session_folders() - before).pop()
            self.assertEqual(sorted(p.name for p in folder.iterdir()), ["install.json", "install.json.trace.jsonl"])

    def test_failing_worker_code_is_the_exit_code(self):
        with harness.Workspace() as ws, harness.service("AppXSvc", "disabled"):
            direct = harness.run_worker("--check", "--report", harness.windows_path(ws.path("w.json")))
            self.assertNotEqual(direct.exit_code, 0, direct)
            run = lh.run_launcher("--check-only", "--report", harness.windows_path(ws.path("r.json")), workspace=ws)
            self.assertEqual(run.exit_code, direct.exit_code, run)
            self.assertEqual(ws.report("r.json")["exitCode"], harness.hex8(direct.exit_code))

    def test_report_path_ending_in_a_backslash_reaches_the_worker_whole(self):
        # The report path is a folder given with a trailing backslash: the worker must
        # receive exactly that path (and fail to write to a folder), not a path whose
        # closing quote was swallowed.
        with harness.Workspace() as ws:
            ws.path("folder").mkdir()
            path = harness.windows_path(ws.path("folder")) + "\\"
            direct = harness.run_worker("--check", "--report", path)
            self.assertNotEqual(direct.exit_code, 0, direct)
            run = lh.run_launcher("--check-only", "--report", path, workspace=ws)
            self.assertEqual(run.exit_code, direct.exit_code, run)
            # The trace sidecar is the report path + ".trace.jsonl": inside the folder.
            self.assertEqual([p.name for p in ws.path("folder").iterdir()], [".trace.jsonl"])


class LauncherWorkerFile(unittest.TestCase):
    """The worker travels packed and every session writes it out whole, or not
    at all."""

    def test_the_release_launcher_writes_the_signed_worker_byte_for_byte(self):
        with harness.Workspace() as ws:
            written = ws.path("Tavo.Deploy.exe")
            harness.wine(harness.PROGRAMS["TAVO_WRITE_WORKER"], harness.PROGRAMS["TAVO_RELEASE_LAUNCHER"],
                         harness.windows_path(written))
            self.assertEqual(written.read_bytes(), pathlib.Path(harness.PROGRAMS["TAVO_RELEASE_WORKER"]).read_bytes())

    def test_a_damaged_worker_resource_fails_the_preparation_and_writes_no_worker(self):
        original = pathlib.Path(harness.PROGRAMS["TAVO_LAUNCHER"]).read_bytes()
        packed = pe.PeFile(original).resource(pe.RT_RCDATA, WORKER_RESOURCE)
        start = original.find(packed)
        stated = struct.unpack_from("<I", packed, 4)[0]
        damages = {
            "one byte of the stream changed": (start + len(packed) // 2, bytes([packed[len(packed) // 2] ^ 0x20])),
            # What a cut stream looks like to the launcher: it ends before the size it promised.
            "a stream shorter than its stated size": (start + 4, struct.pack("<I", stated + 1)),
        }
        with harness.Workspace() as ws:
            for name, (offset, replacement) in damages.items():
                with self.subTest(name):
                    damaged = bytearray(original)
                    damaged[offset:offset + len(replacement)] = replacement
                    launcher = ws.path("TavoSetup-damaged.exe")
                    launcher.write_bytes(damaged)
                    before = lh.session_folders()
                    run = lh.run_launcher("--check-only", "--report", harness.windows_path(ws.path("r.json")),
                                          workspace=ws, launcher=launcher)
                    self.assertEqual(run.exit_code, 0x8007000D, run)  # ERROR_INVALID_DATA
                    self.assertIsNone(run.box, run)
                    folder = (lh.session_folders() - before).pop()
                    self.assertEqual(list(folder.iterdir()), [], "a worker file was written")
                    report = ws.report("r.json")
                    self.assertEqual(report["exitCode"], "0x8007000D")
                    self.assertEqual([e["id"] for e in report["errors"]], ["launcher.prepare_worker"])


class LauncherVisitorId(unittest.TestCase):
    """Install runs read the visitor id that the distribution channel stamped
    into the launcher's own file and hand it to the worker. The stamped files
    are copies of this build's launcher (tests/tools/visitor_marker_files.py);
    a fake worker records the argument vector it was started with."""

    MARKED = pathlib.Path(harness.PROGRAMS["TAVO_VISITOR_MARKER_FILES"])

    def install_arguments(self, launcher):
        return lh.worker_arguments(launcher)

    def test_a_stamped_id_is_passed_to_the_worker(self):
        self.assertEqual(self.install_arguments(self.MARKED / "pe32plus_TavoSetup.once.exe"),
                         ["--visitor-id", "vis_0123456789abcdef0123456789abcdef"])
        self.assertEqual(self.install_arguments(self.MARKED / "pe32plus_TavoSetup.once_vst.exe"),
                         ["--visitor-id", "vst_fedcba9876543210fedcba9876543210"])

    def test_no_id_is_passed_without_exactly_one_valid_marker(self):
        for name in ("none", "twice_different", "upper_case_id", "truncated_table"):
            with self.subTest(name=name):
                self.assertEqual(self.install_arguments(self.MARKED / ("pe32plus_TavoSetup.%s.exe" % name)), [])
        self.assertEqual(self.install_arguments(harness.PROGRAMS["TAVO_LAUNCHER"]), [], "the unstamped launcher")

    def test_a_stamped_id_starts_the_installer_profile_before_the_worker_reports(self):
        profile = lh.SESSIONS.parent / "profile-id"
        profile.unlink(missing_ok=True)
        with harness.Workspace() as ws, lh.running(
                "--install", env=lh.fake_worker_env("invalid_utf8.txt", gates=ws.dir),
                launcher=self.MARKED / "pe32plus_TavoSetup.once.exe"):
            # The worker is held on its first line: no outcome, so no telemetry has read the profile yet.
            lh.driver("wait-window", 20000, "wait-status", "loading", 60000)
            self.assertEqual(profile.read_bytes(), b"vis_0123456789abcdef0123456789abcdef")
            lh.open_gate(ws.dir, "read")
            lh.driver("wait-status", "Windows couldn't finish the installation", 60000, "close", "wait-gone", 15000)

    def test_a_check_run_does_not_read_the_id(self):
        with harness.Workspace() as ws:
            record = ws.path("args.txt")
            report = harness.windows_path(ws.path("r.json"))
            run = lh.run_launcher("--check-only", "--report", report, workspace=ws,
                                  env=lh.fake_worker_env("silent.txt", record),
                                  launcher=self.MARKED / "pe32plus_TavoSetup.once.exe")
            self.assertEqual(run.exit_code, 0x80070005, run)
            self.assertEqual(record.read_text(encoding="utf-8").splitlines()[1:], ["--check", "--report", report])


OLD_WINDOWS_MESSAGE = ("Tavo needs Windows 10 version 2004 or later. Update Windows, then come back and make "
                       "something great.")
FALLBACK_MEMBERS = [
    "schemaVersion", "buildHash", "verbose", "windowsBuild", "windowsVersion", "nativeArchitecture", "exitCode",
    "registered", "packageFullName", "appInstallerUri", "desktopAppInstallerVersion", "activityId",
    "updateSettingsInspectable", "automaticBackgroundTask", "message", "diagnosticDetail", "errors", "events",
]


class LauncherGate(unittest.TestCase):
    def test_refused_check_run_writes_the_fallback_report(self):
        with harness.Workspace() as ws, harness.windows_build(18363):
            before = lh.session_folders()
            run = lh.run_launcher("--check-only", "--verbose", "--report", harness.windows_path(ws.path("r.json")),
                                  workspace=ws)
            self.assertEqual(run.exit_code, 0x8007047E, run)
            self.assertIsNone(run.box)
            self.assertEqual(lh.session_folders(), before, "a refused PC must get no worker session")
            report = ws.report("r.json")
            self.assertEqual(list(report), FALLBACK_MEMBERS)
            self.assertIs(report["verbose"], True)
            self.assertEqual(report["windowsBuild"], 18363)
            self.assertEqual(report["exitCode"], "0x8007047E")
            self.assertEqual(report["message"], OLD_WINDOWS_MESSAGE)
            self.assertEqual(report["events"], [])
            [record] = report["errors"]
            self.assertEqual(record["id"], "compatibility.unsupported_host", record)
            self.assertEqual(record["code"], "0x8007047E", record)
            self.assertIn("windowsVersion=Windows 10 (build 18363); nativeArchitecture=x64; avxAvailable=",
                          report["diagnosticDetail"])
            self.assertFalse(ws.path("r.json.tmp").exists())

    def test_refused_check_run_without_report_writes_nothing(self):
        with harness.Workspace() as ws, harness.windows_build(19040):
            run = lh.run_launcher("--check-only", workspace=ws)
            self.assertEqual(run.exit_code, 0x8007047E, run)
            self.assertEqual([p.name for p in ws.dir.iterdir()], [])


if __name__ == "__main__":
    unittest.main()
