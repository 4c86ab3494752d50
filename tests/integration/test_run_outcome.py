"""How the worker ends a run whose stage fails."""

import unittest

import harness

SUCCESS_TYPES = {"success", "installed", "launch"}


class RunOutcome(unittest.TestCase):
    def test_standard_exception_gives_unexpected_exception(self):
        with harness.Workspace() as ws:
            run = harness.run_worker("--check", "--report", harness.windows_path(ws.path("install.json")),
                                     env={"TAVO_TEST_HOOK_THROW": "std"})
            self.assertEqual(run.exit_code, 0xA0041201, run)
            error = run.only("error")
            self.assertEqual((error.percent, error.title, error.code), (-1, "Let's get this sorted", "0xA0041201"))
            self.assertEqual(run.only("diagnostic").title, "installer.unexpected_exception")
            self.assertEqual(run.types[-1], "report_ready", run)
            report = ws.report()
            self.assertEqual(report["exitCode"], "0xA0041201")
            self.assertEqual([(r["id"], r["code"]) for r in report["errors"]],
                             [("installer.unexpected_exception", "0xA0041201")])

    def test_install_never_claims_success(self):
        with harness.Workspace() as ws:
            run = harness.run_worker("--install", "--report", harness.windows_path(ws.path("install.json")))
            self.assertNotEqual(run.exit_code, 0, run)
            self.assertFalse(SUCCESS_TYPES & set(run.types), run)
            terminal = [e for e in run.events if e.type in ("error", "cancelled")]
            self.assertEqual([e.type for e in terminal][:1], ["error"], run)
            self.assertEqual(terminal[0].code, harness.hex8(run.exit_code), run)
            report = ws.report()
            self.assertEqual(report["exitCode"], harness.hex8(run.exit_code))
            self.assertIn(harness.hex8(run.exit_code), [r["code"] for r in report["errors"]], report["errors"])


if __name__ == "__main__":
    unittest.main()
