"""The launcher's window on real worker events, walked with the window driver."""

import json
import pathlib
import re
import subprocess
import unittest

import harness
import launcher_harness as lh
from test_install_run import descriptor, package_host

APPX_DISABLED = "Windows AppX Deployment Service is disabled or missing."
PREPARING = "Reading the latest release and automatic update settings."
VERIFYING = "Making sure Windows knows where your next Tavo update comes from."
INSTALLED = "Tavo Studio is installed and updates automatically."
STOP_QUESTION = "Stop installing Tavo Studio? Windows will undo the changes safely. You can run setup again anytime."
STOPPING = "Stopping safely. Windows may need a moment to undo the changes."
LAUNCH_FAILED = "Tavo Studio is installed, but didn't open automatically. You can also find it in the Start menu."
MISSING_RESULT = ("Windows couldn't finish the installation. Try again, or share the diagnostic log with Tavo "
                  "support.")
AUMID = "TavoStudioInc.TavoStudio_5x0tavosim7qr!TavoStudio"


class LauncherWindow(unittest.TestCase):
    def test_error_then_try_again_uses_a_new_session(self):
        with harness.service("AppXSvc", "disabled"):
            before = lh.session_folders()
            with lh.running() as launched:
                # The error screen shows the failure at once; "Try again" only once the worker has ended.
                # The primary takes the focus once the window is the foreground window,
                # which a busy machine may make it a moment after "Try again" shows.
                first = lh.driver("wait-window", 20000, "wait-status", APPX_DISABLED, 30000,
                                  "wait-control", 1001, "Try again", 30000, "wait-focused", 1001, 30000, "title",
                                  "focus", "control", 1002, "control", 1008)
                self.assertEqual(first["title"], ["Tavo Studio Setup"])
                self.assertEqual((first["focus"], first["focused"]), (["0x534B03E9"], [1001]))
                primary, secondary, copy = first["control"]
                self.assertEqual((primary["text"], primary["enabled"]), ("Try again", True))
                self.assertEqual(secondary["text"], "Get help  \u2197")
                self.assertTrue(copy["visible"])
                [old] = lh.session_folders() - before
                self.assertFalse((old / "Tavo.Deploy.exe").exists(), "the ended session's worker file stays")
                self.assertTrue((old / "install.json").exists())

                lh.driver("command", 1001, "sleep", 500, "wait-status", APPX_DISABLED, 30000)
                new = lh.session_folders() - before - {old}
                self.assertEqual(len(new), 1, new)
                self.assertTrue((old / "install.json").exists(), "the first session's report stays")
                lh.driver("close", "wait-gone", 15000)
            self.assertEqual(launched.run.exit_code, 0x80070422, launched.run)


class LauncherSession(unittest.TestCase):
    def test_a_launcher_killed_while_its_worker_runs_takes_the_worker_with_it(self):
        # Started without the runner, whose own job would end the worker too.
        with harness.Workspace() as ws:
            env = lh.fake_worker_env("invalid_utf8.txt", gates=ws.dir)  # a gate that never opens
            report = ws.path("install.json")
            command = ["sh", str(harness.WINE_EXEC), str(harness.TREE), harness.PROGRAMS["TAVO_LAUNCHER"], "--install",
                       "--report", harness.windows_path(report)]
            launcher = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, env=lh.clean_environment(env))
            try:
                lh.driver("wait-window", 20000, "wait-status", "loading", 60000)
                worker = lh.worker_pid(report)
            finally:
                launcher.kill()  # the Wine process of TavoSetup.exe itself: wine-exec.sh execs it
                launcher.wait()
            self.assertTrue(lh.process_gone(worker), "the worker outlived its launcher")


    def test_a_close_after_ten_seconds_of_stopping_ends_a_worker_that_does_not_stop(self):
        with harness.Workspace() as ws, lh.running(
                "--install", "--report", harness.windows_path(ws.path("install.json")),
                env=lh.fake_worker_env("stop_ignored.txt", gates=ws.dir)) as launched:
            lh.driver("wait-window", 20000, "wait-title", "Installing 20%", 30000, "command", 1003, "command", 1002,
                      "wait-status", STOPPING, 10000)
            worker = lh.worker_pid(ws.path("install.json"))
            # A close during the first 10 s of stopping does nothing: close until one takes.
            for _ in range(90):
                if launched.process.poll() is not None:
                    break
                try:
                    lh.driver("close", "sleep", 1000)
                except AssertionError:
                    pass  # the window went while the step ran: the next round sees the launcher end
            self.assertTrue(lh.process_gone(worker), "the worker outlived the forced close")
        self.assertEqual(launched.run.exit_code, 0x800704C7, launched.run)


    def test_a_forged_worker_event_message_is_ignored(self):
        # Any process of the user can post the worker-event message with any
        # value; the window takes only the records its session's reader made.
        with lh.running("--preview", "--state", "error") as launched:
            seen = lh.driver("wait-window", 20000, "post", 0x8001, 0, 0x12345678, "post", 0x8001, 0, 0,
                             "sleep", 500, "status", "close", "wait-gone", 15000)
            self.assertEqual(len(seen["status"]), 1, "the window stopped answering")
        self.assertEqual(launched.run.exit_code, 0, launched.run)


