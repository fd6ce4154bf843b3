"""The real programs (under Wine for Win32) compared byte for byte: whole runs against the scripted DirectDraw
double, each a command line and a script with the exact output, exit status and every object released in reverse
order of creation; failure reports of every kind through the fault probe; Ctrl+C in a terminal; MORVIT.EXE without
DirectDraw 7 and in Wine's Windows 98, 2000 and XP modes. CTest passes the programs, the build folder and for Win32
the |-separated Wine bench in MORVIT_* variables, and runs each class on its own."""

import os, pty, random, re, select, signal, subprocess, sys, tempfile, termios, time, types, unittest
from pathlib import Path

EXE, PROBE, DOUBLE = os.environ["MORVIT_EXE"], os.environ["MORVIT_PROBE"], os.environ["MORVIT_DOUBLE_EXE"]
RUNNER = [part for part in os.environ.get("MORVIT_RUNNER", "").split("|") if part]
IS_WIN32 = bool(RUNNER)
MODULE = re.escape(os.path.basename(DOUBLE).encode())
WARNING = b" ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount"
win32_only = unittest.skipUnless(IS_WIN32, "Win32 behaviour, under Wine")
DEVICES = ["  Driver 0: display", "  Description: DirectDraw HAL", "  GUID: No", "", "  Driver 1: \\\\.\\DISPLAY1",
           "  Description: WineD3D DirectDraw Emulation", "  GUID: {4D4F5256-4954-11D2-8000-444953504C31}", ""]
ZERO_GUID = "DirectDrawCreateEx({00000000-0000-0000-0000-000000000000},IID_IDirectDraw7): OK"


def run(args=(), exe=EXE, stdout=subprocess.PIPE, env=None, runner_options=(), timeout=300):
    """Runs a program; the result's stdout, status and (for run_double) the double's record."""
    done = subprocess.run(RUNNER + list(runner_options) + [exe] + list(args), stdin=subprocess.DEVNULL, stdout=stdout,
                          stderr=subprocess.DEVNULL, env=dict(os.environ, **(env or {})), timeout=timeout)
    return types.SimpleNamespace(stdout=done.stdout, status=done.returncode)


def run_double(args, text="", exe=DOUBLE, runner_options=()):
    """Runs the program against the double with a script; the result carries the double's record."""
    folder = Path(tempfile.mkdtemp())
    script, record = folder / "script", folder / "record"
    script.write_text(text, encoding="latin-1")
    env = {"MORVIT_DDRAW_SCRIPT": str(script), "MORVIT_DDRAW_LOG": str(record), "WINEDLLOVERRIDES": "ddraw=n"}
    result = run(args, exe, env=env, runner_options=runner_options)
    result.record = record.read_text(encoding="latin-1").splitlines() if record.exists() else []
    return result


def header(label):
    """A report line's beginning: label, column header and the padding to column 45."""
    return (label + " (Secs, Bytes/s): " + " " * max(0, 26 - len(label))).encode("latin-1")


def failure(before, cls, message):
    """A failure report continuing the text before it, up to the end of the output, as a pattern."""
    return re.compile(re.escape(before) + b"Exception " + cls + b" in module " + MODULE + rb" at [0-9A-F]{8}\.\n"
                      + message + rb"\r\n\Z")


def run_lines(width, height, pitch, bpp, counts=None, wait="FALSE", qword="FALSE"):
    """The lines of a complete run: text, (label, passes) for a report line, None for the address line. counts:
    TestCount, ReadCount, BltToSysCount, or None for /I; the echo leaves out ReadCount when it equals TestCount,
    BltToSysCount when it equals ReadCount."""
    report = lambda *tests: [(label, counts[i]) for label, i in tests] if counts else []
    echo = ["TestCount = %d" % counts[0] + ("; ReadCount = %d" % counts[1]) * (counts[1] != counts[0]) + (
        "; BltToSysCount = %d" % counts[2]) * (counts[2] != counts[1]), "Wait after every blit: " + wait,
        "QWord Routines: " + qword, ""] if counts else []
    size = "%d x %d" % (width, height)
    return ["DirectDraw 7 Version"] + echo + ["Attached Device Enumeration:"] + DEVICES + [
        ZERO_GUID, "PrimarySurface: OK", "  Resolution: %s x %dbpp" % (size, bpp), "SysMemSurface (%s, %dbpp): OK" % (size, bpp)
    ] + report(("SysMem Read", 0), ("SysMem Write", 0), ("SysMem Copy", 0)) + (report(
        ("VideoMem To SysMem Blt", 2), ("SysMem To VideoMem Blt", 0)) or ["VideoMem To SysMem Blt: OK", "SysMem To VideoMem Blt: OK"]
    ) + ["Primary.Lock: OK", "  Pitch: %d" % pitch, None] + report(
        ("VideoMem Read", 1), ("VideoMem Write", 0), ("SysMem To VideoMem Copy", 0), ("VideoMem To SysMem Copy", 1)) + [
        "Primary.UnLock: OK"]


