"""Whole runs of the program against the scripted DirectDraw double and of the fault probe, natively and under
Wine: each row is a command line and a script with the exact output it must give, its exit status, and every
object released in reverse order of creation."""

import os
import re
import subprocess
import unittest

import morvit_e2e as e2e
from morvit_e2e import expect, failure, header, run_double, run_lines

USAGE = b"".join(line + b"\r\n" for line in (
    b"MORVIT.EXE [TestCount ReadCount BltToSysCount] [/I] [/W] [/Q] [/Dnum]", b"TestCount - Count of Tests (default 1000)",
    b"ReadCount - Count of Video Memory Read Tests (default 10)",
    b"BltToSysCount - Count of Blits to Sytem Memory Tests (default 100)", b"/I - Info Only, no Perfomance Tests",
    b"/W - Wait after every blit in Perfomance Tests",
    b"/Q - Use QWord (8 bytes) Read, Write and Copy Routines (legacy FPU assisted)",
    b"/D - Select Device Number from enumeration", b'Any value (like "x") except numbers for *Count is default value'))
SMALL = "surface 64 8 320 32\n"  # rows of 256 bytes in a pitch of 320
WIDE = "surface 256 256 2048 32\n"  # half of every pitch is beyond the row: counting rows would halve the rates
INFO, TWO_ONE_ONE = run_lines(64, 8, 320, 32), run_lines(64, 8, 320, 32, (2, 1, 1))
GENERIC = "80004005h Generic failure."


def until(lines, start, *replacement):
    """lines up to the first that starts with start (a report line: its label), which replacement takes the place of."""
    text = [line[0] if isinstance(line, tuple) else line or "" for line in lines]
    return lines[:next(i for i, line in enumerate(text) if line.startswith(start))] + list(replacement)