class LauncherInstall(unittest.TestCase):
    """`TavoSetup.exe --install`: the real worker installs through the package host
    and the simulated platform while the driver watches the window."""

    def setUp(self):
        self.host = package_host.PackageHost()
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)

    def start(self, scenario):
        return lh.running("--install", "--report", harness.windows_path(self.ws.path("install.json")),
                          env={"TAVO_SIM_SCENARIO": harness.windows_path(self.ws.scenario(scenario))})

    def test_progress_screens_lead_to_success_and_the_window_stays(self):
        # Each stage waits for the test to have read it: the host answers, the
        # deployment goes on from 37 % and the verification finds the package
        # once the test opens that stage's gate (a file).
        gate = self.ws.path
        self.host.script(body=descriptor(), hold_until=str(gate("read-preparing")))
        at_37 = {"percent": 37, "thenWaitForFile": harness.windows_path(gate("read-installing"))}
        package = {"enumerationWaitsForFile": harness.windows_path(gate("read-verifying"))}
        with self.start({"deployment": {"attempts": [{"progress": [0, 12, at_37, 64, 100]}],
                                        "package": package}}) as launched:
            lh.driver("wait-window", 20000, "wait-status", PREPARING, 60000)
            lh.open_gate(self.ws.dir, "read-preparing")
            installing = lh.driver("wait-title", "Tavo Studio Setup: Installing 37%", 60000,
                                   # the accessible text rounds down to a multiple of 5
                                   "wait-status", "Installing Tavo Studio, 35 percent.", 5000)
            lh.open_gate(self.ws.dir, "read-installing")
            verifying = lh.driver("wait-status", VERIFYING, 60000, "title")
            lh.open_gate(self.ws.dir, "read-verifying")
            # The primary takes the focus once the window is the foreground window,
            # which a busy machine may delay past the status text.
            final = lh.driver("wait-status", INSTALLED, 60000, "title", "focus", "wait-focused", 1001, 30000,
                              "control", 1001, "control", 1002)
            self.assertEqual(installing["title"] + verifying["title"] + final["title"],
                             ["Tavo Studio Setup: Installing 37%", "Tavo Studio Setup", "Tavo Studio Setup"])
            primary, secondary = final["control"]
            self.assertEqual((primary["text"], primary["visible"], primary["enabled"]),
                             ("Open Tavo Studio", True, True))
            self.assertEqual((secondary["text"], secondary["visible"]), ("Close", True))
            self.assertEqual((final["focus"], final["focused"]), (["0x534B03E9"], [1001]))
            # The window waits for the user: nothing is opened after an install-only run.
            lh.driver("sleep", 2500, "status", "close", "wait-gone", 15000)
        self.assertEqual(launched.run.exit_code, 0, launched.run)
        report = self.ws.report()
        self.assertEqual(report["exitCode"], "0x00000000")
        types = [e["type"] for e in report["events"]]
        self.assertEqual(types[types.index("preparing"):], ["preparing", "installing", "installing", "installing",
                                                            "installing", "installing", "verifying", "launch",
                                                            "success", "report_ready"], types)

    def test_stop_while_installing_ends_cancelled_with_0x800704C7(self):
        self.host.script(body=descriptor())
        with self.start({"deployment": {"attempts": [{"progress": [0, 10, 20], "stepDelayMs": 500,
                                                      "untilCancelled": True}]}}) as launched:
            asked = lh.driver("wait-window", 20000, "wait-title", "Tavo Studio Setup: Installing 20%", 30000,
                              "command", 1003, "status", "control", 1001, "control", 1002, "focus",
                              "wait-focused", 1001, 30000)
            self.assertEqual(asked["status"], [STOP_QUESTION])
            keep, stop = asked["control"]
            self.assertEqual((keep["text"], keep["visible"]), ("Keep installing", True))
            self.assertEqual((stop["text"], stop["visible"]), ("Stop installing", True))
            self.assertEqual((asked["focus"], asked["focused"]), (["0x534B03E9"], [1001]))

            # The simulated deployment stops at once; the worker is held so that
            # the `stopping` screen can be read before it answers the cancel byte.
            with lh.worker_paused(self.ws.path("install.json")):
                stopping = lh.driver("command", 1002, "wait-status", STOPPING, 5000, "title", "control", 1001,
                                     "close", "sleep", 500, "status")
            self.assertEqual(stopping["title"], ["Tavo Studio Setup"])
            self.assertFalse(stopping["control"][0]["visible"])
            self.assertEqual(stopping["status"], [STOPPING, STOPPING], "closing while stopping waits")
            lh.driver("wait-gone", 30000)
        # The window closed by itself: after a confirmed stop that happens only
        # when the worker's end left the screen on `cancelled` (an `error` stays).
        self.assertEqual(launched.run.exit_code, 0x800704C7, launched.run)
        report = self.ws.report()
        self.assertEqual(report["exitCode"], "0x800704C7")
        terminal = [e for e in report["events"] if e["type"] in ("success", "error", "cancelled")]
        self.assertEqual([(e["type"], e["code"]) for e in terminal], [("cancelled", "0x800704C7")])


