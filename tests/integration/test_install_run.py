"""The worker's install run end to end: the loopback package host serves the
descriptor, the simulated platform deploys and verifies the package."""

import pathlib
import sys
import unittest

import harness

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "hosts"))
import package_host  # noqa: E402

DESCRIPTORS = pathlib.Path(__file__).resolve().parents[1] / "data" / "descriptors"
PUBLISHER = ('CN="Tavo Studio Inc.", O="Tavo Studio Inc.", S=Delaware, C=US, OID.2.5.4.15=Private Organization, '
             'OID.1.3.6.1.4.1.311.60.2.1.2=Delaware, OID.1.3.6.1.4.1.311.60.2.1.3=US, SERIALNUMBER=0000000')
FAMILY = "TavoStudioInc.TavoStudio_5x0tavosim7qr"
VERIFY_GAVE_UP = ("Tavo was installed, but setup couldn't verify its update registration. Run setup again, or "
                  "repair Tavo Studio in Windows Settings under Apps.")


def descriptor(name="accepted_namespace_2017_2.appinstaller"):
    text = (DESCRIPTORS / name).read_text(encoding="utf-8")
    escaped = PUBLISHER.replace("&", "&amp;").replace('"', "&quot;")
    return text.replace("{{PUBLISHER}}", escaped)


class InstallRunCase(unittest.TestCase):
    """A test folder, a package host serving a valid descriptor, and install runs."""

    def setUp(self):
        self.host = package_host.PackageHost()
        self.host.script(status=200, body=descriptor())
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)
        self.report_path = harness.windows_path(self.ws.path("install.json"))

    def install(self, scenario, *extra, runner_options=()):
        path = self.ws.scenario(scenario)
        return harness.run_worker("--install", *extra, "--report", self.report_path, scenario=path,
                                  runner_options=runner_options)

    def trace_entries(self, operation, phase=None):
        return [e for e in self.ws.trace() if e["operation"] == operation and (phase is None or e["phase"] == phase)]


