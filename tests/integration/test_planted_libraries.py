"""A setup runs from Downloads, where a browser may have left a file named like
a system DLL. The launcher must never load one: a copy of it beside libraries
that write a marker when loaded, with Wine told to prefer such native copies,
runs a check and a full install without a marker."""

import shutil
import unittest

import harness
import launcher_harness as lh
from test_install_run import descriptor, package_host

# The launcher's DLLs that are not KnownDLLs, which Windows would look for in
# the program's own folder first.
PLANTED = ["d2d1.dll", "DWrite.dll", "dwmapi.dll", "winhttp.dll"]
PREFER_NATIVE = {"WINEDLLOVERRIDES": "d2d1,dwrite,dwmapi,winhttp=n,b"}


class PlantedLibraries(unittest.TestCase):
    def setUp(self):
        self.host = package_host.PackageHost()
        self.host.script(status=200, body=descriptor())
        self.ws = harness.Workspace().__enter__()
        self.addCleanup(self.ws.__exit__, None, None, None)
        self.downloads = self.ws.path("Downloads")
        self.downloads.mkdir()
        self.launcher = self.downloads / "TavoSetup.exe"
        shutil.copy(harness.PROGRAMS["TAVO_LAUNCHER"], self.launcher)
        for name in PLANTED:
            shutil.copy(harness.PROGRAMS["TAVO_PLANTED_DLL"], self.downloads / name)

    def markers(self):
        return sorted(path.name for path in self.downloads.glob("*.loaded"))

    def test_check_run_install_and_refusal_never_load_a_library_beside_the_launcher(self):
        run = lh.run_launcher("--check-only", "--report", harness.windows_path(self.ws.path("check.json")),
                              workspace=self.ws, env=PREFER_NATIVE, launcher=self.launcher)
        self.assertEqual(run.exit_code, 0, run)
        self.assertEqual(self.markers(), [])

        record = self.ws.path("activations.txt")
        env = dict(PREFER_NATIVE, TAVO_SIM_SCENARIO=harness.windows_path(self.ws.scenario({})),
                   TAVO_FAKE_ACTIVATION_RECORD=harness.windows_path(record))
        with lh.running("--report", harness.windows_path(self.ws.path("install.json")), env=env,
                        launcher=self.launcher) as launched:
            lh.driver("wait-window", 20000, "wait-gone", 90000)
        self.assertEqual(launched.run.exit_code, 0, launched.run)
        self.assertTrue(record.read_text(encoding="utf-8"), "the installed application was not opened")
        self.assertEqual(self.markers(), [])

        # A refused PC: the launcher itself posts "unsupported" through WinHTTP.
        before = len(self.host.telemetry_posts())  # the worker's own posts of the install
        with harness.windows_build(18363), lh.running(env=PREFER_NATIVE, launcher=self.launcher) as launched:
            lh.driver("wait-window", 20000, "close", "wait-gone", 15000)
        self.assertEqual(launched.run.exit_code, 0x8007047E, launched.run)
        self.assertEqual(len(self.host.telemetry_posts()), before + 1, "the launcher's own post did not arrive")
        self.assertEqual(self.markers(), [])


if __name__ == "__main__":
    unittest.main()
