"""Report and trace sidecar paths that cannot be written."""

import unittest

import harness

SAVE_TITLE = "Couldn't save setup details"
SAVE_DETAIL = ("We couldn't save the diagnostic log. "
               "Check that the report folder exists and is writable, then try again.")
WRITE_FAILED_TITLE = "Diagnostic log write failed"


class UnwritableReport(unittest.TestCase):
    def check_write_failure(self, run, report_path):
        """The two report-failure events after the stage's own, and their code as the exit code."""
        self.assertNotIn("report_ready", run.types, run)
        save = run.only("error", SAVE_TITLE)
        code = int(save.code, 16)
        self.assertTrue(code & 0x80000000 and code != 0, run)
        self.assertEqual(run.exit_code, code, run)
        self.assertEqual(save.detail, SAVE_DETAIL)
        position = run.events.index(save)
        self.assertEqual(run.types[position - 2:position], ["checking", "checked"], run)
        self.assertEqual(run.events[position + 1],
                         harness.Event("diagnostic", -1, WRITE_FAILED_TITLE,
                                       "Report path: %s. Original setup result: 0x00000000" % report_path,
                                       save.code))
        self.assertEqual(run.only("diagnostic", "report.write_failed").code, save.code)
        return code

    def test_missing_folder(self):
        with harness.Workspace() as ws:
            report_path = harness.windows_path(ws.path("absent") / "install.json")
            run = harness.run_worker("--check", "--report", report_path)
            self.assertEqual(self.check_write_failure(run, report_path), 0x80070003)
            # The sidecar beside it cannot be created either: recorded once, the run went on.
            self.assertEqual(run.only("diagnostic", "logging.trace_write_failed").code, "0x80070003")
            self.assertFalse(ws.path("absent").exists())

    def test_existing_directory_leaves_no_tmp(self):
        with harness.Workspace() as ws:
            ws.path("install.json").mkdir()
            report_path = harness.windows_path(ws.path("install.json"))
            run = harness.run_worker("--check", "--report", report_path)
            self.check_write_failure(run, report_path)
            self.assertTrue(ws.path("install.json").is_dir())
            self.assertEqual(list(ws.path("install.json").iterdir()), [])
            self.assertFalse(ws.path("install.json.tmp").exists(), "the .tmp file was left behind")


class UnwritableTraceSidecar(unittest.TestCase):
    def test_recorded_once_and_run_goes_on(self):
        with harness.Workspace() as ws:
            ws.path("install.json.trace.jsonl").mkdir()
            run = harness.run_worker("--check", "--report", harness.windows_path(ws.path("install.json")))
            self.assertEqual(run.exit_code, 0, run)
            self.assertEqual([t for t in run.types if t != "diagnostic"], ["checking", "checked", "report_ready"],
                             run)
            self.assertEqual(run.only("diagnostic").title, "logging.trace_write_failed")
            records = ws.report()["errors"]
            self.assertEqual([r["id"] for r in records], ["logging.trace_write_failed"])
            self.assertEqual(records[0]["nativeDomain"], "Win32")
            self.assertEqual(records[0]["code"], harness.hex8(0x80070000 | records[0]["nativeCode"]))


if __name__ == "__main__":
    unittest.main()
