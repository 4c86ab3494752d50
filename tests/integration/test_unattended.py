"""Setups that IT deploys: --silent (no window, no box, the exit code is the
outcome) and --passive (the progress, no question, closing by itself), and the
account check that makes every install run install for the person at the
desktop (forced facts: Wine has one account and no other shell)."""

import pathlib
import unittest

import harness
import launcher_harness as lh
from test_install_run import descriptor, package_host

STABLE_REPORT = lh.SESSIONS.parent / "last-install.json"


def no_install(ws):
    """A scenario without Tavo Studio installed (the simulated platform keeps
    the install a run made beside the scenario)."""
    ws.path("scenario.json.state.json").unlink(missing_ok=True)
    return ws.scenario({})
WRONG_ACCOUNT = "Run Tavo Studio Setup as the person who will use Tavo Studio."


class Unattended(unittest.TestCase):
    def setUp(self):
        self.host = package_host.PackageHost()
        self.host.script(body=descriptor())
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)
        self.shown = self.ws.path("shown.txt")
        self.opened = self.ws.path("activations.txt")

    def env(self, **more):
        scenario = self.ws.path("scenario.json")
        if not scenario.exists():  # kept across runs, with the install it records
            self.ws.scenario({})
        return {"TAVO_SIM_SCENARIO": harness.windows_path(scenario),
                "TAVO_TEST_HOOK_SHOWN_FILE": harness.windows_path(self.shown),
                "TAVO_FAKE_ACTIVATION_RECORD": harness.windows_path(self.opened), **more}

    def silent(self, *args, **env):
        return lh.run_launcher("--silent", *args, workspace=self.ws, env=self.env(**env))

    def assertNothingShownOrOpened(self, run):
        self.assertIsNone(run.box, run)
        self.assertFalse(self.shown.exists(), "a window was shown")
        self.assertFalse(self.opened.exists() and self.opened.read_text(), "the application was opened")

    def test_silent_runs_end_with_their_outcome_and_a_report_without_a_window(self):
        report = harness.windows_path(self.ws.path("r.json"))
        with self.subTest("install, with --install too"):
            for args in (("--install",), ()):
                run = self.silent(*args, "--report", report)
                self.assertEqual(run.exit_code, 0, run)
                self.assertNothingShownOrOpened(run)
                self.assertEqual(self.ws.report("r.json")["exitCode"], "0x00000000")
            # The scenario keeps its state: without --install the second run found the install.
            self.assertIn("installed", [e["type"] for e in self.ws.report("r.json")["events"]])
        with self.subTest("without --report the report is findable"):
            STABLE_REPORT.unlink(missing_ok=True)
            run = self.silent()
            self.assertEqual(run.exit_code, 0, run)
            self.assertEqual(harness.load_json(STABLE_REPORT.read_text(encoding="utf-8"))["exitCode"], "0x00000000")
            self.assertTrue(pathlib.Path(str(STABLE_REPORT) + ".trace.jsonl").exists())
        with self.subTest("a failing descriptor"):
            no_install(self.ws)
            self.host.script(status=404, body="missing")
            run = self.silent("--report", report)
            self.assertEqual(run.exit_code, 0xA0041101, run)
            self.assertEqual(self.ws.report("r.json")["exitCode"], "0xA0041101")
        with self.subTest("a refused PC"):
            with harness.windows_build(18363):
                run = self.silent("--report", report)
            self.assertEqual(run.exit_code, 0x8007047E, run)
            self.assertEqual(self.ws.report("r.json")["exitCode"], "0x8007047E")
        with self.subTest("an unknown option: 87 without the usage box"):
            run = self.silent("--bogus")
            self.assertEqual(run.exit_code, 87, run)
        self.assertNothingShownOrOpened(run)

    def test_a_silent_run_beside_a_running_setup_gives_way_at_once(self):
        with lh.running("--install", env=lh.fake_worker_env("invalid_utf8.txt", gates=self.ws.dir)):
            lh.driver("wait-window", 20000, "wait-status", "loading", 60000)
            run = self.silent("--report", harness.windows_path(self.ws.path("second.json")))
            self.assertEqual(run.exit_code, 0x80070652, run)
            self.assertEqual([r["id"] for r in self.ws.report("second.json")["errors"]],
                             ["launcher.setup_already_running"])
            lh.open_gate(self.ws.dir, "read")
            lh.driver("wait-status", "Windows couldn't finish the installation", 60000, "close", "wait-gone", 15000)

    def test_passive_runs_show_the_progress_and_close_by_themselves(self):
        for name, script, code, outcome in (
                ("success", dict(body=descriptor()), 0, "Tavo Studio is installed and updates automatically."),
                ("error", dict(status=404, body="missing"), 0xA0041101, "The App Installer descriptor returned HTTP 404")):
            with self.subTest(name):
                self.host.script(**script)
                no_install(self.ws)
                self.shown.unlink(missing_ok=True)
                with lh.running("--passive", "--report", harness.windows_path(self.ws.path("p.json")),
                                env=self.env()) as launched:
                    # Nobody touches the window: it shows the outcome, then goes by itself.
                    lh.driver("wait-window", 20000, "wait-status", outcome, 60000, "wait-gone", 60000)
                self.assertEqual(launched.run.exit_code, code, launched.run)
                self.assertEqual(self.shown.read_text(), "shown\n")
                self.assertFalse(self.opened.exists() and self.opened.read_text(), "the application was opened")


