"""One setup at a time, and telemetry switched off by IT's policy."""

import pathlib
import unittest

import harness
import launcher_harness as lh
from test_install_run import descriptor, package_host

POLICY_KEY = r"Software\Policies\Tavo\Installer"
PROFILE = lh.SESSIONS.parent / "profile-id"
ALREADY_RUNNING = "Another installation is already in progress. Wait for Windows to finish it, then try again."


class OneSetup(unittest.TestCase):
    def test_a_second_install_run_brings_the_first_forward_and_gives_way(self):
        with harness.Workspace() as ws, lh.running(
                "--install", env=lh.fake_worker_env("invalid_utf8.txt", gates=ws.dir)) as first:
            # The first setup waits on its worker, minimised.
            lh.driver("wait-window", 20000, "wait-status", "loading", 60000, "command", 1004, "iconic")
            before = lh.session_folders()
            second = lh.run_launcher("--install", "--report", harness.windows_path(ws.path("second.json")),
                                     workspace=ws)
            self.assertEqual((second.exit_code, second.box), (0x80070652, None), second)
            self.assertEqual(lh.session_folders(), before, "the second run made a session")
            # The report it was asked for says why it gave way.
            report = ws.report("second.json")
            self.assertEqual((report["exitCode"], report["message"]), ("0x80070652", ALREADY_RUNNING))
            self.assertEqual([r["id"] for r in report["errors"]], ["launcher.setup_already_running"])
            shown = lh.driver("wait-restored", 20000, "foreground", "status")
            self.assertEqual(shown["foreground"], [True])
            self.assertIn("loading", shown["status"][0], "the first setup's own window")
            # A check run beside it never waits for the lock.
            check = lh.run_launcher("--check-only", "--report", harness.windows_path(ws.path("check.json")),
                                    workspace=ws)
            self.assertEqual(check.exit_code, 0, check)
            lh.open_gate(ws.dir, "read")
            lh.driver("wait-status", "Windows couldn't finish the installation", 60000, "close", "wait-gone", 15000)
        self.assertEqual(first.run.exit_code, 0x8000FFFF, first.run)  # the fake ended without an outcome


class TelemetryPolicy(unittest.TestCase):
    def setUp(self):
        self.host = package_host.PackageHost()
        self.host.script(body=descriptor())
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)

    def install(self, root, kind, data):
        """A worker install run with the policy value set, then removed."""
        PROFILE.unlink(missing_ok=True)
        key = root + "\\" + POLICY_KEY
        harness.wine("reg", "add", key, "/v", "TelemetryDisabled", "/t", kind, "/d", data, "/f")
        try:
            run = harness.run_worker("--install", "--report", harness.windows_path(self.ws.path("install.json")),
                                     scenario=self.ws.scenario({}))
        finally:
            harness.wine("reg", "delete", key, "/f")
        self.assertEqual(run.exit_code, 0, run)
        return self.ws.report()

    def test_a_machine_or_user_value_turns_telemetry_off(self):
        for root in ("HKLM", "HKCU"):
            with self.subTest(root=root):
                report = self.install(root, "REG_DWORD", "1")
                self.assertEqual(self.host.telemetry_posts(), [])
                self.assertFalse(PROFILE.exists(), "a profile was made with telemetry off")
                uma = report["uma"]
                self.assertEqual((uma["attempted"], uma["sentEvents"]), (False, 0))
                self.assertIn("disabled by policy", uma["operation"])
                [result] = [e for e in report["verificationTrace"] if e["operation"] == "telemetry.result"]
                self.assertIn("TelemetryDisabled", result["detail"])
                self.host.script(body=descriptor())  # clears the request log

    def test_the_launcher_posts_nothing_and_makes_no_profile_with_the_policy_set(self):
        # A refused PC in an install run posts "unsupported" without the policy,
        # and a stamped launcher makes its profile from the visitor id at start.
        stamped = pathlib.Path(harness.PROGRAMS["TAVO_VISITOR_MARKER_FILES"]) / "pe32plus_TavoSetup.once.exe"
        PROFILE.unlink(missing_ok=True)
        key = "HKCU\\" + POLICY_KEY
        harness.wine("reg", "add", key, "/v", "TelemetryDisabled", "/t", "REG_DWORD", "/d", "1", "/f")
        try:
            with harness.windows_build(18363), lh.running(launcher=stamped) as launched:
                lh.driver("wait-window", 20000, "close", "wait-gone", 15000)
        finally:
            harness.wine("reg", "delete", key, "/f")
        self.assertEqual(launched.run.exit_code, 0x8007047E, launched.run)
        self.assertEqual(self.host.telemetry_posts(), [])
        self.assertFalse(PROFILE.exists(), "the launcher made a profile with telemetry off")

    def test_a_value_of_another_type_is_not_a_policy(self):
        report = self.install("HKLM", "REG_SZ", "1")
        self.assertEqual(len(self.host.telemetry_posts()), 1)
        self.assertTrue(report["uma"]["attempted"])
        self.assertTrue(PROFILE.exists())


if __name__ == "__main__":
    unittest.main()