class RunTest(unittest.TestCase):
    def test_usage_and_information_run(self):
        for args in (["/?"], ["/h", "5"], ["/H"], ["/?x", "/I"], ["/I", "/?"]):
            result = run_double(args, SMALL)
            self.assertEqual((result.stdout == USAGE, result.status), ("/I" not in args, 0), args)
        result = run_double(["/i"], SMALL)
        expect(self, result, INFO)
        calls = "DirectDrawEnumerateExA - 00000001, DirectDrawCreateEx - 00000000, SetCooperativeLevel ddraw 00000008, " \
                "CreateSurface ddraw 00000200, GetSurfaceDesc primary 0000007C, CreateSurface ddraw 00000840, " \
                "Blt sysmem<primary 01000000, Blt primary<sysmem 01000000, Lock primary 00000801, Unlock primary 00000000"
        self.assertEqual([re.sub(r"^\d+ ", "", line) for line in result.record if line[0].isdigit()],
                         [call + " -> 00000000" for call in calls.split(", ")])
        e2e.released_in_reverse(self, result.record)

    def test_complete_runs(self):
        for args, script, counts, wait, qword in ((["300", "100", "300"], WIDE, (300, 100, 300), "FALSE", "FALSE"),
                                                  (["300", "300", "300", "/Q"], "surface 255 255 1028 32\n", (300,) * 3, "FALSE", "TRUE"),
                                                  (["200", "50", "$32", "/w"], WIDE, (200, 50, 50), "TRUE", "FALSE")):
            with self.subTest(args):
                result = run_double(args, script)
                width, height, pitch, bpp = map(int, script.split()[1:])
                expect(self, result, run_lines(width, height, pitch, bpp, counts, wait, qword), pass_bytes=pitch * height)
                # Timed blits do not wait unless /W; with /W every blit waits and is waited for.
                flags = [line.split()[-3] for line in result.record if " Blt " in line]
                self.assertEqual((flags.count("01000000"), flags.count("08000000")),
                                 (2 + counts[0] + counts[2], 0) if wait == "TRUE" else (2, counts[0] + counts[2]))
                e2e.released_in_reverse(self, result.record)

    def test_early_ends_and_failures(self):
        # Calls of the information run: 2 creates the DirectDraw object, 4 and 6 the surfaces, 7 the first blit,
        # 9 and 10 lock and unlock the primary; of the run "2 1 1": 8 to 11 wait before the timed blits, 12 the first.
        for args, script, lines, status in (
                (["/I"], "fail 2 80004005", until(INFO, e2e.ZERO_GUID, e2e.ZERO_GUID[:-2] + GENERIC), 0),
                (["/I"], "fail 4 80004005", until(INFO, "PrimarySurface", "PrimarySurface: " + GENERIC), 0),
                (["/I"], "fail 4 00000001", until(INFO, "PrimarySurface", "PrimarySurface: 00000001h Unrecognized Error"), 0),
                (["/I"], "fail 6 80004005", until(INFO, "SysMemSurface", "SysMemSurface (64 x 8, 32bpp): " + GENERIC), 0),
                (["/I"], "fail 7 80004005", until(INFO, "VideoMem To SysMem", "VideoMem To SysMem Blt: " + GENERIC) + INFO[-5:], 0),
                (["/I"], "fail 9 80004005", until(INFO, "Primary.Lock", "Primary.Lock: " + GENERIC), 0),
                (["/I"], "fail 10 80004005", until(INFO, "Primary.UnLock", "Primary.UnLock: " + GENERIC), 0),
                (["/I"], "fail 1 80004005", INFO[:2] + INFO[10:], 0),  # a failed listing lists nothing
                (["2", "1", "1"], "fail 12 80004005", until(TWO_ONE_ONE, "VideoMem To SysMem Blt", failure(
                    header("VideoMem To SysMem Blt"), b"Exception", b"Test Blt Fail " + re.escape(GENERIC.encode()))), 1),
                (["2", "1", "1"], "fail 8 80004005", until(TWO_ONE_ONE, "VideoMem To SysMem Blt", failure(
                    b"", b"Exception", rb"WaitForOpComplete Lock Fail \[%s\]\." % re.escape(GENERIC.encode()))), 1),
                (["2", "1", "1"], "fail 11 80004005", until(TWO_ONE_ONE, "VideoMem To SysMem Blt", failure(
                    b"", b"Exception", rb"WaitForOpComplete UnLock Fail \[%s\]\." % re.escape(GENERIC.encode()))), 1),
                (["2", "1", "1"], "fault-lock", until(TWO_ONE_ONE, "VideoMem Read", failure(header("VideoMem Read"), b"EAccessViolation",
                    rb"Access violation at address [0-9A-F]{8,16} in module '%s'\. Read of address 00000010\." % e2e.MODULE)), 1)):
            with self.subTest(args=args, script=script):
                result = run_double(args, SMALL + script + "\n")
                expect(self, result, lines, status)
                e2e.released_in_reverse(self, result.record)

    def test_settings_echo_and_devices(self):
        # The runs end after the device listing: the script fails the creation of the DirectDraw object.
        named = "device none caf%E9 n%E9\ndevice guid second%20card second\n"
        listed = ["  Driver 0: n\xe9", "  Description: caf" + ("\x82" if e2e.IS_WIN32 else "\xe9"),  # OEM 437 under Wine
                  "  GUID: No", "", "  Driver 1: second", "  Description: second card", e2e.DEVICES[6], ""]
        zero, second = ("DirectDrawCreateEx({%s},IID_IDirectDraw7): " % guid + GENERIC for guid in (
            "00000000-0000-0000-0000-000000000000", "4D4F5256-4954-11D2-8000-444953504C31"))
        head = ["DirectDraw 7 Version", "Attached Device Enumeration:"]
        echo = lambda count, switches: [head[0], count] + ["Wait after every blit: " + switches, "QWord Routines: " + switches, ""]
        for args, script, lines in (([], "", echo("TestCount = 1000; ReadCount = 10; BltToSysCount = 100", "FALSE") + head[1:] + e2e.DEVICES + [zero]),
                                    (["5", "5", "5", "/W", "/q"], "", echo("TestCount = 5", "TRUE") + head[1:] + e2e.DEVICES + [zero]),
                                    (["/I", "/D1"], named, head + listed + [second]), (["/I", "/d0"], named, head + listed + [zero]),
                                    (["/I", "/D2"], "no-devices\n", head + [zero])):
            with self.subTest(args):
                expect(self, run_double(args, script + "fail 2 80004005\n"), lines)

    @e2e.win32_only
    def test_refused_buffer_and_raw_command_lines(self):
        # 1 GiB of system memory: more than the largest free block of a 32-bit process.
        result = run_double(["/I"], "surface 16384 16384 65536 32\n")
        expect(self, result, until(INFO, "  Resolution", "  Resolution: 16384 x 16384 x 32bpp",
                                   failure(b"", b"Exception", re.escape(b"GetMem fail [Size = 1073741824]."))), 1)
        e2e.released_in_reverse(self, result.record)
        # Exact command lines through CreateProcessA, split by the program's own rules.
        exe = '"Z:%s" ' % os.path.abspath(e2e.DOUBLE).replace("/", "\\")
        for rest, echo in (('"5 " "  7" $10', b"TestCount = 1000; ReadCount = 7; BltToSysCount = 16\r\n"),
                           ('"" 4\t""  4  x10', b"TestCount = 4; BltToSysCount = 16\r\n"), ('"/"i /h', b"")):
            result = run_double([(exe + rest).encode("latin-1").hex()], "fail 2 80004005\n", exe=os.environ["MORVIT_LAUNCH"])
            self.assertTrue(result.stdout.startswith(b"DirectDraw 7 Version\r\n" + echo), result.stdout[:200])
        self.assertEqual(e2e.run([(exe + '"/?"').encode().hex()], os.environ["MORVIT_LAUNCH"]).stdout, USAGE)


