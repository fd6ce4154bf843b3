"""Whole runs of the program against the scripted DirectDraw double, natively and under Wine: each row of the
tables is a command line and a script with the exact output it must give (measured figures checked against
each other and the bytes moved), its exit status, and every object released in reverse order of creation."""

import os
import re
import unittest

import morvit_e2e as e2e
from morvit_e2e import crlf, header

USAGE = crlf("MORVIT.EXE [TestCount ReadCount BltToSysCount] [/I] [/W] [/Q] [/Dnum]",
             "TestCount - Count of Tests (default 1000)", "ReadCount - Count of Video Memory Read Tests (default 10)",
             "BltToSysCount - Count of Blits to Sytem Memory Tests (default 100)", "/I - Info Only, no Perfomance Tests",
             "/W - Wait after every blit in Perfomance Tests",
             "/Q - Use QWord (8 bytes) Read, Write and Copy Routines (legacy FPU assisted)",
             "/D - Select Device Number from enumeration", 'Any value (like "x") except numbers for *Count is default value')
MODULE = re.escape(os.path.basename(e2e.DOUBLE).encode())
SMALL = "surface 64 8 320 32\n"  # rows of 256 bytes in a pitch of 320
WIDE = "surface 256 256 2048 32\n"  # half of every pitch is beyond the row: counting rows would halve the rates
DEVICES = ["  Driver 0: display", "  Description: DirectDraw HAL", "  GUID: No", "", "  Driver 1: \\\\.\\DISPLAY1",
           "  Description: WineD3D DirectDraw Emulation", "  GUID: {4D4F5256-4954-11D2-8000-444953504C31}", ""]
ZERO_GUID = "DirectDrawCreateEx({00000000-0000-0000-0000-000000000000},IID_IDirectDraw7): OK"
MEMORY_TESTS = [("SysMem Read", 0), ("SysMem Write", 0), ("SysMem Copy", 0)]
BLIT_TESTS = [("VideoMem To SysMem Blt", 2), ("SysMem To VideoMem Blt", 0)]
VIDEO_TESTS = [("VideoMem Read", 1), ("VideoMem Write", 0), ("SysMem To VideoMem Copy", 0), ("VideoMem To SysMem Copy", 1)]


def echo(line, wait="FALSE", qword="FALSE"):
    return [line, "Wait after every blit: " + wait, "QWord Routines: " + qword, ""]


def run_lines(width, height, pitch, bpp, counts=None, wait="FALSE", qword="FALSE"):
    """The lines of a complete run: text, or (label, passes) for a report line; None stands for the virtual
    address line. counts: TestCount, ReadCount, BltToSysCount, or None
    for /I. The echo leaves out ReadCount when it equals TestCount, BltToSysCount when it equals ReadCount."""
    size = "%d x %d" % (width, height)
    lines = ["DirectDraw 7 Version"]
    if counts:
        lines += echo("TestCount = %d" % counts[0] + ("; ReadCount = %d" % counts[1]) * (counts[1] != counts[0])
                      + ("; BltToSysCount = %d" % counts[2]) * (counts[2] != counts[1]), wait, qword)
    lines += ["Attached Device Enumeration:"] + DEVICES + [ZERO_GUID, "PrimarySurface: OK", "  Resolution: %s x %dbpp" % (size, bpp),
              "SysMemSurface (%s, %dbpp): OK" % (size, bpp)]
    report = lambda tests: [(label, counts[i]) for label, i in tests] if counts else []
    lines += report(MEMORY_TESTS) + (report(BLIT_TESTS) if counts else [b + ": OK" for b, _ in BLIT_TESTS])
    lines += ["Primary.Lock: OK", "  Pitch: %d" % pitch, None] + report(VIDEO_TESTS) + ["Primary.UnLock: OK"]
    return lines


INFO = run_lines(64, 8, 320, 32)
TWO_ONE_ONE = run_lines(64, 8, 320, 32, (2, 1, 1))


def until(lines, start, *replacement):
    """lines up to the first one that starts with start, which replacement takes the place of."""
    index = next(i for i, line in enumerate(lines) if isinstance(line, str) and line.startswith(start))
    return lines[:index] + list(replacement)


def failure(before, cls, message):
    """A failure report that continues the text before it (bytes), as a pattern."""
    return re.compile(re.escape(before) + b"Exception " + cls + b" in module " + MODULE + e2e.LOCATION + message)


