"""MORVIT.EXE under Wine: without DirectDraw 7, and in Wine's Windows 98, 2000 and XP modes complete runs against
Wine's own DirectDraw, whose figures agree with the bytes moved, and a faulting lock against the double."""

import os
import re
import unittest

import morvit_e2e as e2e
from test_runs import SMALL, USAGE

GUID = rb"  GUID: \{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}"


@e2e.win32_only
class WineTest(unittest.TestCase):
    def test_without_directdraw_7(self):
        head = ["DirectDraw 7 Version", "TestCount = 1", "Wait after every blit: FALSE", "QWord Routines: FALSE", "",
                "Attached Device Enumeration:"]
        for exe, overrides, missing in ((e2e.EXE, "ddraw=d", b"ddraw.dll"),
                                        (os.environ.get("MORVIT_ENUM_ONLY_EXE"), "ddraw=n", b"DirectDrawCreateEx")):
            report = e2e.failure(b"", b"Exception", re.escape(b"DirectDraw 7 not available [%s]." % missing))
            e2e.expect(self, e2e.run(["1", "1", "1"], exe, env={"WINEDLLOVERRIDES": overrides}), head + [report], 1)
        self.assertEqual(e2e.run(["/?"], env={"WINEDLLOVERRIDES": "ddraw=d"}).stdout, USAGE)

    def test_version_modes(self):
        for version, number in (("win98", b"4.10"), ("win2k", b"5.0"), ("winxp", b"5.1")):
            with self.subTest(version):
                prefix = ["--prefix", os.path.join(os.environ["MORVIT_BUILD"], "wineprefix-" + version), "--screen", "320x200x24"]
                e2e.run(["add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"], "reg", runner_options=prefix)
                self.assertIn(b"Windows " + number + b".", e2e.run(["/c", "ver"], "cmd", runner_options=prefix).stdout)
                lines = e2e.run_lines(320, 200, 1280, 32, (200, 20, 50))
                lines[lines.index(e2e.DEVICES[6])] = GUID
                e2e.expect(self, e2e.run(["200", "20", "50"], runner_options=prefix), lines, pass_bytes=1280 * 200)
                faulting = e2e.run_double(["2", "1", "1"], SMALL + "fault-lock\n", runner_options=prefix)
                self.assertRegex(faulting.stdout, e2e.failure(e2e.header("VideoMem Read"), b"EAccessViolation",
                                 rb"Access violation at address [0-9A-F]{8} in module 'MORVIT\.EXE'\. Read of address 00000010\."))
                self.assertEqual(faulting.status, 1)
                e2e.released_in_reverse(self, faulting.record)


if __name__ == "__main__":
    unittest.main(verbosity=2)
