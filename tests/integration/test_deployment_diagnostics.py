"""Deployment diagnostics end to end: a deployment that fails twice leaves a
report whose `deployment` member carries the correlated entries of both
simulated event-log channels, the prefix's services and its policy values."""

import unittest

import harness
import test_install_run

ACTIVITY = "{0D1E2F3A-4B5C-6D7E-8F90-A1B2C3D4E5F6}"
OTHER_ACTIVITY = "{11111111-2222-3333-4444-555555555555}"
DEPLOYMENT_CHANNEL = "Microsoft-Windows-AppXDeploymentServer/Operational"
PACKAGING_CHANNEL = "Microsoft-Windows-AppxPackaging/Operational"
SERVER = "Microsoft-Windows-AppXDeploymentServer"
PACKAGING = "Microsoft-Windows-AppxPackaging"
SERVICES = ["AppXSvc", "DoSvc", "BITS", "ClipSVC", "InstallService", "StateRepository", "LicenseManager"]

APPX_POLICY_KEY = r"SOFTWARE\Policies\Microsoft\Windows\Appx"
MDM_POLICY_KEY = r"SOFTWARE\Microsoft\PolicyManager\current\device\ApplicationManagement"
DO_POLICY_KEY = r"SOFTWARE\Policies\Microsoft\Windows\DeliveryOptimization"


def logged(event_id, level, provider, message="", activity=ACTIVITY):
    return {"eventId": event_id, "level": level, "provider": provider, "activityId": activity, "message": message}


def kept(event_id, level, provider, channel, message="", format_error=0):
    return {"eventId": event_id, "level": level, "provider": provider, "channel": channel, "message": message,
            "formatError": harness.hex8(format_error)}


class FailedDeployment(test_install_run.InstallRunCase):
    def test_report_carries_events_services_and_policies(self):
        scenario = {
            # As on Windows, a failed operation still hands out its result and activity id.
            "deployment": {"attempts": [
                {"errorCode": "0x80D05011", "activityId": OTHER_ACTIVITY, "resultsOnError": True},
                {"errorCode": "0x80073CF3", "activityId": ACTIVITY, "resultsOnError": True}]},
            "eventLog": {
                "channels": {
                    # Oldest first; the worker reads newest first.
                    DEPLOYMENT_CHANNEL: {"events": [
                        logged(854, 4, SERVER, "Started deployment."),
                        logged(404, 2, SERVER, "First failure."),
                        logged(405, 2, SERVER, "Another deployment's failure.", activity=OTHER_ACTIVITY),
                        logged(401, 2, SERVER, "Second failure."),
                        logged(999, 0, SERVER, "Level 0: read, never kept."),
                        logged(467, 3, SERVER, "A warning."),
                    ]},
                    # The first query times out after one event; the second reads it again.
                    PACKAGING_CHANNEL: {"events": [logged(215, 2, PACKAGING, "never formatted")],
                                        "timeoutAfter": [1]},
                },
                "providersWithoutMetadata": [PACKAGING],
            },
        }
        policies = [
            (MDM_POLICY_KEY, "AllowAllTrustedApps", "REG_DWORD", 0xFFFF),
            (APPX_POLICY_KEY, "BlockNonAdminUserInstall", "REG_SZ", "1"),  # the wrong type: Wine answers 1630
            (DO_POLICY_KEY, "DODownloadMode", "REG_DWORD", 99),
        ]
        with harness.service("DoSvc", "missing"), harness.policy_values(policies):
            run = self.install(scenario)
        self.assertEqual(run.exit_code, 0x80073CF3, run)
        report = self.ws.report()
        self.assertEqual([r["id"] for r in report["errors"]], ["deployment.add_package"], "no record of its own")
        deployment = report["deployment"]
        self.assertEqual(deployment["activityId"], ACTIVITY)

        self.assertEqual(deployment["appxEvents"], [
            kept(401, "error", SERVER, DEPLOYMENT_CHANNEL, "Second failure."),
            kept(404, "error", SERVER, DEPLOYMENT_CHANNEL, "First failure."),
            kept(467, "warning", SERVER, DEPLOYMENT_CHANNEL, "A warning."),
            kept(215, "error", PACKAGING, PACKAGING_CHANNEL, format_error=15002),
        ])
        self.assertEqual((deployment["appxLogStatus"], deployment["appxLogQueryError"],
                          deployment["appxEventsScanned"]), ("queried", "0x00000000", 5))
        self.assertEqual((deployment["packagingLogStatus"], deployment["packagingLogQueryError"],
                          deployment["packagingEventsScanned"]), ("queried", "0x00000000", 2))
        self.assertEqual(deployment["appxLogQueryAttempts"], 3, "the packaging channel was queried twice")
        tick_granularity_ms = 16
        self.assertGreaterEqual(deployment["appxLogWaitMs"], 3000 - tick_granularity_ms)
        self.assertIsInstance(deployment["appxLogQueryMs"], int)

        self.assertEqual([s["name"] for s in deployment["serviceSnapshot"]], SERVICES)
        self.assertEqual(deployment["serviceSnapshot"][1], {"name": "DoSvc", "availability": "missing",
                                                            "startMode": "", "state": "",
                                                            "queryError": "0x00000424"})

        self.assertEqual(deployment["deliveryOptimizationPolicies"],
                         [{"name": "DODownloadMode", "value": 99, "mode": "HTTP only (99)"}])
        self.assertEqual(deployment["appxPolicies"],
                         [{"name": "MDM.AllowAllTrustedApps", "value": 0xFFFF, "meaning": "not configured"}])
        self.assertEqual(deployment["appxPolicyQueryError"], "0x0000065E")
        self.assertIs(deployment["processElevated"], True, "Wine's token is elevated")


if __name__ == "__main__":
    unittest.main()
