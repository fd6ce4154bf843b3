"""MORVIT.EXE under Wine: complete runs against Wine's own DirectDraw on a 1024 x 768 screen of 32 bits per pixel
with figures that agree with the bytes moved, runs without DirectDraw 7, and runs under Wine's Windows 98, 2000
and XP version modes."""

import os
import re
import unittest

import morvit_e2e as e2e
import test_runs

GUID = rb"  GUID: \{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}"


@e2e.win32_only
class WineTest(unittest.TestCase):
    def test_runs(self):
        for args, counts, wait, qword in (
                (["20", "5", "10"], (20, 5, 10), "FALSE", "FALSE"), ([], (1000, 10, 100), "FALSE", "FALSE"),
                (["30", "30", "10", "/Q"], (30, 30, 10), "FALSE", "TRUE"), (["20", "5", "5", "/W"], (20, 5, 5), "TRUE", "FALSE"),
                (["/I"], None, "", ""), (["/I", "/D1"], None, "", "")):
            with self.subTest(args):
                lines = test_runs.run_lines(1024, 768, 4096, 32, counts, wait, qword)
                at = lines.index("  GUID: {4D4F5256-4954-11D2-8000-444953504C31}")
                lines[at] = GUID
                if "/D1" in args:
                    lines[at + 2] = rb"DirectDrawCreateEx\(" + GUID[9:] + rb",IID_IDirectDraw7\): OK"
                test_runs.expect(self, e2e.run(args), lines, pass_bytes=4096 * 768)

    def test_without_directdraw_7(self):
        head = ["DirectDraw 7 Version", "TestCount = 1", "Wait after every blit: FALSE", "QWord Routines: FALSE", "",
                "Attached Device Enumeration:"]
        for exe, overrides, missing in ((e2e.EXE, "ddraw=d", b"ddraw.dll"),
                                        (os.environ.get("MORVIT_ENUM_ONLY_EXE"), "ddraw=n", b"DirectDrawCreateEx")):
            report = test_runs.failure(b"", b"Exception", re.escape(b"DirectDraw 7 not available [%s].\r\n" % missing))
            test_runs.expect(self, e2e.run(["1", "1", "1"], exe, env={"WINEDLLOVERRIDES": overrides}), head + [report], 1)
        self.assertEqual(e2e.run(["/?"], env={"WINEDLLOVERRIDES": "ddraw=d"}).stdout, test_runs.USAGE)

    def test_version_modes(self):
        # A complete run against Wine's DirectDraw and a faulting lock against the double, in each mode.
        for version, number in (("win98", b"4.10"), ("win2k", b"5.0"), ("winxp", b"5.1")):
            with self.subTest(version):
                prefix = ["--prefix", os.path.join(os.environ["MORVIT_BUILD"], "wineprefix-" + version), "--screen",
                          "320x200x24"]
                e2e.run(["add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"], "reg", runner_options=prefix)
                self.assertIn(b"Windows " + number + b".", e2e.run(["/c", "ver"], "cmd", runner_options=prefix).stdout)
                complete = e2e.run(["2", "1", "1"], runner_options=prefix)
                self.assertEqual((complete.status, complete.stdout.count(b"(Secs, Bytes/s):")), (0, 9))
                self.assertTrue(complete.stdout.endswith(b"\r\nPrimary.UnLock: OK\r\n"))
                faulting = e2e.run_double(["2", "1", "1"], test_runs.SMALL + "fault-lock\n", runner_options=prefix)
                self.assertRegex(faulting.stdout, test_runs.failure(e2e.header("VideoMem Read"), b"EAccessViolation",
                                 rb"Access violation at address [0-9A-F]{8} in module 'MORVIT\.EXE'\. Read of address"
                                 rb" 00000010\.\r\n\Z"))
                self.assertEqual(faulting.status, 1)
                e2e.released_in_reverse(self, faulting.record)


if __name__ == "__main__":
    unittest.main(verbosity=2)
