"""The worker's command line: what it refuses, and that a refusal does nothing."""

import unittest

import harness

UPPER_HEX_ID = "vis_" + "0123456789ABCDEF" * 2


class RejectedCommandLine(unittest.TestCase):
    def test_exit_87_without_output(self):
        with harness.Workspace() as ws:
            report = harness.windows_path(ws.path("install.json"))
            cases = {
                "no arguments": [],
                "unknown argument": ["--check", "--frobnicate"],
                "switch in another case": ["--Check", "--report", report],
                "--report last": ["--check", "--report"],
                "--visitor-id last": ["--check", "--visitor-id"],
                "both --check and --install": ["--check", "--install", "--report", report],
                "neither --check nor --install": ["--verbose", "--report", report],
                "visitor id with upper-case hex": ["--check", "--visitor-id", UPPER_HEX_ID, "--report", report],
                "visitor id one digit short": ["--check", "--visitor-id", "vis_" + "0" * 31],
                "visitor id with another prefix": ["--check", "--visitor-id", "vid_" + "0" * 32],
            }
            for name, args in cases.items():
                with self.subTest(name):
                    run = harness.run_worker(*args)
                    self.assertEqual(run.exit_code, 87, run)
                    self.assertEqual(run.lines, [], run)
            self.assertEqual(sorted(p.name for p in ws.dir.iterdir()), [], "a refused run wrote files")


if __name__ == "__main__":
    unittest.main()