class LauncherOpensApplication(unittest.TestCase):
    """A plain install run opens Tavo Studio through the application activation
    manager (the fake one of the test prefix records what it was asked)."""

    def setUp(self):
        self.host = package_host.PackageHost()
        self.host.script(body=descriptor())
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)
        self.record = self.ws.path("activations.txt")

    def start(self, **env):
        env.update(TAVO_SIM_SCENARIO=harness.windows_path(self.ws.scenario({})),
                   TAVO_FAKE_ACTIVATION_RECORD=harness.windows_path(self.record))
        return lh.running("--report", harness.windows_path(self.ws.path("install.json")), env=env)

    def activations(self):
        return [line.split("\t")[0] for line in self.record.read_text(encoding="utf-8").splitlines()]

    def test_success_opens_the_application_and_the_window_closes_by_itself(self):
        with self.start() as launched:
            lh.driver("wait-window", 20000, "wait-gone", 90000)
        self.assertEqual(launched.run.exit_code, 0, launched.run)
        self.assertEqual(self.activations(), [AUMID])

    def test_failed_activation_keeps_the_window_open_with_its_hint(self):
        with self.start(TAVO_FAKE_ACTIVATION_FAIL="0x80070002") as launched:
            seen = lh.driver("wait-window", 20000, "wait-status", LAUNCH_FAILED, 60000, "sleep", 1000, "status",
                             "control", 1001)
            self.assertEqual(seen["status"][-1], LAUNCH_FAILED, "the window stays on its hint")
            self.assertEqual(self.activations(), [AUMID], "the activation was asked for once")
            lh.driver("close", "wait-gone", 15000)
        self.assertEqual(launched.run.exit_code, 0, launched.run)