class InstallRun(InstallRunCase):
    def test_fresh_install_then_existing_install_found(self):
        scenario = {"deployment": {"attempts": [{"progress": [0, 0, 5, 5, 10, 60, 100]}]}}
        run = self.install(scenario, "--open-existing")
        self.assertEqual(run.exit_code, 0, run)
        self.assertEqual(run.types, ["diagnostic", "checking", "checked", "preparing", "installing", "installing",
                                     "installing", "installing", "installing", "verifying", "launch", "success",
                                     "report_ready"], run)
        self.assertEqual(run.events[0].title, "existing.package_not_present")
        self.assertEqual([e.percent for e in run.events if e.type == "installing"], [0, 5, 10, 60, 100])
        self.assertEqual(run.only("launch").detail, FAMILY + "!TavoStudio")
        report = self.ws.report()
        self.assertTrue(report["registered"])
        self.assertEqual(report["appInstallerUri"], "https://localhost/TavoStudio.appinstaller")
        self.assertTrue(report["verification"]["verified"])
        self.assertEqual(report["verification"]["mode"], "post_deployment")
        self.assertEqual(report["errors"], [])
        self.assertEqual((report["deployment"]["serviceSnapshot"], report["deployment"]["appxLogQueryAttempts"]),
                         ([], 0), "a successful install collects nothing")
        self.assertTrue(report["uma"]["attempted"])
        self.assertTrue(report["uma"]["configured"])
        self.assertEqual(self.host.requests()[0]["path"], "/TavoStudio.appinstaller")

        again = self.install(scenario, "--open-existing")
        self.assertEqual(again.exit_code, 0, again)
        self.assertEqual(again.types, ["launch", "installed", "report_ready"], again)
        self.assertEqual(again.only("launch").detail, FAMILY + "!TavoStudio")
        self.assertEqual(self.ws.report()["verification"]["mode"], "existing_probe")

    def test_download_failures_end_the_run_with_their_codes(self):
        cases = [
            (dict(status=404, body="missing"), 0xA0041101, "descriptor.http_status"),
            (dict(status=302, body="", headers={"Location": "https://localhost/elsewhere"}), 0xA0041101,
             "descriptor.http_status"),
            (dict(status=200, body="x", content_length="262145"), 0xA0041102, "descriptor.content_length_exceeded"),
            (dict(status=200, body_length=262145, content_length="none"), 0xA0041103,
             "descriptor.body_size_exceeded"),
            (dict(status=200, body=descriptor(), certificate="untrusted"), 0x80072F7D, "descriptor.send_request"),
            (dict(status=200, body=descriptor("identity_uri_other_host.appinstaller")), 0xA0041106,
             "descriptor.identity_invalid"),
            (dict(status=200, body=descriptor("required_missing_empty_update_settings_2021.appinstaller")),
             0xA004110C, "descriptor.required_elements_missing"),
            # XmlLite refuses the DOCTYPE of a captive portal's page before reading on.
            (dict(status=200, body=descriptor("xml_captive_portal_doctype.html")), 0xC00CEE4F,
             "descriptor.xml_parse_error"),
        ]
        for script, code, operation in cases:
            with self.subTest(operation=operation, code=hex(code)):
                self.host.script(**script)
                run = self.install({})
                self.assertEqual(run.exit_code, code, run)
                self.assertEqual(run.only("error").code, harness.hex8(code), run)
                self.assertNotIn("installing", run.types)
                report = self.ws.report()
                # The untrusted certificate also fails the telemetry post to the same host.
                stage_errors = [r["id"] for r in report["errors"] if not r["id"].startswith("telemetry.")]
                self.assertEqual(stage_errors, [operation], report["errors"])
                self.assertFalse(report["deployment"]["apiReportedSuccess"])

    def test_refused_first_download_is_retried_once(self):
        self.host.script(status=200, body=descriptor(), refuse=True)
        waiter = self.host.listen_when(self.ws.path("install.json.trace.jsonl"), '"phase":"error"')
        run = self.install({})
        waiter.join()
        self.assertEqual(run.exit_code, 0, run)
        self.assertNotIn("diagnostic", run.types, "a retried failure is no error of the run")
        retries = self.trace_entries("descriptor.download", "error")
        self.assertEqual(len(retries), 1, retries)
        self.assertEqual(retries[0]["code"], "0x80072EFD")
        self.assertTrue(retries[0]["detail"].startswith("attempt=1; retrying once; Windows: "), retries[0])
        self.assertEqual(retries[0]["errors"][0]["attempt"], 1)
        self.assertEqual(self.ws.report()["errors"], [])

    def test_transient_deployment_failure_is_retried_once(self):
        run = self.install({"deployment": {"attempts": [
            {"progress": [10], "errorCode": "0x80D05011",
             "activityId": "{11111111-2222-3333-4444-555555555555}"}, {"progress": [50, 100]}]}})
        self.assertEqual(run.exit_code, 0, run)
        self.assertNotIn("diagnostic", run.types)
        retries = self.trace_entries("deployment.retry", "error")
        self.assertEqual(len(retries), 1, retries)
        self.assertEqual(retries[0]["code"], "0x80D05011")
        self.assertEqual(len(self.trace_entries("deployment.result")), 1, "the failed attempt has no result entry")

    def test_a_second_deployment_failure_is_reported_with_diagnostics(self):
        run = self.install({"deployment": {"attempts": [{"errorCode": "0x80D05011"},
                                                         {"progress": [{"percent": 37, "state": "processing"}],
                                                          "errorCode": "0x80D05011"}]}})
        self.assertEqual(run.exit_code, 0x80D05011, run)
        self.assertEqual(len(self.trace_entries("deployment.retry")), 1)
        report = self.ws.report()
        self.assertEqual([(r["id"], r["attempt"]) for r in report["errors"]], [("deployment.add_package", 2)])
        deployment = report["deployment"]
        self.assertEqual((deployment["progressPercent"], deployment["progressState"]), (37, "processing"))
        # Without a result Windows named no activity id: nothing to wait for or query,
        # but the services and policies are still collected.
        self.assertEqual((deployment["activityId"], deployment["appxLogStatus"], deployment["packagingLogStatus"]),
                         ("", "activityIdUnavailable", "activityIdUnavailable"))
        self.assertEqual((deployment["appxLogQueryAttempts"], deployment["appxLogWaitMs"]), (0, 0))
        self.assertEqual(len(deployment["serviceSnapshot"]), 7)

    def test_a_failed_operation_ends_with_its_own_code_not_its_results(self):
        # Each failed operation hands out a result whose ExtendedErrorCode names
        # another cause; the operation's code decides the retry, the exit code
        # and the sentence, and the result's code stays in the log.
        cause = {"extendedErrorCode": "0x80073CF3", "errorText": "Dependency conflict.", "resultsOnError": True}
        run = self.install({"deployment": {"attempts": [dict(cause, errorCode="0x80D05011"),
                                                         dict(cause, errorCode="0x80070005")]}})
        self.assertEqual(run.exit_code, 0x80070005, run)
        error = run.only("error")
        self.assertEqual(error.code, "0x80070005")
        self.assertTrue(error.detail.startswith("Windows denied access during setup."), error)
        self.assertEqual([e["code"] for e in self.trace_entries("deployment.retry", "error")], ["0x80D05011"])
        results = self.trace_entries("deployment.result")
        self.assertEqual([(e["code"], "ExtendedErrorCode=0x80073CF3; ErrorText=Dependency conflict." in e["detail"])
                          for e in results], [("0x80073CF3", True)] * 2, results)
        report = self.ws.report()
        self.assertEqual([(r["id"], r["code"], r["attempt"]) for r in report["errors"]],
                         [("deployment.add_package", "0x80070005", 2)])
        self.assertTrue(report["errors"][0]["message"].endswith("Windows: Dependency conflict."), report["errors"])

    def test_stop_during_deployment_cancels_without_retry(self):
        run = self.install({"deployment": {"attempts": [{"progress": [10], "untilCancelled": True}]}},
                           runner_options=("--send-after", "installing"))
        self.assertEqual(run.exit_code, 0x800704C7, run)
        cancelled = run.only("cancelled")
        self.assertEqual(cancelled.title, "Installation cancelled")
        self.assertNotIn("error", run.types)
        report = self.ws.report()
        self.assertEqual(report["errors"], [])
        self.assertEqual(self.trace_entries("deployment.retry"), [])
        self.assertEqual(report["deployment"]["progressPercent"], None, "no diagnostics for a cancelled run")

    def test_a_handler_that_cannot_be_attached_cancels_the_running_deployment(self):
        state_file = self.ws.path("scenario.json.state.json")
        for point in ("put_Progress", "put_Completed"):
            with self.subTest(point=point):
                state_file.unlink(missing_ok=True)
                run = self.install({"deployment": {"attempts": [
                    {"progress": [10], "untilCancelled": True, "failures": {point: "0x80010108"}}]}})
                self.assertEqual(run.exit_code, 0x80010108, run)
                self.assertEqual(run.only("error").code, "0x80010108")
                # Left running, Windows would still be installing after the worker reported the failure.
                requests = harness.load_json(state_file.read_text(encoding="utf-8"))["deploymentRequests"]
                self.assertEqual([r["cancelled"] for r in requests], [True], requests)

    def test_verification_gives_up_after_three_seconds(self):
        run = self.install({"deployment": {"package": {"appInstallerInfo": {
            "uri": "https://LOCALHOST/TavoStudio.appinstaller"}}}})
        self.assertEqual(run.exit_code, 0xA0041007, run)
        error = run.only("error")
        self.assertEqual(error.detail, VERIFY_GAVE_UP)
        report = self.ws.report()
        attempts = [r["attempt"] for r in report["errors"]]
        self.assertTrue(all(r["id"] == "verification.update_uri_mismatch" for r in report["errors"]), report)
        self.assertGreaterEqual(len(attempts), 2)
        self.assertEqual(attempts, list(range(1, len(attempts) + 1)))
        self.assertEqual(report["verification"]["attempts"], len(attempts))
        deployment = report["deployment"]
        self.assertTrue(deployment["apiReportedSuccess"])
        self.assertEqual(deployment["activityId"], report["activityId"])
        # Collected once more: Wine's EvtQuery fails without an error, which reads
        # "not supported" (never "no matching events"); absent policy keys leave
        # the lists empty and no error.
        self.assertEqual((deployment["appxLogStatus"], deployment["appxLogQueryError"],
                          deployment["packagingLogQueryError"], deployment["appxLogQueryAttempts"]),
                         ("queryFailed", "0x00000032", "0x00000032", 2))
        self.assertEqual(len(deployment["serviceSnapshot"]), 7)
        self.assertEqual((deployment["deliveryOptimizationPolicies"], deployment["appxPolicies"],
                          deployment["appxPolicyQueryError"]), ([], [], "0x00000000"))
        self.assertFalse(report["registered"])
        # The window: the last run ended (its failure is recorded) 3000 ms or more
        # after the first run began, and the run before it began within them.
        begins = [e["elapsedMs"] for e in self.trace_entries("verification.attempt", "begin")]
        failures = [e["elapsedMs"] for e in self.trace_entries("verification.update_uri_mismatch", "error")]
        self.assertEqual((len(begins), len(failures)), (len(attempts), len(attempts)), self.ws.trace())
        tick_granularity_ms = 16  # the window is measured with the tick count
        self.assertGreaterEqual(failures[-1] - begins[0], 3000 - tick_granularity_ms, (begins, failures))
        self.assertLess(begins[-2] - begins[0], 3000, (begins, failures))

    def test_a_progress_report_after_completion_is_dropped(self):
        # The late report arrives while the worker is still verifying.
        run = self.install({"deployment": {"attempts": [{"progress": [10, 20], "lateProgress": 55}],
                                           "package": {"healthyAfterRuns": 3}}})
        self.assertEqual(run.exit_code, 0, run)
        self.assertEqual(self.ws.report()["verification"]["attempts"], 4)
        self.assertNotIn("installing", run.types[run.types.index("verifying"):], run)
        self.assertEqual([e.percent for e in run.events if e.type == "installing"], [0, 10, 20])

    def test_package_that_turns_healthy_is_verified_on_a_later_run(self):
        run = self.install({"deployment": {"package": {"healthyAfterRuns": 2}}})
        self.assertEqual(run.exit_code, 0, run)
        report = self.ws.report()
        self.assertEqual(report["verification"]["attempts"], 3)
        self.assertEqual([r["attempt"] for r in report["errors"] if r["id"] == "verification.package_unhealthy"],
                         [1, 2])


if __name__ == "__main__":
    unittest.main()