class DesktopAccount(unittest.TestCase):
    def setUp(self):
        self.host = package_host.PackageHost()
        self.host.script(body=descriptor())
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)

    def run_as(self, facts, *args, **env):
        return lh.run_launcher(*args, workspace=self.ws,
                               env={"TAVO_SIM_SCENARIO": harness.windows_path(no_install(self.ws)),
                                    "TAVO_TEST_HOOK_ACCOUNT_FACTS": facts, **env})

    def test_another_account_starts_setup_again_for_the_desktop_user_and_ends_with_its_code(self):
        report = harness.windows_path(self.ws.path("r.json"))
        for facts in ("other,full", "other,default"):
            with self.subTest(facts):
                self.host.script(body=descriptor())
                run = self.run_as(facts, "--silent", "--report", report)
                self.assertEqual(run.exit_code, 0, run)
                # The relaunched setup installed: the first one installs nothing itself.
                self.assertEqual(self.ws.report("r.json")["exitCode"], "0x00000000")
                self.host.script(status=404, body="missing")
                run = self.run_as(facts, "--silent", "--report", report)
                self.assertEqual(run.exit_code, 0xA0041101, run)

    def test_no_desktop_or_a_failed_relaunch_is_refused_before_anything_is_written(self):
        for name, facts, env in (("no shell", "none,full", {}),
                                 ("relaunch fails", "other,full", {"TAVO_TEST_HOOK_RELAUNCH_FAILS": "1"})):
            with self.subTest(name):
                before = lh.session_folders()
                run = self.run_as(facts, "--silent", "--report", harness.windows_path(self.ws.path("r.json")), **env)
                self.assertEqual((run.exit_code, run.box), (0xA0041207, None), run)
                self.assertEqual(lh.session_folders(), before, "a session was started")
                report = self.ws.report("r.json")
                self.assertEqual((report["exitCode"], report["message"]), ("0xA0041207", WRONG_ACCOUNT))
        self.assertEqual([r["id"] for r in report["errors"]], ["launcher.relaunch_for_desktop_user"])
        # Windowed, a failed relaunch says why on the error screen, without "Try again".
        env = {"TAVO_SIM_SCENARIO": harness.windows_path(self.ws.scenario({})),
               "TAVO_TEST_HOOK_ACCOUNT_FACTS": "other,full", "TAVO_TEST_HOOK_RELAUNCH_FAILS": "1"}
        with lh.running(env=env) as launched:
            screen = lh.driver("wait-window", 20000, "wait-status", WRONG_ACCOUNT, 30000, "control", 1001)
            self.assertFalse(screen["control"][0]["visible"], screen)
            lh.driver("close", "wait-gone", 15000)
        self.assertEqual(launched.run.exit_code, 0xA0041207, launched.run)


if __name__ == "__main__":
    unittest.main()
