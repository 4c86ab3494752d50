"""A passing `--check` run: its events, report and trace sidecar."""

import shutil
import unittest

import harness

NO_APP_INSTALLER = "Windows package deployment is available. App Installer UI isn't installed."
# Kept without --verbose whatever their phase.
KEPT_OPERATIONS = {"preflight.download_service.DoSvc", "preflight.system_disk", "worker.start",
                   "deployment.result", "telemetry.result"}


def passing_events():
    return [
        harness.Event("checking", -1, "Checking your Windows setup", "A quick check before we get started.",
                      "0x00000000"),
        harness.Event("checked", 0, "Your PC is ready", NO_APP_INSTALLER, "0x00000000"),
        harness.Event("report_ready", -1, "", "", "0x00000000"),
    ]


def kept_without_verbose(entry):
    return (entry["phase"] == "error" or entry["operation"].startswith("verification.")
            or entry["operation"] in KEPT_OPERATIONS)


class CheckRun(unittest.TestCase):
    def test_passes_with_report_and_trace(self):
        with harness.Workspace() as ws:
            run = harness.run_worker("--check", "--report", harness.windows_path(ws.path("install.json")))
            self.assertEqual(run.exit_code, 0, run)
            self.assertEqual(run.events, passing_events(), run)

            # Every top-level member on its own line, in order.
            text = ws.report_text()
            lines = text.split("\n")
            self.assertEqual(lines[0], "{")
            self.assertEqual(lines[-2:], ["}", ""])
            members = lines[1:-2]
            self.assertEqual(len(members), len(harness.REPORT_MEMBERS))
            for line, key in zip(members, harness.REPORT_MEMBERS):
                self.assertTrue(line.startswith('"%s":' % key), line)
                self.assertEqual(line.endswith(","), key != harness.REPORT_MEMBERS[-1], line)

            report = ws.report()
            self.assertEqual(list(report), harness.REPORT_MEMBERS)
            self.assertEqual(report["schemaVersion"], 1)
            self.assertRegex(report["buildHash"], r"^[0-9a-f]{40}$")
            self.assertIs(report["verbose"], False)
            self.assertEqual(report["windowsBuild"], harness.BASELINE_BUILD)
            self.assertEqual(report["windowsVersion"], "Windows 10 (build %d)" % harness.BASELINE_BUILD)
            self.assertEqual(report["nativeArchitecture"], "x64")
            self.assertEqual(report["exitCode"], "0x00000000")
            self.assertEqual(report["desktopAppInstallerVersion"], "")
            self.assertEqual(report["errors"], [])
            self.assertIs(report["uma"]["attempted"], False)  # check runs send no telemetry
            # The report is written before report_ready, so it holds the events before it.
            self.assertEqual(report["events"], [e._asdict() for e in run.events[:-1]])

            trace = ws.trace()
            self.assertTrue(trace, "empty trace sidecar")
            for entry in trace:
                self.assertEqual(list(entry)[:len(harness.TRACE_ENTRY_MEMBERS)], harness.TRACE_ENTRY_MEMBERS)
                self.assertTrue(kept_without_verbose(entry), entry)
            elapsed = [entry["elapsedMs"] for entry in trace]
            self.assertEqual(elapsed, sorted(elapsed))
            operations = [entry["operation"] for entry in trace]
            for operation in ("worker.start", "preflight.download_service.DoSvc", "preflight.system_disk"):
                self.assertIn(operation, operations)
            self.assertEqual(trace, report["verificationTrace"])
            dosvc = next(e for e in trace if e["operation"] == "preflight.download_service.DoSvc")
            self.assertEqual(dosvc["detail"], "available=true")
            start = next(e for e in trace if e["operation"] == "worker.start")
            self.assertRegex(start["detail"], r"^buildHash=%s; processId=\d+; windowsVersion=Windows 10 "
                             r"\(build 19045\); verbose=false$" % report["buildHash"])

    def test_verbose_keeps_begin_entries(self):
        with harness.Workspace() as ws:
            run = harness.run_worker("--check", "--verbose", "--report",
                                     harness.windows_path(ws.path("install.json")))
            self.assertEqual(run.exit_code, 0, run)
            report, trace = ws.report(), ws.trace()
            self.assertIs(report["verbose"], True)
            self.assertEqual(trace, report["verificationTrace"])
            begins = [e["operation"] for e in trace if e["phase"] == "begin"]
            self.assertIn("preflight", begins)
            self.assertTrue(any(not kept_without_verbose(e) for e in trace))

    def test_open_existing_accepted(self):
        with harness.Workspace() as ws:
            run = harness.run_worker("--check", "--open-existing", "--report",
                                     harness.windows_path(ws.path("install.json")))
            self.assertEqual(run.exit_code, 0, run)
            self.assertEqual(run.events, passing_events(), run)

    def test_lower_case_visitor_id_accepted(self):
        run = harness.run_worker("--check", "--visitor-id", "vis_" + "0123456789abcdef" * 2)
        self.assertEqual(run.exit_code, 0, run)
        self.assertEqual(run.events, passing_events(), run)

    def test_without_report_still_reports_ready(self):
        with harness.Workspace() as ws:
            # A copy of the worker in a folder of its own, as in a launcher's session folder.
            worker = ws.path("Tavo.Deploy.exe")
            shutil.copyfile(harness.PROGRAMS["TAVO_WORKER"], worker)
            run = harness.run_worker("--check", worker=worker, cwd=ws.dir)
            self.assertEqual(run.exit_code, 0, run)
            self.assertEqual(run.events, passing_events(), run)
            self.assertEqual(sorted(p.name for p in ws.dir.rglob("*")), ["Tavo.Deploy.exe"])

    def test_input_at_end_of_file_does_not_cancel(self):
        run = harness.run_worker("--check", runner_options=["--stdin-nul"])
        self.assertEqual(run.exit_code, 0, run)
        self.assertEqual(run.events, passing_events(), run)


if __name__ == "__main__":
    unittest.main()
