"""Telemetry end to end: the real worker and launcher post to the loopback
host, which answers /api/uma/ as each test scripts it; the worker's rewritten
report shows how far the delivery got."""

import pathlib
import re
import sys
import threading
import time
import unittest

import harness
import launcher_harness as lh
from test_install_run import descriptor

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "hosts"))
import package_host  # noqa: E402

VISITOR = "vst_00112233445566778899aabbccddeeff"
# A registered update URI this long makes the outcome object too big for one event.
LONG_URI = "https://localhost/" + "u" * 70000 + ".appinstaller"


def posted(post):
    return harness.load_json(post["body"])


class WorkerTelemetry(unittest.TestCase):
    def setUp(self):
        self.host = package_host.PackageHost()
        self.addCleanup(self.host.listen)
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)
        self.report_path = harness.windows_path(self.ws.path("install.json"))
        self.scenario = self.ws.scenario({})

    def serve(self, **uma):
        self.host.script(status=200, body=descriptor(), **uma)

    def install(self, *extra, scenario=None):
        return harness.run_worker("--install", *extra, "--report", self.report_path,
                                  scenario=scenario or self.scenario)

    def uma(self):
        return self.ws.report()["uma"]

    def records(self, prefix="telemetry."):
        return [r for r in self.ws.report()["errors"] if r["id"].startswith(prefix)]

    def large_failure(self):
        """A run whose verification keeps failing on the long URI: exit 0xA0041007."""
        scenario = self.ws.scenario({"deployment": {"package": {"appInstallerInfo": {"uri": LONG_URI}}}})
        run = self.install(scenario=scenario)
        self.assertEqual(run.exit_code, 0xA0041007, run)
        return run

    def test_a_successful_install_posts_one_finished_event(self):
        self.serve()
        run = self.install("--visitor-id", VISITOR)
        self.assertEqual(run.exit_code, 0, run)
        [post] = self.host.telemetry_posts()
        self.assertEqual(post["headers"]["Content-Type"], "application/json")
        self.assertRegex(post["headers"]["Authorization"], r"^Bearer [0-9a-f]{64}$")
        self.assertEqual(post["headers"]["User-Agent"], "TavoSetup/0.1")
        event = posted(post)
        self.assertEqual(list(event), ["trigger", "repo", "hash", "user_id", "data"])
        self.assertEqual((event["trigger"], event["repo"], event["user_id"]), ("installerFinished", "installer", VISITOR))
        self.assertEqual(event["hash"], self.ws.report()["buildHash"])
        data = event["data"]
        self.assertEqual((data["outcome"], data["exitCode"]), ("installed", "0x00000000"))
        self.assertEqual(data["windowsBuild"], 19045)
        self.assertIs(data["deliveryOptimizationServiceAvailable"], True)
        self.assertRegex(data["installerProfileId"], r"^(vi[s]|vst)_[0-9a-f]{32}$|^\{[0-9A-Fa-f-]{36}\}$")
        self.assertNotIn("errors", data)
        self.assertNotIn("retryCount", data)
        self.assertTrue(data["verification"]["verified"])
        self.assertEqual(self.uma(), {"attempted": True, "configured": True, "httpStatus": 200, "transportError": 0,
                                      "operation": "", "sentEvents": 1, "totalEvents": 1, "responseBody": "",
                                      "responseTruncated": False})
        [result] = [e for e in self.ws.trace() if e["operation"] == "telemetry.result"]
        self.assertEqual(result["detail"], "configured=true; transportError=0; httpStatus=200; sentEvents=1; "
                                           "totalEvents=1; operation=; response=")
        self.assertEqual(self.records(), [])

    def test_a_redirect_is_not_followed_and_is_recorded(self):
        self.serve(uma_status=301, uma_body="moved", uma_headers={"Location": "https://localhost/api/other/"})
        run = self.install()
        self.assertEqual(run.exit_code, 0, "telemetry never changes the exit code")
        self.assertEqual(len(self.host.telemetry_posts()), 1)
        self.assertEqual([r["path"] for r in self.host.requests()], ["/TavoStudio.appinstaller", "/api/uma/"])
        uma = self.uma()
        self.assertEqual((uma["operation"], uma["httpStatus"], uma["sentEvents"], uma["responseBody"]),
                         ("HTTP response", 301, 0, "moved"))
        [record] = self.records()
        self.assertEqual((record["id"], record["code"]), ("telemetry.upload_failed", "0x8019012D"))
        self.assertEqual(record["message"], "operation=HTTP response; HTTP status=301; response=moved")
        self.assertIn("telemetry.upload_failed", [e.title for e in run.events if e.type == "diagnostic"])

    def test_a_long_answer_is_kept_to_16384_bytes(self):
        self.serve(uma_body_length=20000)
        self.assertEqual(self.install().exit_code, 0)
        uma = self.uma()
        self.assertEqual((uma["httpStatus"], uma["sentEvents"], uma["responseTruncated"]), (200, 1, True))
        self.assertLessEqual(len(uma["responseBody"]), 16384)
        self.assertGreater(len(uma["responseBody"]), 16384 - 1024)
        self.assertEqual(set(uma["responseBody"]), {"x"})
        self.assertEqual(self.records(), [])

    def test_no_listener_fails_in_send_request_with_nothing_sent(self):
        self.serve()
        self.assertEqual(self.install().exit_code, 0)  # installs the package; later runs find it
        self.host.script(refuse=True)
        run = self.install("--open-existing")
        self.assertEqual(run.exit_code, 0, run)
        self.assertEqual(run.types, ["launch", "installed", "report_ready", "diagnostic"], run)
        uma = self.uma()
        self.assertEqual((uma["operation"], uma["transportError"], uma["httpStatus"], uma["sentEvents"]),
                         ("WinHttpSendRequest", 12029, 0, 0))
        [record] = self.records()
        self.assertEqual((record["id"], record["code"], record["message"]),
                         ("telemetry.transport_failed", "0x80072EFD", "WinHttpSendRequest"))

    def test_an_oversized_outcome_posts_a_summary_and_its_fragments(self):
        self.serve()
        self.large_failure()
        posts = [posted(p) for p in self.host.telemetry_posts()]
        self.assertTrue(all(len(p["body"].encode("utf-8")) <= 61440 for p in self.host.telemetry_posts()))
        summary, fragments = posts[0], posts[1:]
        self.assertEqual(summary["trigger"], "installerError")
        self.assertEqual(summary["data"]["errorCount"], 1, "the verification failures fold into one record")
        self.assertEqual(summary["data"]["partCount"], len(fragments))
        self.assertGreaterEqual(len(fragments), 9)
        self.assertEqual([f["trigger"] for f in fragments], ["installerDiagnostics"] * len(fragments))
        self.assertEqual({f["data"]["diagnosticsId"] for f in fragments}, {summary["data"]["diagnosticsId"]})
        self.assertRegex(summary["data"]["diagnosticsId"], r"^\{[0-9A-F-]{36}\}$")
        self.assertEqual([f["data"]["partIndex"] for f in fragments], list(range(len(fragments))))
        outcome = harness.load_json("".join(f["data"]["payload"] for f in fragments))
        self.assertEqual(outcome["exitCode"], "0xA0041007")
        self.assertEqual(outcome["verification"]["appInstallerUri"], LONG_URI)
        [record] = outcome["errors"]
        self.assertEqual(record["id"], "verification.update_uri_mismatch")
        self.assertGreater(record["occurrences"], 1)
        uma = self.uma()
        self.assertEqual((uma["sentEvents"], uma["totalEvents"], uma["operation"]), (len(posts), len(posts), ""))

    def test_a_failed_post_stops_the_later_events(self):
        self.serve(uma_statuses=[200, 500], uma_body="busy")
        self.large_failure()
        self.assertEqual(len(self.host.telemetry_posts()), 2, "nothing is sent after the 500")
        uma = self.uma()
        self.assertGreaterEqual(uma["totalEvents"], 3)
        self.assertEqual((uma["sentEvents"], uma["httpStatus"], uma["operation"], uma["responseBody"]),
                         (1, 500, "HTTP response", "busy"))
        [record] = self.records()
        self.assertEqual((record["id"], record["code"]), ("telemetry.upload_failed", "0x801901F4"))

    def test_a_failed_rewrite_after_telemetry_is_recorded_and_ends_the_run_with_its_code(self):
        # The host holds the telemetry answer: meanwhile the first report is
        # there, and a folder where the rewrite's .tmp file goes makes it fail.
        gate = self.ws.path("answer")
        self.serve(uma_hold_until=str(gate))
        runs = []
        worker = threading.Thread(target=lambda: runs.append(self.install()))
        worker.start()
        try:
            for _ in range(600):
                if self.ws.path("install.json").exists() or not worker.is_alive():
                    break
                time.sleep(0.1)
            first = self.ws.report()  # the first write: the run's own result, telemetry not yet known
            self.ws.path("install.json.tmp").mkdir()
        finally:
            gate.write_bytes(b"")
            worker.join(harness.RUN_TIMEOUT)
        [run] = runs
        self.assertEqual(run.exit_code, 0x80070005, run)  # the run had succeeded: the write's code
        self.assertEqual(first["exitCode"], "0x00000000")
        [final] = [e for e in run.events if e.title == "report.final_write_failed"]
        self.assertEqual(final.code, "0x80070005")
        self.assertEqual(self.ws.report(), first, "the first report stays as it was")
        self.assertEqual(len(self.host.telemetry_posts()), 1)