class FailureTest(unittest.TestCase):
    """Failure reports of every kind through the fault probe; output that cannot be written."""

    def test_reports(self):
        probe, label = re.escape(os.path.basename(e2e.PROBE).encode()), header("SysMem Read") + b"released\r\n"
        violation = rb"Access violation at address (?P<at>[0-9A-F]{8,16}) in module '%s'\. %s of address %s\."
        cases = [("read", b"released\r\n", b"EAccessViolation", violation % (probe, b"Read", b"00000010")),
                 ("write", b"released\r\n", b"EAccessViolation", violation % (probe, b"Write", b"00000020")),
                 ("kernel", b"released\r\n", b"EAccessViolation", violation % (probe, b"Read", b"00000010")),
                 ("fdiv", b"released\r\n", b"EZeroDivide", b"Floating point division by zero."),
                 ("invalid", b"released\r\n", b"EInvalidOp", b"Invalid floating point operation."),
                 ("intdiv", b"released\r\n", b"EDivByZero", b"Division by zero."),
                 ("timed-divide", label, b"EZeroDivide", b"Floating point division by zero."),
                 ("timed-convert", label, b"EInvalidOp", b"Invalid floating point operation.")]
        if e2e.IS_WIN32:
            # A fault in another module's code is reported without unwinding its frames; then the exceptions the
            # platform raises with each code, in a module of its own.
            cases.append(("foreign", b"", b"EAccessViolation", violation % (rb"msvcrt\.dll", b"Read", b"00000010")))
            cases += [("raise " + code, b"", cls, message) for code, cls, message in (
                ("C0000005", b"EAccessViolation", violation % (rb"\S+", b"Read", b"00000000")),
                ("C0000094", b"EDivByZero", b"Division by zero."), ("C000008C", b"ERangeError", b"Range check error."),
                ("C0000095", b"EIntOverflow", b"Integer overflow."), ("C000008E", b"EZeroDivide", b"Floating point division by zero."),
                ("C0000090", b"EInvalidOp", b"Invalid floating point operation."), ("C0000091", b"EOverflow", b"Floating point overflow."),
                ("C0000092", b"EInvalidOp", b"Invalid floating point operation."),
                ("C000008F", b"EInvalidOp", b"Invalid floating point operation."),
                ("C0000093", b"EUnderflow", b"Floating point underflow."), ("C000008D", b"EUnderflow", b"Floating point underflow."),
                ("C0000096", b"EPrivilege", b"Privileged instruction."), ("C00000FD", b"EStackOverflow", b"Stack overflow."),
                ("E0001234", b"EExternalException", b"External exception E0001234."))]
        for mode, before, cls, message in cases:
            with self.subTest(mode):
                result = e2e.run(mode.split(), e2e.PROBE)
                module = rb"\S+" if mode.startswith(("raise", "foreign")) else probe
                message = message if b"violation" in message else re.escape(message)
                match = re.fullmatch(re.escape(before) + b"Exception " + cls + b" in module " + module
                                     + rb" at (?P<offset>[0-9A-F]{8})\.\n" + message + b"\r\n", result.stdout)
                self.assertIsNotNone(match, result.stdout)
                self.assertEqual(result.status, 1)
                if e2e.IS_WIN32 and mode == "read":  # mapped at its preferred base
                    self.assertEqual(int(match["at"], 16) - 0x400000, int(match["offset"], 16))
        # Repeated faults are each converted with clean-up and leave the x87 unit as the program set it;
        # released buffers give their address space back.
        for mode, stdout in (("repeat", b"faults 300 releases 300 unclean 0\r\n"), ("pages", b"pages released\r\n")):
            self.assertEqual(e2e.run([mode], e2e.PROBE).stdout, stdout + b"released\r\n", mode)

    def test_output_that_cannot_be_written_ends_with_status_1(self):
        for args in (["/?"], ["/I"]):
            with open("/dev/full", "wb") as full:
                self.assertEqual(e2e.run(args, stdout=full).status, 1, args)
            closed = subprocess.run(["sh", "-c", 'exec "$@" >&-', "sh"] + e2e.RUNNER + [e2e.EXE] + args,
                                    stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
            # A pipe whose reader has gone is an output error too, not an end by a signal.
            piped = subprocess.Popen(e2e.RUNNER + [e2e.EXE] + args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            piped.stdout.close()
            self.assertEqual((closed.returncode, piped.wait(timeout=120)), (1, 1), args)


if __name__ == "__main__":
    unittest.main(verbosity=2)
