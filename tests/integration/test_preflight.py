"""Preflight refusals and the optional App Installer lookup, against the
simulated platform and the prefix's services and Windows build."""

import unittest

import harness

APP_INSTALLER = {
    "user": "", "name": "Microsoft.DesktopAppInstaller",
    "publisher": "CN=Microsoft Corporation, O=Microsoft Corporation, L=Redmond, S=Washington, C=US",
    "version": "1.21.3133.0",
}
SERVICE_MESSAGE = ("Windows AppX Deployment Service is disabled or missing. "
                   "Ask your IT team to restore it, then try again.")
COMPONENTS_MESSAGE = ("Windows package installation components are missing. "
                      "Update Windows and App Installer, then try again.")
PLAIN_CHECKED = "Windows package deployment is available."


class PreflightRefusal(unittest.TestCase):
    def check_refused(self, code, operation, message, scenario=None):
        """Runs --check and checks the one terminal error, its record and the report."""
        with harness.Workspace() as ws:
            run = harness.run_worker("--check", "--report", harness.windows_path(ws.path("install.json")),
                                     scenario=scenario and ws.scenario(scenario))
            self.assertEqual(run.exit_code, code, run)
            self.assertEqual(run.types, ["checking", "error", "diagnostic", "report_ready"], run)
            self.assertEqual(run.only("error"),
                             harness.Event("error", -1, "Let's get this sorted", message, harness.hex8(code)))
            diagnostic = run.only("diagnostic")
            self.assertEqual((diagnostic.title, diagnostic.code), (operation, harness.hex8(code)))
            report = ws.report()
            self.assertEqual(report["exitCode"], harness.hex8(code))
            self.assertEqual([(r["id"], r["code"]) for r in report["errors"]], [(operation, harness.hex8(code))])
            return report["errors"][0]

    def test_appx_service_disabled(self):
        with harness.service("AppXSvc", "disabled"):
            record = self.check_refused(0x80070422, "preflight.appx_service.AppXSvc", SERVICE_MESSAGE)
        self.assertEqual(record["message"], "AppXSvc service disabled or missing; error=0x80070422")

    def test_appx_service_missing(self):
        with harness.service("AppXSvc", "missing"):
            record = self.check_refused(0x80070424, "preflight.appx_service.AppXSvc", SERVICE_MESSAGE)
        self.assertEqual(record["message"], "AppXSvc service disabled or missing; error=0x80070424")

    def test_deployment_api_missing(self):
        scenario = {"missingMethods": [
            "Windows.Management.Deployment.PackageManager.AddPackageByAppInstallerFileAsync"]}
        self.check_refused(0xA004110D, "preflight.deployment_api_missing", COMPONENTS_MESSAGE, scenario)

    def test_windows_build_too_old(self):
        with harness.windows_build(18363):
            record = self.check_refused(
                0x8007047E, "preflight.windows_version_unsupported",
                "Tavo needs Windows 10 version 2004 or later. Update Windows, then try again.")
        self.assertEqual(record["message"], "windowsVersion=Windows 10 (build 18363); minimumBuild=19041")


class AppInstallerLookup(unittest.TestCase):
    def test_lookup_failure_recorded_and_run_passes(self):
        with harness.Workspace() as ws:
            scenario = ws.scenario({"failures": {"PackageManager.FindPackagesForUser": "0x80070005"},
                                    "packages": [APP_INSTALLER]})
            run = harness.run_worker("--check", "--report", harness.windows_path(ws.path("install.json")),
                                     scenario=scenario)
            self.assertEqual(run.exit_code, 0, run)
            self.assertEqual(run.types, ["checking", "diagnostic", "checked", "report_ready"], run)
            diagnostic = run.only("diagnostic")
            self.assertEqual((diagnostic.title, diagnostic.code),
                             ("preflight.desktop_app_installer_version", "0x80070005"))
            self.assertEqual(run.only("checked").detail, PLAIN_CHECKED)
            report = ws.report()
            self.assertEqual([(r["id"], r["code"]) for r in report["errors"]],
                             [("preflight.desktop_app_installer_version", "0x80070005")])
            self.assertTrue(report["errors"][0]["message"].startswith(
                "Optional Desktop App Installer version lookup failed; continuing."), report["errors"][0])
            self.assertEqual(report["desktopAppInstallerVersion"], "")
            self.assertEqual(report["exitCode"], "0x00000000")

    def test_installed_version_reported(self):
        other_publisher = dict(APP_INSTALLER, publisher="CN=Someone Else", version="9.9.9.9")
        with harness.Workspace() as ws:
            scenario = ws.scenario({"packages": [other_publisher, APP_INSTALLER]})
            run = harness.run_worker("--check", "--report", harness.windows_path(ws.path("install.json")),
                                     scenario=scenario)
            self.assertEqual(run.exit_code, 0, run)
            self.assertEqual(run.types, ["checking", "checked", "report_ready"], run)
            self.assertEqual(run.only("checked").detail, PLAIN_CHECKED)
            report = ws.report()
            self.assertEqual(report["desktopAppInstallerVersion"], "1.21.3133.0")
            self.assertEqual(report["errors"], [])


if __name__ == "__main__":
    unittest.main()