def expect(test, result, lines, status=0, pass_bytes=320 * 8):
    """Compares the output with the expected lines: text, a report line (followed by the warning when it is
    the first under half a second), the address line, bytes as the pattern of one line, or a compiled
    pattern for the rest of the output."""
    out = result.stdout.split(b"\r\n")
    test.assertEqual(result.status, status, result.stdout[-600:])
    warned = False
    for line in lines:
        got = out.pop(0) if out else b""
        if isinstance(line, re.Pattern):
            test.assertRegex(b"\r\n".join([got] + out), line)
            return
        elif isinstance(line, tuple):
            seconds = e2e.report_figures(test, got, line[0], pass_bytes, line[1])
            # A time printed as 0.5000 may lie just below half a second.
            if not warned and (seconds < 0.5 or seconds == 0.5 and out[:1] == [e2e.WARNING]):
                test.assertEqual(out[:1], [e2e.WARNING])
                warned = bool(out.pop(0))
        else:
            pattern = rb"  Virtual Address: [0-9A-F]{8,16}" if line is None else line
            if isinstance(pattern, bytes):
                test.assertRegex(got, b"^" + pattern + b"$")
            else:
                test.assertEqual(got, line.encode("latin-1"), result.stdout[-600:])
    test.assertEqual(out, [b""])