class LauncherTelemetry(unittest.TestCase):
    def setUp(self):
        self.host = package_host.PackageHost()
        self.host.script(status=200, body=descriptor())

    def test_a_refused_pc_in_an_install_run_posts_unsupported(self):
        with harness.windows_build(18363):
            with lh.running() as launched:
                lh.driver("wait-window", 20000, "close", "wait-gone", 15000)
        self.assertEqual(launched.run.exit_code, 0x8007047E, launched.run)
        [post] = self.host.telemetry_posts()
        self.assertRegex(post["headers"]["Authorization"], r"^Bearer [0-9a-f]{64}$")
        event = posted(post)
        self.assertEqual(event["trigger"], "installerError")
        data = event["data"]
        self.assertEqual((data["outcome"], data["exitCode"], data["windowsBuild"]),
                         ("unsupported", "0x8007047E", 18363))
        self.assertEqual([r["id"] for r in data["errors"]], ["compatibility.unsupported_host"])
        self.assertNotIn("verification", data)
        self.assertNotIn("deployment", data)

    def test_a_held_post_holds_neither_the_window_nor_is_lost_when_it_closes(self):
        with harness.Workspace() as ws, harness.windows_build(18363):
            answer = ws.path("uma-answer")
            self.host.script(status=200, body=descriptor(), uma_hold_until=str(answer))
            with lh.running() as launched:
                lh.driver("wait-window", 20000)
                self.wait_for_posts(1)
                # The host holds its answer: the window answers and closes all the same.
                seen = lh.driver("status", "close", "wait-gone", 15000)
                self.assertIn("Windows 10 version 2004", seen["status"][0])
                self.assertIsNone(launched.process.poll(), "the launcher ended before its post was answered")
                answer.write_bytes(b"")
            self.assertEqual(launched.run.exit_code, 0x8007047E, launched.run)
            self.assertEqual(len(self.host.telemetry_posts()), 1)

    def wait_for_posts(self, count):
        for _ in range(300):
            if len(self.host.telemetry_posts()) >= count:
                return
            time.sleep(0.1)
        self.fail("no telemetry post arrived: %r" % self.host.requests())

    def test_a_failing_message_handler_ends_window_and_worker_then_posts_and_shows_the_box(self):
        with harness.Workspace() as ws:
            before = lh.session_folders()
            env = dict(lh.fake_worker_env("handler_failure.txt"), TAVO_TEST_HOOK_THROW_ON_EVENT="installing")
            run = lh.run_launcher("--install", workspace=ws, env=env)
        self.assertEqual(run.exit_code, 0xA0041205, run)
        self.assertEqual(run.box, ("Tavo Setup", 0x10,  # MB_OK | MB_ICONERROR
                                   "Tavo Setup couldn't start. Please update Windows and try again."), run)
        self.assertFalse(run.box_over_window, "the setup window was still alive behind the box")
        [folder] = lh.session_folders() - before
        self.assertFalse((folder / "Tavo.Deploy.exe").exists(), "the session did not end before the box")
        [post] = self.host.telemetry_posts()
        data = posted(post)["data"]
        self.assertEqual((data["outcome"], data["exitCode"]), ("failed", "0xA0041205"))
        self.assertEqual([r["id"] for r in data["errors"]], ["launcher.startup_exception"])

    def test_a_windows_error_at_start_shows_its_sentence_and_code_and_posts_its_record(self):
        with harness.Workspace() as ws:
            run = lh.run_launcher("--install", workspace=ws, env={"TAVO_TEST_HOOK_FAIL_CONTROLS": "1"})
        self.assertEqual(run.exit_code, 0x80070008, run)
        self.assertEqual(run.box, ("Tavo Setup", 0x10,  # MB_OK | MB_ICONERROR
                                   "Tavo Setup couldn't start.\n\nWindows couldn't finish the installation. Try again, "
                                   "or share the diagnostic log with Tavo support.\n\n0x80070008"), run)
        [post] = self.host.telemetry_posts()
        data = posted(post)["data"]
        self.assertEqual((data["outcome"], data["exitCode"]), ("failed", "0x80070008"))
        [record] = data["errors"]
        self.assertEqual((record["id"], record["code"]), ("launcher.startup_windows_error", "0x80070008"), record)

    def test_a_check_run_posts_nothing(self):
        with harness.Workspace() as ws, harness.windows_build(18363):
            run = lh.run_launcher("--check-only", workspace=ws)
        self.assertEqual(run.exit_code, 0x8007047E, run)
        self.assertEqual(self.host.telemetry_posts(), [])


if __name__ == "__main__":
    unittest.main()
