"""The distribution channel's stamping tool (scripts/stamp_visitor.py) on
signed launchers: the signature still verifies, a stamp replaces the one
before, the stamped id reaches the worker, and bad input or a Python without
asn1crypto writes nothing."""

import pathlib
import re
import subprocess
import unittest

import harness
import launcher_harness as lh

STAMP = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "stamp_visitor.py"
FIRST, SECOND = "vis_0123456789abcdef0123456789abcdef", "vst_fedcba9876543210fedcba9876543210"
STAMPED = re.compile(rb"TAVO_VISITOR_V1:((?:vis|vst)_[0-9a-f]{32})")


def stamp(*args, python=("/usr/bin/python3",)):
    return subprocess.run([*python, str(STAMP), *map(str, args)], capture_output=True, timeout=60)


def verifies(program, ca):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", str(ca), "-in", str(program)],
                          capture_output=True, timeout=60).returncode == 0


def ids(program):
    return [m.decode() for m in STAMPED.findall(pathlib.Path(program).read_bytes())]


def sign_with_throwaway_authority(program, out, folder):
    """Signs `program` as `out` with an authority made here; returns its certificate."""
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True, timeout=60)
    (folder / "password.txt").write_text("stamping-test\n")
    (folder / "signing.ext").write_text("keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Stamping test CA", "-keyout", "ca.key",
            "-out", "ca.pem")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Stamping test", "-keyout", "s.key", "-out", "s.csr")
    openssl("x509", "-req", "-in", "s.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-extfile", "signing.ext", "-out", "s.pem")
    openssl("pkcs12", "-export", "-inkey", "s.key", "-in", "s.pem", "-passout", "file:password.txt", "-out", "s.pfx")
    subprocess.run(["osslsigncode", "sign", "-pkcs12", "s.pfx", "-readpass", "password.txt", "-h", "sha256",
                    "-in", str(program), "-out", str(out)], cwd=folder, check=True, capture_output=True, timeout=60)
    return folder / "ca.pem"


class Stamping(unittest.TestCase):
    def test_the_signed_release_launcher_still_verifies_and_a_second_stamp_replaces_the_first(self):
        release, ca = harness.PROGRAMS["TAVO_RELEASE_LAUNCHER"], harness.PROGRAMS["TAVO_SIGNING_CA"]
        with harness.Workspace() as ws:
            once, twice = ws.path("once.exe"), ws.path("twice.exe")
            self.assertEqual(stamp("--visitor-id", FIRST, release, once).returncode, 0)
            self.assertEqual(stamp("--visitor-id", SECOND, once, twice).returncode, 0)
            self.assertTrue(verifies(once, ca) and verifies(twice, ca))
            self.assertEqual((ids(once), ids(twice)), ([FIRST], [SECOND]))
            self.assertEqual(twice.stat().st_size % 8, 0)  # the certificate table ends 8-byte aligned

    def test_bad_input_is_refused_and_nothing_is_written(self):
        with harness.Workspace() as ws:
            signed = ws.path("signed.exe")
            sign_with_throwaway_authority(harness.PROGRAMS["TAVO_LAUNCHER"], signed, ws.dir)
            text = ws.path("notes.txt")
            text.write_text("not a program")
            for name, args in {"invalid id": ("vis_0123", signed), "upper-case id": (FIRST.upper(), signed),
                               "unsigned program": (FIRST, harness.PROGRAMS["TAVO_LAUNCHER"]),
                               "not a program": (FIRST, text)}.items():
                with self.subTest(name):
                    out = ws.path("out.exe")
                    result = stamp("--visitor-id", args[0], args[1], out)
                    self.assertEqual(result.returncode, 2, result)
                    self.assertTrue(result.stderr.startswith(b"stamp_visitor: "), result)
                    self.assertFalse(out.exists())
            before = signed.read_bytes()
            self.assertEqual(stamp("--visitor-id", FIRST, signed, signed).returncode, 2)
            self.assertEqual(signed.read_bytes(), before, "the input was written")

    def test_a_python_without_asn1crypto_is_told_what_is_missing_and_how_to_get_it(self):
        # Isolated and without site, Debian's Python has no dist-packages, where
        # python3-asn1crypto lives: it stands for a venv's or pyenv's Python.
        with harness.Workspace() as ws:
            out = ws.path("out.exe")
            result = stamp("--visitor-id", FIRST, harness.PROGRAMS["TAVO_LAUNCHER"], out,
                           python=("/usr/bin/python3", "-I", "-S"))
            self.assertEqual(result.returncode, 2, result)
            self.assertTrue(result.stderr.startswith(b"stamp_visitor: needs the Python module asn1crypto"), result)
            self.assertEqual(result.stderr.count(b"\n"), 1, result)  # one line, no traceback
            self.assertIn(b"/usr/bin/python3 (apt-get install python3-asn1crypto) or pip install asn1crypto",
                          result.stderr)
            self.assertFalse(out.exists())


class StampedLauncherRun(unittest.TestCase):
    def test_the_stamped_id_reaches_the_worker(self):
        with harness.Workspace() as ws:
            signed, stamped = ws.path("signed.exe"), ws.path("TavoSetup.exe")
            ca = sign_with_throwaway_authority(harness.PROGRAMS["TAVO_LAUNCHER"], signed, ws.dir)
            self.assertEqual(stamp("--visitor-id", FIRST, signed, stamped).returncode, 0)
            self.assertTrue(verifies(stamped, ca))
            self.assertEqual(lh.worker_arguments(stamped), ["--visitor-id", FIRST])


if __name__ == "__main__":
    unittest.main()