class LauncherKeyboard(unittest.TestCase):
    def test_escape_arrows_enter_and_alt_f4_drive_the_window(self):
        # A preview of the installing screen: the close request asks the stop
        # question. Keys are handled in order, so each waits for its effect.
        installing = "Installing Tavo Studio, 42 percent."
        with lh.running("--preview", "--state", "installing", "--tip", "0") as launched:
            seen = lh.driver("wait-window", 20000,
                             # arrows move the carousel, wrapping
                             "key", "right", "wait-tip", 1, 10000, "key", "left", "key", "left", "wait-tip", 6, 10000,
                             # Escape is the close request: the question, with the focus on "Keep installing"
                             "key", "escape", "wait-status", STOP_QUESTION, 10000, "wait-focused", 1001, 10000,
                             # under the question the arrows do nothing, and Escape keeps installing
                             "key", "left", "key", "escape", "wait-status", installing, 10000, "wait-tip", 6, 0,
                             "alt-f4", "wait-status", STOP_QUESTION, 10000,  # Alt+F4 is the same close request
                             "key", "enter", "wait-status", installing, 10000,  # Enter: "Keep installing"
                             "key", "escape", "wait-status", STOP_QUESTION, 10000,
                             "command", 1002, "wait-status", "stopped the installation", 20000,
                             "alt-f4", "wait-gone", 15000)  # on an outcome the close request closes
        self.assertEqual(seen["focused"], [1001])
        self.assertEqual(seen["tip"], [1, 6, 6])
        self.assertEqual(launched.run.exit_code, 0, launched.run)


class LauncherAnnouncements(unittest.TestCase):
    def test_screen_readers_hear_each_screen_and_5_percent_step_once(self):
        with harness.Workspace() as ws, lh.running("--install", env=lh.fake_worker_env("announced_install.txt",
                                                                                     gates=ws.dir)):
            # The taskbar button follows the same run (Wine's taskbar list takes
            # the calls and shows nothing). The worker starts once the hook is up.
            seen = lh.driver("wait-window", 20000, "taskbar-created", "announcements", INSTALLED,
                             harness.windows_path(ws.path("hooked")), 60000, "status-paints")
            lh.driver("close", "wait-gone", 15000)
        # The status control changed with every screen and step, and never painted itself over the frame.
        self.assertEqual(seen["status-paints"], [0])
        heard = seen["announce"]
        # The hook began before the worker's first line, so every change was there to be heard.
        self.assertEqual(seen["hooked"], ["Getting ready to install Tavo Studio."])
        # The preparing details change without being read out; a step is heard
        # once, however many reports fall into it.
        self.assertTrue(heard[0].startswith("Installing Tavo Studio, "), heard)
        percents = [int(m.group(1)) for m in map(re.compile(r"Installing Tavo Studio, (\d+) percent\.").match, heard)
                    if m]
        self.assertEqual(percents, sorted(set(percents)), heard)
        self.assertTrue(all(p % 5 == 0 for p in percents) and percents[-1] == 100, heard)
        self.assertEqual(heard[-2:], ["Making sure Windows knows where your next update comes from.", INSTALLED], heard)


class LauncherReader(unittest.TestCase):
    """The reader on hostile worker output: a fake worker stands in for the
    embedded one (test builds only) and the window shows what was kept."""

    def watch(self, script):
        """The dropped line is an outcome: acted on, it would hold the window on
        its error screen, and the 7 % of the valid line after it would never show."""
        with harness.Workspace() as ws, lh.running("--install", env=lh.fake_worker_env(script, gates=ws.dir)):
            lh.driver("wait-window", 20000, "wait-title", "Tavo Studio Setup: Installing 7%", 60000)
            # Then the fake ends without an outcome, and the window can be closed.
            lh.open_gate(ws.dir, "read")
            lh.driver("wait-status", MISSING_RESULT, 60000, "close", "wait-gone", 15000)

    def test_a_line_longer_than_64_kib_is_skipped_up_to_its_line_feed(self):
        self.watch("long_line.txt")

    def test_lines_without_exactly_five_fields_are_dropped(self):
        for script in ("six_fields.txt", "four_fields.txt", "trailing_tab.txt"):
            with self.subTest(script=script):
                self.watch(script)

    def test_invalid_utf8_is_read_with_replacement_characters(self):
        with harness.Workspace() as ws, lh.running("--install", env=lh.fake_worker_env("invalid_utf8.txt",
                                                                                     gates=ws.dir)):
            seen = lh.driver("wait-window", 20000, "wait-status", "loading", 60000)
            lh.open_gate(ws.dir, "read")
            lh.driver("wait-status", MISSING_RESULT, 60000, "close", "wait-gone", 15000)
        # How many replacement characters one bad sequence gives is the converter's business.
        self.assertEqual(re.sub("\ufffd+", "?", seen["status"][-1]), "Down?loading ? and ?.")

    def test_a_worker_that_writes_nothing_ends_the_check_with_its_code(self):
        with harness.Workspace() as ws:
            run = lh.run_launcher("--check-only", workspace=ws, env=lh.fake_worker_env("silent.txt"))
        self.assertEqual(run.exit_code, 0x80070005, run)