def expect(test, result, lines, status=0, pass_bytes=320 * 8):
    """Compares the output with the expected lines: text, bytes as the pattern of one line, None for the address
    line, a report line, whose figures must agree with each other and with pass_bytes times its passes (the
    first under half a second followed by the warning), or a compiled pattern for the rest of the output."""
    out, warned = result.stdout.split(b"\r\n"), False
    test.assertEqual(result.status, status, result.stdout[-600:])
    for line in lines:
        got = out.pop(0) if out else b""
        if isinstance(line, re.Pattern):
            return test.assertRegex(b"\r\n".join([got] + out), line)
        if not isinstance(line, tuple):
            line = rb"  Virtual Address: [0-9A-F]{8,16}" if line is None else line
            test.assertRegex(got, b"^%s$" % line if isinstance(line, bytes) else b"^%s$" % re.escape(line.encode("latin-1")))
            continue
        match = re.fullmatch(re.escape(header(line[0])) + rb"( *\d+\.\d{4}) ( *-?\d+) ( *-?\d+)M ( *-?\d+)G", got)
        test.assertIsNotNone(match, (line, got))
        test.assertEqual([len(field) for field in match.groups()], [max(w, len(f.strip())) for w, f in zip((8, 12, 6, 3), match.groups())])
        seconds, rate, mb, gb = float(match[1]), int(match[2]), int(match[3]), int(match[4])
        total = pass_bytes * line[1]
        # The rate is the bytes over a time that prints as the seconds; megabytes and gigabytes round half up.
        test.assertTrue(seconds < 0.002 or total / (seconds + 0.00005) - 1 <= rate <= total / (seconds - 0.00005) + 1, got)
        test.assertEqual((mb, gb), ((rate + 500000) // 10**6, (rate + 500000000) // 10**9), got)
        # A time printed as 0.5000 may lie just below half a second.
        if not warned and (seconds < 0.5 or seconds == 0.5 and out[:1] == [WARNING]):
            test.assertEqual(out[:1], [WARNING])
            warned = bool(out.pop(0))
    test.assertEqual(out, [b""])


def released_in_reverse(test, record):
    """Every object the double created was released once, in reverse order of creation, and nothing misused."""
    created = [line[2:] for line in record if line.startswith("+ ")]
    test.assertEqual([line[2:] for line in record if line.startswith("- ")], created[::-1], record)
    test.assertEqual([line for line in record if line.startswith("!")], [])


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
        released_in_reverse(self, result.record)

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
                released_in_reverse(self, result.record)

    def test_early_ends_and_failures(self):
        # In the run "2 1 1" the first lock of the primary and unlock of sysmem wait before the timed blits.
        for args, script, lines, status in (
                (["/I"], "fail DirectDrawCreateEx - 1 80004005", until(INFO, ZERO_GUID, ZERO_GUID[:-2] + GENERIC), 0),
                (["/I"], "fail CreateSurface ddraw 1 80004005", until(INFO, "PrimarySurface", "PrimarySurface: " + GENERIC), 0),
                (["/I"], "fail CreateSurface ddraw 2 80004005", until(INFO, "SysMemSurface", "SysMemSurface (64 x 8, 32bpp): " + GENERIC), 0),
                (["/I"], "fail Blt sysmem<primary 1 80004005", until(INFO, "VideoMem To SysMem", "VideoMem To SysMem Blt: " + GENERIC) + INFO[-5:], 0),
                (["/I"], "fail Lock primary 1 80004005", until(INFO, "Primary.Lock", "Primary.Lock: " + GENERIC), 0),
                (["/I"], "fail Unlock primary 1 80004005", until(INFO, "Primary.UnLock", "Primary.UnLock: " + GENERIC), 0),
                (["/I"], "fail DirectDrawEnumerateExA - 1 80004005", INFO[:2] + INFO[10:], 0),  # a failed listing lists nothing
                (["2", "1", "1"], "fail Blt sysmem<primary 2 80004005", until(TWO_ONE_ONE, "VideoMem To SysMem Blt", failure(
                    header("VideoMem To SysMem Blt"), b"Exception", b"Test Blt Fail " + re.escape(GENERIC.encode()))), 1),
                (["2", "1", "1"], "fail Lock primary 1 80004005", until(TWO_ONE_ONE, "VideoMem To SysMem Blt", failure(
                    b"", b"Exception", rb"WaitForOpComplete Lock Fail \[%s\]\." % re.escape(GENERIC.encode()))), 1),
                (["2", "1", "1"], "fail Unlock sysmem 1 80004005", until(TWO_ONE_ONE, "VideoMem To SysMem Blt", failure(
                    b"", b"Exception", rb"WaitForOpComplete UnLock Fail \[%s\]\." % re.escape(GENERIC.encode()))), 1),
                (["2", "1", "1"], "fault-lock", until(TWO_ONE_ONE, "VideoMem Read", failure(header("VideoMem Read"), b"EAccessViolation",
                    rb"Access violation at address [0-9A-F]{8,16} in module '%s'\. Read of address 00000010\." % MODULE)), 1)):
            with self.subTest(args=args, script=script):
                result = run_double(args, SMALL + script + "\n")
                expect(self, result, lines, status)
                released_in_reverse(self, result.record)

    def test_settings_echo_and_devices(self):
        # The runs end after the device listing: the script fails the creation of the DirectDraw object.
        named = "device none caf%E9 n%E9\ndevice guid second%20card second\n"
        listed = ["  Driver 0: n\xe9", "  Description: caf" + ("\x82" if IS_WIN32 else "\xe9"),  # OEM 437 under Wine
                  "  GUID: No", "", "  Driver 1: second", "  Description: second card", DEVICES[6], ""]
        zero, second = ("DirectDrawCreateEx({%s},IID_IDirectDraw7): " % guid + GENERIC for guid in (
            "00000000-0000-0000-0000-000000000000", "4D4F5256-4954-11D2-8000-444953504C31"))
        head = ["DirectDraw 7 Version", "Attached Device Enumeration:"]
        echo = lambda count, switches: [head[0], count] + ["Wait after every blit: " + switches, "QWord Routines: " + switches, ""]
        for args, script, lines in (([], "", echo("TestCount = 1000; ReadCount = 10; BltToSysCount = 100", "FALSE") + head[1:] + DEVICES + [zero]),
                                    (["5", "5", "5", "/W", "/q"], "", echo("TestCount = 5", "TRUE") + head[1:] + DEVICES + [zero]),
                                    (["/I", "/D1"], named, head + listed + [second]), (["/I", "/d0"], named, head + listed + [zero]),
                                    (["/I", "/D2"], named, head + listed + [zero])):
            with self.subTest(args):
                expect(self, run_double(args, script + "fail DirectDrawCreateEx - 1 80004005\n"), lines)

    @win32_only
    def test_refused_buffer_and_raw_command_lines(self):
        # 1 GiB of system memory: more than the largest free block of a 32-bit process.
        result = run_double(["/I"], "surface 16384 16384 65536 32\n")
        expect(self, result, until(INFO, "  Resolution", "  Resolution: 16384 x 16384 x 32bpp",
                                   failure(b"", b"Exception", re.escape(b"GetMem fail [Size = 1073741824]."))), 1)
        released_in_reverse(self, result.record)
        # Exact command lines through CreateProcessA, split by the program's own rules.
        exe = '"Z:%s" ' % os.path.abspath(DOUBLE).replace("/", "\\")
        for rest, echo in (('"5 " "  7" $10', b"TestCount = 1000; ReadCount = 7; BltToSysCount = 16\r\n"),
                           ('"" 4\t""  4  x10', b"TestCount = 4; BltToSysCount = 16\r\n"), ('"/"i /h', b"")):
            result = run_double([(exe + rest).encode("latin-1").hex()], "fail DirectDrawCreateEx - 1 80004005\n", exe=os.environ["MORVIT_LAUNCH"])
            self.assertTrue(result.stdout.startswith(b"DirectDraw 7 Version\r\n" + echo), result.stdout[:200])
        self.assertEqual(run([(exe + '"/?"').encode().hex()], os.environ["MORVIT_LAUNCH"]).stdout, USAGE)


class FailureTest(unittest.TestCase):
    """Failure reports of every kind through the fault probe; output that cannot be written."""

    def test_reports(self):
        probe, label = re.escape(os.path.basename(PROBE).encode()), header("SysMem Read") + b"released\r\n"
        violation = rb"Access violation at address (?P<at>[0-9A-F]{8,16}) in module '%s'\. %s of address %s\."
        cases = [("read", b"released\r\n", b"EAccessViolation", violation % (probe, b"Read", b"00000010")),
                 ("write", b"released\r\n", b"EAccessViolation", violation % (probe, b"Write", b"00000020")),
                 ("kernel", b"released\r\n", b"EAccessViolation", violation % (probe, b"Read", b"00000010")),
                 ("intdiv", b"released\r\n", b"EDivByZero", b"Division by zero."),
                 ("timed-divide", label, b"EZeroDivide", b"Floating point division by zero."),
                 ("timed-convert", label, b"EInvalidOp", b"Invalid floating point operation.")]
        if IS_WIN32:
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
                result = run(mode.split(), PROBE)
                module = rb"\S+" if mode.startswith(("raise", "foreign")) else probe
                message = message if b"violation" in message else re.escape(message)
                match = re.fullmatch(re.escape(before) + b"Exception " + cls + b" in module " + module
                                     + rb" at (?P<offset>[0-9A-F]{8})\.\n" + message + b"\r\n", result.stdout)
                self.assertIsNotNone(match, result.stdout)
                self.assertEqual(result.status, 1)
                if IS_WIN32 and mode == "read":  # mapped at its preferred base
                    self.assertEqual(int(match["at"], 16) - 0x400000, int(match["offset"], 16))
        # Repeated faults are each converted with clean-up and leave the x87 unit as the program set it;
        # released buffers give their address space back.
        for mode, stdout in (("repeat", b"faults 300 releases 300 unclean 0\r\n"), ("pages", b"pages released\r\n")):
            self.assertEqual(run([mode], PROBE).stdout, stdout + b"released\r\n", mode)

    def test_output_that_cannot_be_written_ends_with_status_1(self):
        for args in (["/?"], ["/I"]):
            with open("/dev/full", "wb") as full:
                self.assertEqual(run(args, stdout=full).status, 1, args)
            closed = subprocess.run(["sh", "-c", 'exec "$@" >&-', "sh"] + RUNNER + [EXE] + args,
                                    stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
            # A pipe whose reader has gone is an output error too, not an end by a signal.
            reader, writer = os.pipe()
            os.close(reader)  # before the program starts, so that no write of it can come first
            piped = subprocess.run(RUNNER + [EXE] + args, stdin=subprocess.DEVNULL, stdout=writer, stderr=subprocess.DEVNULL, timeout=120)
            os.close(writer)
            self.assertEqual((closed.returncode, piped.returncode), (1, 1), args)


    def test_ends_that_come_from_elsewhere(self):
        probe = re.escape(os.path.basename(PROBE).encode())
        # The console's closing (a hang-up natively): the finished lines reach the output, and nothing follows them.
        self.assertEqual(run(["close"], PROBE, timeout=60).stdout, b"finished 1\r\n" + b"finished 2\r\n")
        # A key handled on the program's own thread, which cannot be stopped to be looked at: the report at once.
        result = run(["key-here"], PROBE, timeout=60)
        self.assertRegex(result.stdout, rb"\Aready\r\n" + REPORT.replace(rb"\S+", probe) + rb"\r\n\Z")
        self.assertEqual(result.status, 1)
        # A key once the program has begun to end: the run ends as it would have.
        result = run(["key-after-end"], PROBE, timeout=60)
        self.assertEqual((result.stdout, result.status), (b"after\r\nreleased\r\n", 0))

    @win32_only
    def test_fault_on_another_thread(self):
        # The program's thread writes lines until a second thread faults: the report comes whole and last, after a
        # prefix of the lines.
        probe = re.escape(os.path.basename(PROBE).encode())
        report = re.compile(rb"Exception EAccessViolation in module %s at [0-9A-F]{8}\.\nAccess violation at address "
                            rb"[0-9A-F]{8} in module '%s'\. Read of address 00000000\.\r\n\Z" % (probe, probe))
        for attempt in range(4):
            result = run(["thread-fault"], PROBE, timeout=60)
            found = report.search(result.stdout)
            self.assertIsNotNone(found, (attempt, result.stdout[-300:]))
            lines = result.stdout[:found.start()]
            count = lines.count(b"\n") + 1
            self.assertTrue(b"".join(b"main %d\r\n" % i for i in range(count)).startswith(lines), (attempt, lines[-300:]))
            self.assertEqual(result.status, 1, attempt)


REPORT = rb"Exception EControlC in module \S+ at [0-9A-F]{8}\.\nControl-C hit\."


class InterruptTest(unittest.TestCase):
    def test_ctrl_c(self):
        # Each case: the counts, the test the key interrupts, the keys pressed, and whether output goes to a file.
        # Ctrl+C is pressed once the terminal shows the test's label, which a console gets when its statement
        # ends, or, with output to a file, once the double's record shows the surfaces created.
        for args, label, keys, to_file in ((["100000"], "SysMem Read", 1, False), (["1", "1", "1000000"], "VideoMem To SysMem Blt", 2, False),
                                           (["100000"], "SysMem Read", 1, True)):
            with self.subTest(label=label, to_file=to_file):
                folder = Path(tempfile.mkdtemp())
                record, ready = folder / "record", b"+ sysmem" if to_file else header(label).rstrip()
                shown = (lambda text: record.exists() and ready in record.read_bytes()) if to_file else (lambda text: ready in text)
                result = keyed(RUNNER + [DOUBLE] + args, shown, to_file=folder / "out" if to_file else None, keys=keys,
                               env={"MORVIT_DDRAW_LOG": str(record), "WINEDLLOVERRIDES": "ddraw=n"})
                self.assertEqual((result.status, result.seconds < 2), (1, True), result.seconds)
                if to_file:  # the file ends with the report after the label, or at a line's start
                    self.assertRegex(result.text, rb"(?:%s|\r\n)" % re.escape(header(label)) + REPORT + rb"\r\n\Z")
                else:  # Wine's console wraps lines at 80 columns
                    self.assertRegex(result.text.replace(b"\n.EXE", b".EXE"), re.escape(ready) + rb" *" + REPORT + rb"\n\Z")
                # Thrown in a kernel, or at the end of a blit: clean-up ran.
                released_in_reverse(self, record.read_text(encoding="latin-1").splitlines())

    def test_keys_outside_safe_code(self):
        # The probe throws and catches without end: the key finds a failure on its way out nearly every time, and
        # the unwinder's code and locks in the way. It is never thrown there; the report is written all the same.
        # Writing lines without end, the probe spends its time in the system's write: the key is thrown at the
        # end of a statement, and the held resource is released first.
        report = REPORT.replace(rb"\S+", re.escape(os.path.basename(PROBE).encode())) + rb"\n\Z"
        cases = (("write-loop", b"line 1\n", rb"\A(?:line \d+\n)+released\n"), ("throw-loop", b"ready", rb"\Aready\n"))
        for attempt in range(6):
            mode, ready, before = cases[attempt % 2]
            result = keyed(RUNNER + [PROBE, mode], lambda text: ready in text, delay=0.05 * attempt)
            self.assertEqual((result.status, result.seconds < 2), (1, True), (mode, result.seconds, result.text[-300:]))
            self.assertTrue(re.search(before + report, result.text), (mode, result.text[-300:]))


def keyed(command, ready, delay=0.0, to_file=None, env=None, limit=10, keys=1):
    """Runs command in a pseudo-terminal and presses Ctrl+C keys times, delay seconds after ready(text) first holds for the
    terminal's text. The result: that text without control sequences and CRs (or with to_file, the file's bytes), the
    exit status, None when the run is still going limit seconds after the key (it is then ended), the seconds from
    the key to the end, and from ready to the terminal's last text. A run that ends before the key has seconds None."""
    pid, terminal = pty.fork()
    if pid == 0:
        # A second key would otherwise make the terminal discard output it has not passed on yet.
        attributes = termios.tcgetattr(0)
        attributes[3] |= termios.NOFLSH
        termios.tcsetattr(0, termios.TCSANOW, attributes)
        if to_file:
            os.dup2(os.open(to_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644), 1)
        os.execvpe(command[0], command, dict(os.environ, **(env or {})))
    seen, ready_at, shown_at, key_at, pressed, status, deadline = b"", None, None, None, None, None, time.time() + 120
    while status is None and time.time() < (pressed + limit if pressed else deadline):
        if select.select([terminal], [], [], 0.005)[0]:
            try:
                seen += os.read(terminal, 65536)
                shown_at = time.time()
            except OSError:
                pass
        if key_at is None and ready(re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", seen)):
            ready_at = time.time()
            key_at = ready_at + delay
        if pressed is None and key_at is not None and time.time() >= key_at:
            pressed = time.time()
            for _ in range(keys):
                os.write(terminal, b"\x03")
                time.sleep(0.05)
        done, code = os.waitpid(pid, os.WNOHANG)
        if done:
            status = os.waitstatus_to_exitcode(code)
    ended = time.time()
    if status is None:  # hung: the runner's clean-up ends Wine's processes and screen on SIGTERM
        os.killpg(pid, signal.SIGTERM)
        time.sleep(5)
        os.killpg(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
    while select.select([terminal], [], [], 0.2)[0]:
        try:
            seen += os.read(terminal, 65536)
        except OSError:
            break
    os.close(terminal)
    # The terminal echoes the key; Wine's console may then draw the open line again from its start.
    shown = re.sub(rb"\^C", b"", re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", seen))
    shown = re.sub(rb"(?m)^([^\n]{10,})\1", rb"\1", shown)
    text = Path(to_file).read_bytes() if to_file else shown
    return types.SimpleNamespace(text=text, status=status, seconds=ended - pressed if pressed else None,
                                 lasted=shown_at - ready_at if ready_at and shown_at else None)


def comparable(text):
    """What two runs' texts share: without line ends, control sequences, the terminal's echo of a key, the short-time
    warning (whole, or cut at the end), addresses, figures and spaces."""
    text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r|\n|\^C", b"", text).replace(WARNING, b"")
    cut = next((n for n in range(len(WARNING) - 1, 0, -1) if text.endswith(WARNING[:n])), 0)
    text = re.sub(rb"Virtual Address: *[0-9A-F]*", b"Virtual Address:", text[:len(text) - cut])
    return re.sub(rb"[0-9 ]", b"", text)


class StressTest(unittest.TestCase):
    KEYS = 20

    def test_keys_at_random_moments(self):
        # Keys at random moments over whole runs against the double, whose blits return at once: most of a run lies
        # in the memory tests, the rest in Wine's start, the device steps, writes and the end.
        args, script = ["1000", "300", "1000"], "surface 1024 512 4096 32\n"
        reference = run_double(args, script)
        self.assertEqual(reference.status, 0)
        seed = int(os.environ.get("MORVIT_STRESS_SEED", time.time()))
        rng, folder, outcomes, slowest = random.Random(seed), Path(tempfile.mkdtemp()), {}, 0.0
        (folder / "script").write_bytes(script.encode())
        env = {"MORVIT_DDRAW_SCRIPT": str(folder / "script"), "WINEDLLOVERRIDES": "ddraw=n"}
        # How long a run writes from its first line on: the keys fall within that span.
        span = keyed(RUNNER + [DOUBLE] + args, lambda text: b"DirectDraw 7 Version" in text, 1000, env=env).lasted
        for key in range(self.KEYS):
            to_file = key % 2 == 1
            record, out = folder / ("record%d" % key), folder / "out" if to_file else None
            env["MORVIT_DDRAW_LOG"] = str(record)
            # Keys are taken from the first line on, which a file shows only later: there the double's record tells.
            ready = (lambda text, record=record: record.exists()) if to_file else (lambda text: b"DirectDraw 7 Version" in text)
            delay = rng.uniform(0, span)
            case = "key %d of seed %d, %.3f s after the start, %s" % (key, seed, delay, "to a file" if to_file else "to the terminal")
            result = keyed(RUNNER + [DOUBLE] + args, ready, delay, out, env)
            self.assertIsNotNone(result.status, case + ": hung")
            if result.seconds is None or result.status == 0:  # the run was over before the key
                self.assertEqual((result.status, comparable(result.text)), (0, comparable(reference.stdout)), case)
                outcomes["over before the key"] = outcomes.get("over before the key", 0) + 1
                continue
            slowest = max(slowest, result.seconds)
            self.assertEqual((result.status, result.seconds < 2), (1, True), (case, result.seconds))
            flat = result.text if to_file else result.text.replace(b"\n", b"")
            report = re.search((REPORT + rb"\r\n" if to_file else REPORT.replace(rb"\n", b"")) + rb"\Z", flat)
            self.assertIsNotNone(report, (case, result.text[-300:]))
            self.assertTrue(comparable(reference.stdout).startswith(comparable(flat[:report.start()])), (case, result.text))
            where = "report " + ("to a file" if to_file else "to the terminal")
            outcomes[where] = outcomes.get(where, 0) + 1
        print("\n%d keys (seed %d) over runs of %.2f s: %s; slowest end %.2f s after its key" % (
            self.KEYS, seed, span, outcomes, slowest), file=sys.stderr)
        # Not all over before their key: the runs' lengths vary with the machine's load.
        self.assertGreaterEqual(sum(n for where, n in outcomes.items() if where.startswith("report")), self.KEYS // 4)


GUID = rb"  GUID: \{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}"


@win32_only
class WineTest(unittest.TestCase):
    def test_without_directdraw_7(self):
        head = ["DirectDraw 7 Version", "TestCount = 1", "Wait after every blit: FALSE", "QWord Routines: FALSE", "",
                "Attached Device Enumeration:"]
        for exe, overrides, missing in ((EXE, "ddraw=d", b"ddraw.dll"),
                                        (os.environ.get("MORVIT_ENUM_ONLY_EXE"), "ddraw=n", b"DirectDrawCreateEx")):
            report = failure(b"", b"Exception", re.escape(b"DirectDraw 7 not available [%s]." % missing))
            expect(self, run(["1", "1", "1"], exe, env={"WINEDLLOVERRIDES": overrides}), head + [report], 1)
        self.assertEqual(run(["/?"], env={"WINEDLLOVERRIDES": "ddraw=d"}).stdout, USAGE)

    def test_version_modes(self):
        for version, number in (("win98", b"4.10"), ("win2k", b"5.0"), ("winxp", b"5.1")):
            with self.subTest(version):
                prefix = ["--prefix", os.path.join(os.environ["MORVIT_BUILD"], "wineprefix-" + version), "--screen", "320x200x24"]
                run(["add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"], "reg", runner_options=prefix)
                self.assertIn(b"Windows " + number + b".", run(["/c", "ver"], "cmd", runner_options=prefix).stdout)
                lines = run_lines(320, 200, 1280, 32, (200, 20, 50))
                lines[lines.index(DEVICES[6])] = GUID
                expect(self, run(["200", "20", "50"], runner_options=prefix), lines, pass_bytes=1280 * 200)
                faulting = run_double(["2", "1", "1"], SMALL + "fault-lock\n", runner_options=prefix)
                self.assertRegex(faulting.stdout, failure(header("VideoMem Read"), b"EAccessViolation",
                                 rb"Access violation at address [0-9A-F]{8} in module 'MORVIT\.EXE'\. Read of address 00000010\."))
                self.assertEqual(faulting.status, 1)
                released_in_reverse(self, faulting.record)
