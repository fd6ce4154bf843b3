"""The command line as the program sees it: usage text, settings echo, raw command-line splitting."""

import os
import unittest

import morvit_e2e as e2e

USAGE = e2e.crlf(
    "MORVIT.EXE [TestCount ReadCount BltToSysCount] [/I] [/W] [/Q] [/Dnum]",
    "TestCount - Count of Tests (default 1000)",
    "ReadCount - Count of Video Memory Read Tests (default 10)",
    "BltToSysCount - Count of Blits to Sytem Memory Tests (default 100)",
    "/I - Info Only, no Perfomance Tests",
    "/W - Wait after every blit in Perfomance Tests",
    "/Q - Use QWord (8 bytes) Read, Write and Copy Routines (legacy FPU assisted)",
    "/D - Select Device Number from enumeration",
    'Any value (like "x") except numbers for *Count is default value',
)

HEADER = e2e.crlf("DirectDraw 7 Version")
ENUMERATION = e2e.crlf("Attached Device Enumeration:")
# Runs that go on past the settings get a small screen, so that their tests are quick.
SMALL_SCREEN = ["--screen", "320x240x24"] if e2e.IS_WIN32 else []


def echo(count_line, wait="FALSE", qword="FALSE"):
    return HEADER + e2e.crlf(count_line, "Wait after every blit: " + wait, "QWord Routines: " + qword, "") + ENUMERATION


def run(args):
    return e2e.run(args, runner_options=SMALL_SCREEN)


class UsageTest(unittest.TestCase):
    def test_usage_for_question_mark_and_h_in_any_case(self):
        for argument in ("/?", "/h", "/H"):
            result = e2e.run([argument, "5"])
            self.assertEqual(result.stdout, USAGE, argument)
            self.assertEqual(result.status, 0)

    def test_no_usage_for_other_arguments(self):
        for args in (["/?x", "/I"], ["/I", "/?"], ["/I", "/h"]):
            result = run(args)
            self.assertTrue(result.stdout.startswith(HEADER + ENUMERATION), (args, result.stdout[:200]))


class SettingsEchoTest(unittest.TestCase):
    def expect_echo(self, args, expected):
        result = run(args)
        self.assertEqual(result.stdout[:len(expected)], expected, result.stdout[:400])

    def test_default_counts(self):
        self.expect_echo(["/W"], echo("TestCount = 1000; ReadCount = 10; BltToSysCount = 100", wait="TRUE"))

    def test_blt_count_equal_to_read_count_is_not_shown(self):
        self.expect_echo(["3", "10", "10", "/Q"], echo("TestCount = 3; ReadCount = 10", qword="TRUE"))

    def test_read_count_equal_to_test_count_is_not_shown(self):
        self.expect_echo(["5", "5", "100"], echo("TestCount = 5; BltToSysCount = 100"))
        self.expect_echo(["5", "5", "5"], echo("TestCount = 5"))

    def test_info_only_prints_no_settings(self):
        result = run(["/i"])
        self.assertTrue(result.stdout.startswith(HEADER + ENUMERATION), result.stdout[:200])
        self.assertNotIn(b"(Secs, Bytes/s)", result.stdout)
        self.assertEqual(result.status, 0)


@unittest.skipUnless(e2e.LAUNCH, "raw command lines need the Win32 build")
class RawCommandLineTest(unittest.TestCase):
    """Exact command lines, through CreateProcessA, split by the program's own rules."""

    def windows_path(self):
        return "Z:" + os.path.abspath(e2e.EXE).replace("/", "\\")

    def run_raw(self, rest):
        return e2e.run_raw('"%s" %s' % (self.windows_path(), rest), runner_options=SMALL_SCREEN)

    def test_quoted_counts_with_blanks(self):
        result = self.run_raw('"5 " "  7" $10')
        self.assertTrue(result.stdout.startswith(echo("TestCount = 1000; ReadCount = 7; BltToSysCount = 16")),
                        result.stdout[:300])

    def test_empty_quoted_word_is_no_argument(self):
        result = self.run_raw('"" 4\t""  4  x10')
        self.assertTrue(result.stdout.startswith(echo("TestCount = 4; BltToSysCount = 16")), result.stdout[:300])

    def test_quotes_inside_a_word(self):
        result = self.run_raw('"/"i /h')
        self.assertTrue(result.stdout.startswith(HEADER + ENUMERATION), result.stdout[:300])

    def test_usage_through_a_quoted_switch(self):
        result = self.run_raw('"/?"')
        self.assertEqual(result.stdout, USAGE)
        self.assertEqual(result.status, 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
