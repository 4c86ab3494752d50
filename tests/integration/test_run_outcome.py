"""How the worker ends a run whose stage fails."""

import unittest

import harness

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


if __name__ == "__main__":
    unittest.main()