class RunTest(unittest.TestCase):
    expect = expect

    def test_usage_text(self):
        for args, usage in ((["/?"], True), (["/h", "5"], True), (["/H"], True), (["/?x", "/I"], False),
                            (["/I", "/?"], False)):
            result = e2e.run_double(args, SMALL)
            self.assertEqual((result.stdout == USAGE, result.status), (usage, 0), args)
            self.assertEqual(result.record == [], usage, "the usage text loads no DirectDraw")

    def test_information_run_and_its_calls(self):
        result = e2e.run_double(["/i"], SMALL)
        self.expect(result, INFO)
        calls = [re.sub(r"^\d+ ", "", line) for line in result.record if line[0].isdigit()]
        self.assertEqual(calls, [
            "DirectDrawEnumerateExA - 00000001 -> 00000000", "DirectDrawCreateEx - 00000000 -> 00000000",
            "SetCooperativeLevel ddraw 00000008 -> 00000000", "CreateSurface ddraw 00000200 -> 00000000",
            "GetSurfaceDesc primary 0000007C -> 00000000", "CreateSurface ddraw 00000840 -> 00000000",
            "Blt sysmem<primary 01000000 -> 00000000", "Blt primary<sysmem 01000000 -> 00000000",
            "Lock primary 00000801 -> 00000000", "Unlock primary 00000000 -> 00000000"])
        e2e.released_in_reverse(self, result.record)

    def test_complete_runs(self):
        for args, script, counts, wait, qword, pass_bytes in (
                (["300", "100", "300"], WIDE, (300, 100, 300), "FALSE", "FALSE", 2048 * 256),
                (["300", "300", "300", "/Q"], "surface 255 255 1028 32\n", (300,) * 3, "FALSE", "TRUE", 1028 * 255),
                (["200", "50", "$32", "/w"], WIDE, (200, 50, 50), "TRUE", "FALSE", 2048 * 256)):
            with self.subTest(args):
                result = e2e.run_double(args, script)
                width, height, pitch, bpp = map(int, script.split()[1:])
                self.expect(result, run_lines(width, height, pitch, bpp, counts, wait, qword), pass_bytes=pass_bytes)
                # Timed blits do not wait unless /W; with /W every blit waits and is waited for.
                waiting = len([line for line in result.record if "Blt" in line and line.endswith("01000000 -> 00000000")])
                timed = len([line for line in result.record if "Blt" in line and line.endswith("08000000 -> 00000000")])
                self.assertEqual((waiting, timed), (2 + counts[0] + counts[2], 0) if wait == "TRUE" else
                                 (2, counts[0] + counts[2]))
                e2e.released_in_reverse(self, result.record)

    def test_early_ends_and_printed_failures(self):
        # Each case: the call of the information run that fails with the code, the beginning of the line that
        # shows it and ends the output, or for a failed untimed blit the lines that still follow.
        generic = "80004005h Generic failure."
        for call, code, start, rest in ((2, "80004005", ZERO_GUID[:-2], []), (4, "80004005", "PrimarySurface: ", []),
                                        (4, "00000001", "PrimarySurface: ", []), (6, "80004005", "SysMemSurface (", []),
                                        (7, "80004005", "VideoMem To SysMem Blt: ", INFO[-5:]),
                                        (9, "80004005", "Primary.Lock: ", []), (10, "80004005", "Primary.UnLock: ", [])):
            with self.subTest(call=call, code=code):
                result = e2e.run_double(["/I"], SMALL + "fail %d %s\n" % (call, code))
                last = next(line for line in INFO if isinstance(line, str) and line.startswith(start))
                last = last[:last.index(": ") + 2] + (generic if code != "00000001" else "00000001h Unrecognized Error")
                self.expect(result, until(INFO, start, last) + rest)
                e2e.released_in_reverse(self, result.record)
        # A failed listing lists nothing, and the run goes on.
        self.expect(e2e.run_double(["/I"], SMALL + "fail 1 80004005\n"), until(INFO, "  Driver 0") + INFO[10:])

    def test_raised_failures(self):
        # Calls of the run "2 1 1": 7 the untimed blit to system memory, 8-11 the waits on both surfaces,
        # 12 the timed blit.
        blt = header("VideoMem To SysMem Blt")
        for script, cut, report in (
                ("fail 12 8876021C\n", "VideoMem To SysMem Blt", failure(blt, b"Exception", re.escape(
                    b"Test Blt Fail 8876021Ch Informs DirectDraw that the previous Blt which is transfering"
                    b" information to or from this Surface is incomplete.\r\n") + rb"\Z")),
                ("fail 8 887601AE\n", "VideoMem To SysMem Blt", failure(b"", b"Exception", re.escape(
                    b"WaitForOpComplete Lock Fail [887601AEh Access to this surface is being refused because the"
                    b" surface is already locked by another thread.].\r\n") + rb"\Z")),
                ("fail 11 80004005\n", "VideoMem To SysMem Blt", failure(b"", b"Exception", re.escape(
                    b"WaitForOpComplete UnLock Fail [80004005h Generic failure.].\r\n") + rb"\Z")),
                ("fault-lock\n", "VideoMem Read", failure(header("VideoMem Read"), b"EAccessViolation",
                    rb"Access violation at address [0-9A-F]{8,16} in module '" + MODULE
                    + rb"'\. Read of address 00000010\.\r\n\Z"))):
            with self.subTest(script):
                result = e2e.run_double(["2", "1", "1"], SMALL + script)
                index = next(i for i, line in enumerate(TWO_ONE_ONE) if isinstance(line, tuple) and line[0] == cut)
                self.expect(result, TWO_ONE_ONE[:index] + [report], status=1)
                e2e.released_in_reverse(self, result.record)

    def test_settings_echo_and_devices(self):
        # The runs end after the device listing: the script fails the creation of the DirectDraw object.
        named = ("device none caf%E9 n%E9\ndevice {01020304-0506-0708-090A-0B0C0D0E0F10} second%20card"
                 " second\n")
        cafe = "caf\x82" if e2e.IS_WIN32 else "caf\xe9"  # ANSI 1252 to OEM 437 under Wine
        listed = ["  Driver 0: n\xe9", "  Description: " + cafe, "  GUID: No", "", "  Driver 1: second",
                  "  Description: second card", "  GUID: {01020304-0506-0708-090A-0B0C0D0E0F10}", ""]
        fail = "DirectDrawCreateEx({%s},IID_IDirectDraw7): 80004005h Generic failure."
        zero, second = fail % "00000000-0000-0000-0000-000000000000", fail % "01020304-0506-0708-090A-0B0C0D0E0F10"
        for args, script, lines in (
                ([], "", echo("TestCount = 1000; ReadCount = 10; BltToSysCount = 100") + DEVICES + [zero]),
                (["1000", "10", "10"], "", echo("TestCount = 1000; ReadCount = 10") + DEVICES + [zero]),
                (["5", "5", "100"], "", echo("TestCount = 5; BltToSysCount = 100") + DEVICES + [zero]),
                (["5", "5", "5", "/W", "/q"], "", echo("TestCount = 5", "TRUE", "TRUE") + DEVICES + [zero]),
                (["/I", "/D1"], named, listed + [second]), (["/I", "/d0"], named, listed + [zero]),
                (["/I", "/D2"], "no-devices\n", [zero])):
            with self.subTest(args):
                result = e2e.run_double(args, script + "fail 2 80004005\n")
                if "/I" in args:
                    lines = ["Attached Device Enumeration:"] + lines
                else:
                    lines = lines[:4] + ["Attached Device Enumeration:"] + lines[4:]
                self.expect(result, ["DirectDraw 7 Version"] + lines)

    @e2e.win32_only
    def test_refused_buffer_allocation(self):
        # 1 GiB of system memory: more than the largest free block of a 32-bit process.
        result = e2e.run_double(["/I"], "surface 16384 16384 65536 32\n")
        self.expect(result, until(INFO, "  Resolution", "  Resolution: 16384 x 16384 x 32bpp", failure(
            b"", b"Exception", re.escape(b"GetMem fail [Size = 1073741824].\r\n") + rb"\Z")), status=1)
        e2e.released_in_reverse(self, result.record)

    @e2e.win32_only
    def test_raw_command_lines(self):
        exe = '"Z:%s"' % os.path.abspath(e2e.DOUBLE).replace("/", "\\")
        for rest, lines in (('"5 " "  7" $10', echo("TestCount = 1000; ReadCount = 7; BltToSysCount = 16")),
                            ('"" 4\t""  4  x10', echo("TestCount = 4; BltToSysCount = 16")), ('"/"i /h', [])):
            hex_line = (exe + " " + rest).encode("latin-1").hex().upper()
            result = e2e.run_double([hex_line], "fail 2 80004005\n", exe=os.environ["MORVIT_LAUNCH"])
            self.assertTrue(result.stdout.startswith(crlf("DirectDraw 7 Version", *lines, "Attached Device Enumeration:")))
        self.assertEqual(e2e.run([(exe + ' "/?"').encode().hex().upper()], os.environ["MORVIT_LAUNCH"]).stdout, USAGE)


if __name__ == "__main__":
    unittest.main(verbosity=2)