def translations(tag):
    """English text to its translation in `tag`, from the language files."""
    folder = pathlib.Path(__file__).resolve().parents[2] / "resources" / "languages"
    english = {t["id"]: t["en"] for t in json.loads((folder / "texts.json").read_text(encoding="utf-8"))["texts"]}
    if tag == "en":
        return {e: e for e in english.values()}
    shown = json.loads((folder / (tag + ".json")).read_text(encoding="utf-8"))
    return {english[i]: shown[i] for i in english}


# Times, durations, ids and the session's folder differ from run to run; the
# texts and codes must not differ between languages.
VARYING = re.compile(r'("(?:[A-Za-z]*(?:[Tt]ime|At|Ms|Seconds|Id|Pid|Path|Folder|Tick|Date|Nonce|hash)[A-Za-z]*)"'
                     r'\s*:\s*)("(?:[^"\\]|\\.)*"|-?[0-9.]+)')
STAMP = re.compile(r"(?<=processId=)\d+|(?<=availableBytes=)\d+|\d{4}-\d\d-\d\dT[0-9:.]+Z?|\\\\[^\"]*?tavo-setup-[^\"\\\\]+|vst_[0-9a-f]{32}|\{[0-9A-Fa-f-]{36}\}")


def comparable(text):
    return STAMP.sub("*", VARYING.sub(r"\1*", text))


class LauncherLanguages(unittest.TestCase):
    """A full install through the window with the user's language set as Wine
    takes it from the environment: the screens and the screen reader's texts
    in that language, the report, the trace and telemetry as in English."""

    def setUp(self):
        self.host = package_host.PackageHost()

    def install(self, tag, locale):
        words = translations(tag)
        with harness.Workspace() as ws:
            gate = ws.path("read-preparing")
            self.host.script(body=descriptor(), hold_until=str(gate))
            env = {"TAVO_SIM_SCENARIO": harness.windows_path(ws.scenario({})), "LANG": locale, "LC_ALL": locale}
            with lh.running("--install", "--report", harness.windows_path(ws.path("install.json")),
                            env=env) as launched:
                preparing = lh.driver("wait-window", 20000, "wait-status", words[PREPARING], 60000, "title",
                                      "control", 1003)
                lh.open_gate(ws.dir, "read-preparing")
                final = lh.driver("wait-status", words[INSTALLED], 120000, "title", "control", 1001,
                                  "control", 1002, "close", "wait-gone", 15000)
            self.assertEqual(launched.run.exit_code, 0, launched.run)
            self.assertEqual(preparing["title"] + final["title"], [words["Tavo Studio Setup"]] * 2)
            self.assertEqual(preparing["control"][0]["text"], words["Close"])  # the caption button's name
            primary, secondary = final["control"]
            self.assertEqual((primary["text"], secondary["text"]), (words["Open Tavo Studio"], words["Close"]))
            trace = (ws.dir / "install.json.trace.jsonl").read_text(encoding="utf-8")
            posts = sorted(comparable(p["body"]) for p in self.host.telemetry_posts())
            return comparable(ws.report_text()), comparable(trace), posts

    def test_a_german_japanese_and_russian_install_speaks_the_language_and_reports_as_in_english(self):
        english = self.install("en", "en_US.UTF-8")
        for tag, locale in (("de", "de_DE.UTF-8"), ("ja", "ja_JP.UTF-8"), ("ru", "ru_RU.UTF-8")):
            with self.subTest(language=tag):
                report, trace, posts = self.install(tag, locale)
                self.assertEqual(report, english[0])
                self.assertEqual(trace.splitlines(), english[1].splitlines())
                self.assertEqual(posts, english[2])


if __name__ == "__main__":
    unittest.main()
