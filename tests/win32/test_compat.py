"""MORVIT.EXE without DirectDraw 7, and under Wine's Windows 98, 2000 and XP version modes."""

import os
import re
import tempfile
import unittest

import morvit_e2e as e2e

DOUBLE = os.environ["MORVIT_DOUBLE_EXE"]
ENUM_ONLY = os.environ["MORVIT_ENUM_ONLY_EXE"]
PREFIXES = os.environ["MORVIT_PREFIX_ROOT"]
LOCATION = rb" at [0-9A-F]{8}\.\n"


class MissingDirectDrawTest(unittest.TestCase):
    def test_missing_library_or_entry_point_is_reported(self):
        head = e2e.crlf("DirectDraw 7 Version", "TestCount = 1", "Wait after every blit: FALSE",
                        "QWord Routines: FALSE", "", "Attached Device Enumeration:")
        for exe, overrides, missing in ((e2e.EXE, "ddraw=d", b"ddraw.dll"),
                                        (ENUM_ONLY, "ddraw=n", b"DirectDrawCreateEx")):
            with self.subTest(missing):
                result = e2e.run(["1", "1", "1"], exe=exe, env={"WINEDLLOVERRIDES": overrides})
                self.assertEqual(result.status, 1)
                self.assertRegex(result.stdout, re.compile(
                    re.escape(head + b"Exception Exception in module MORVIT.EXE") + LOCATION
                    + re.escape(b"DirectDraw 7 not available [" + missing + b"].\r\n") + rb"\Z"))

    def test_usage_text_needs_no_directdraw(self):
        result = e2e.run(["/?"], env={"WINEDLLOVERRIDES": "ddraw=d"})
        self.assertEqual(result.status, 0)
        self.assertTrue(result.stdout.startswith(b"MORVIT.EXE [TestCount ReadCount BltToSysCount]"))
        self.assertEqual(result.stdout.count(b"\r\n"), 9)


class VersionModeTest(unittest.TestCase):
    """A complete run against Wine's DirectDraw and a faulting lock against the double, each in a prefix
    whose Windows version is set."""

    def test_runs_in_each_version_mode(self):
        for version, number in (("win98", b"4.10"), ("win2k", b"5.0"), ("winxp", b"5.1")):
            with self.subTest(version), tempfile.TemporaryDirectory() as folder:
                prefix = ["--prefix", os.path.join(PREFIXES, "wineprefix-" + version), "--screen", "320x200x24"]
                e2e.run(["add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"], exe="reg",
                        runner_options=prefix)
                version_text = e2e.run(["/c", "ver"], exe="cmd", runner_options=prefix).stdout
                self.assertIn(b"Windows " + number + b".", version_text)

                complete = e2e.run(["2", "1", "1"], runner_options=prefix)
                self.assertEqual(complete.status, 0, complete.stdout)
                self.assertEqual(complete.stdout.count(b"(Secs, Bytes/s):"), 9)
                self.assertTrue(complete.stdout.endswith(b"\r\nPrimary.UnLock: OK\r\n"))

                script, record = os.path.join(folder, "script"), os.path.join(folder, "record")
                with open(script, "w") as f:
                    f.write("surface 64 8 320 32\nfault-lock\n")
                env = {"MORVIT_DDRAW_SCRIPT": script, "MORVIT_DDRAW_LOG": record, "WINEDLLOVERRIDES": "ddraw=n"}
                faulting = e2e.run(["2", "1", "1"], exe=DOUBLE, env=env, runner_options=prefix)
                self.assertEqual(faulting.status, 1)
                self.assertRegex(faulting.stdout, re.compile(
                    re.escape(b"\r\nVideoMem Read (Secs, Bytes/s): " + b" " * 13
                              + b"Exception EAccessViolation in module MORVIT.EXE") + LOCATION
                    + rb"Access violation at address [0-9A-F]{8} in module 'MORVIT\.EXE'\. Read of address 00000010\.\r\n\Z"))
                with open(record) as f:
                    self.assertIn("- End leaks=0\n", f.read())


if __name__ == "__main__":
    unittest.main(verbosity=2)
