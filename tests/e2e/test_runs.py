"""The real programs (under Wine for Win32) compared line by line: whole runs against the scripted DirectDraw
double, each a command line and a script with the exact output, exit status and every object released in reverse
order of creation; failure reports of every kind through the fault probe; Ctrl+C in a terminal, and for Win32 at
random moments over whole runs; MORVIT.EXE without DirectDraw 7 and in Wine's Windows 98, 2000 and XP modes. The
harness (running, expected outputs, assertions) is harness.py. CTest passes the programs, the build folder and for
Win32 the |-separated Wine bench in MORVIT_* variables, and runs each class on its own."""

import collections
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

from harness import (CREATED, DOUBLE, EXE, IS_WIN32, PROBE, RUNNER, SECOND_GUID, VIOLATION, WARNING, WINE_DEVICES,
                     ZERO_GUID, assert_output, assert_released_in_reverse, double_env, failure_report, header,
                     information_run, keyed, lines_of, performance_run, read_record, run, run_double, text, win32_only)
from win9x_rules import KEY, SYMBOLS, Symbols, breaches, prepare_prefix, read_rules, traced_run


USAGE = [text(line) for line in (
    "MORVIT.EXE [TestCount ReadCount BltToSysCount] [/I] [/W] [/Q] [/Dnum]",
    "TestCount - Count of Tests (default 1000)",
    "ReadCount - Count of Video Memory Read Tests (default 10)",
    "BltToSysCount - Count of Blits to Sytem Memory Tests (default 100)", "/I - Info Only, no Perfomance Tests",
    "/W - Wait after every blit in Perfomance Tests",
    "/Q - Use QWord (8 bytes) Read, Write and Copy Routines (legacy FPU assisted)",
    "/D - Select Device Number from enumeration", 'Any value (like "x") except numbers for *Count is default value')]
GENERIC, SCREEN = "80004005h Generic failure.", (1024, 768, 4096, 32)  # the double's screen unless scripted
DOUBLE_MODULE, PROBE_MODULE = re.escape(os.path.basename(DOUBLE).encode()), re.escape(os.path.basename(PROBE).encode())
INFO, TWO_ONE_ONE = information_run(SCREEN), performance_run(SCREEN, "TestCount = 2; ReadCount = 1")
WIDE, COUNTS = (256, 256, 2048, 32), "TestCount = 300; ReadCount = 100; BltToSysCount = 300"
BLT_FAILED, CREATION_FAILED = text("VideoMem To SysMem Blt: " + GENERIC), text(CREATED % (ZERO_GUID, GENERIC))
CREATION_FAILS = "fail DirectDrawCreateEx - 1 80004005"
NAMED = "device none caf%E9 n%E9\ndevice guid second%20card second\n" + CREATION_FAILS
NAMED_RUN = information_run(SCREEN, [("n\xe9", "caf" + ("\x82" if IS_WIN32 else "\xe9"), text("No")),  # OEM 437 in Wine
                                     ("second", "second card", text("{%s}" % SECOND_GUID))])
DOUBLE_RUNS = [  # name, arguments, the double's script, output, exit status
    ("/?", ["/?"], "", USAGE, 0),
    ("/h and a count", ["/h", "5"], "", USAGE, 0),
    ("/?x, then /I: the information run", ["/?x", "/I"], "", lines_of(INFO), 0),
    ("/I, then /?: the information run", ["/I", "/?"], "", lines_of(INFO), 0),
    ("three counts", ["300", "100", "300"], "surface 256 256 2048 32", lines_of(performance_run(WIDE, COUNTS)), 0),
    ("/Q, an odd number of words", ["300", "300", "300", "/Q"], "surface 255 255 1028 32",
     lines_of(performance_run((255, 255, 1028, 32), "TestCount = 300", qword=True)), 0),
    ("/Ix, /Wx and /Qx are none of the switches", ["2", "1", "1", "/Ix", "/Wx", "/Qx"], "", lines_of(TWO_ONE_ONE), 0),
    ("/w, a count in hexadecimal", ["200", "50", "$32", "/w"], "surface 256 256 2048 32",
     lines_of(performance_run(WIDE, "TestCount = 200; ReadCount = 50", wait=True)), 0),
    # The runs end after the device listing: the script fails the creation of the DirectDraw object.
    ("the default counts echoed", [], CREATION_FAILS, lines_of(performance_run(
        SCREEN, "TestCount = 1000; ReadCount = 10; BltToSysCount = 100"), until="create") + [CREATION_FAILED], 0),
    ("equal counts, /W and /q echoed", ["5", "5", "5", "/W", "/q"], CREATION_FAILS,
     lines_of(performance_run(SCREEN, "TestCount = 5", True, True), until="create") + [CREATION_FAILED], 0),
    ("/D1: the second device", ["/I", "/D1"], NAMED,
     lines_of(NAMED_RUN, until="create") + [text(CREATED % (SECOND_GUID, GENERIC))], 0),
    ("/D2: no such device, the default", ["/I", "/D2"], NAMED, lines_of(NAMED_RUN, until="create") + [CREATION_FAILED],
     0),
    # A step fails: the run ends there, or shows the result and goes on.
    ("no DirectDraw object", ["/I"], CREATION_FAILS, lines_of(INFO, until="create") + [CREATION_FAILED], 0),
    ("no primary surface", ["/I"], "fail CreateSurface ddraw 1 80004005",
     lines_of(INFO, until="primary") + [text("PrimarySurface: " + GENERIC)], 0),
    ("no system-memory surface", ["/I"], "fail CreateSurface ddraw 2 80004005",
     lines_of(INFO, until="sysmem") + [text("SysMemSurface (1024 x 768, 32bpp): " + GENERIC)], 0),
    ("the primary not locked", ["/I"], "fail Lock primary 1 80004005",
     lines_of(INFO, until="lock") + [text("Primary.Lock: " + GENERIC)], 0),
    ("the primary not unlocked", ["/I"], "fail Unlock primary 1 80004005",
     lines_of(INFO, until="unlock") + [text("Primary.UnLock: " + GENERIC)], 0),
    ("/I: the listing fails, no device", ["/I"], "fail DirectDrawEnumerateExA - 1 80004005",
     lines_of({**INFO, "listing": [text("Attached Device Enumeration:")]}), 0),
    ("/I: a failed blit", ["/I"], "fail Blt sysmem<primary 1 80004005",
     lines_of({**INFO, "blt to sysmem": [BLT_FAILED]}), 0),
    ("/I: a blit's success code, as its text", ["/I"], "fail Blt sysmem<primary 1 00000001",
     lines_of({**INFO, "blt to sysmem": [text("VideoMem To SysMem Blt: 00000001h Unrecognized Error")]}), 0),
    ("the untimed blit to system memory fails: no test", ["2", "1", "1"], "fail Blt sysmem<primary 1 80004005",
     lines_of({**TWO_ONE_ONE, "blt to sysmem": [BLT_FAILED]}), 0),
    ("the untimed blit to video memory fails: no test", ["2", "1", "1"], "fail Blt primary<sysmem 1 80004005",
     lines_of({**TWO_ONE_ONE, "blt to video": [text("SysMem To VideoMem Blt: " + GENERIC)]}), 0),
    ("the untimed blit's success code: the test is timed", ["2", "1", "1"], "fail Blt sysmem<primary 1 00000001",
     lines_of(TWO_ONE_ONE), 0),
    # A step fails where the run cannot go on: a failure report.
    ("a timed blit fails", ["2", "1", "1"], "fail Blt sysmem<primary 2 80004005",
     lines_of(TWO_ONE_ONE, until="blt to sysmem") + [re.escape(header("VideoMem To SysMem Blt")) + failure_report(
         b"Exception", b"Test Blt Fail " + text(GENERIC), DOUBLE_MODULE)], 1),
    ("the wait before a blit test cannot lock", ["2", "1", "1"], "fail Lock primary 1 80004005",
     lines_of(TWO_ONE_ONE, until="blt to sysmem") + [failure_report(
         b"Exception", text("WaitForOpComplete Lock Fail [%s]." % GENERIC), DOUBLE_MODULE)], 1),
    ("the wait before a blit test cannot unlock", ["2", "1", "1"], "fail Unlock sysmem 1 80004005",
     lines_of(TWO_ONE_ONE, until="blt to sysmem") + [failure_report(
         b"Exception", text("WaitForOpComplete UnLock Fail [%s]." % GENERIC), DOUBLE_MODULE)], 1)]
FAULTING_LOCK = ("a fault in a memory test", ["2", "1", "1"], "fault-lock", lines_of(TWO_ONE_ONE, until="video tests")
                 + [re.escape(header("VideoMem Read")) + failure_report(
                     b"EAccessViolation", VIOLATION % (DOUBLE_MODULE, b"Read", b"00000010"), DOUBLE_MODULE)], 1)


class RunTest(unittest.TestCase):
    def test_runs_against_the_double(self):
        for name, args, script, lines, status in DOUBLE_RUNS + [FAULTING_LOCK]:
            with self.subTest(name):
                result = run_double(args, script)
                assert_output(self, name, result, lines, status)
                assert_released_in_reverse(self, name, result.record)

    @win32_only
    def test_refused_buffer_and_raw_command_lines(self):
        # 1 GiB of system memory: more than the largest free block of a 32-bit process.
        result = run_double(["/I"], "surface 16384 16384 65536 32")
        refused = failure_report(b"Exception", text("GetMem fail [Size = 1073741824]."), DOUBLE_MODULE)
        steps = information_run((16384, 16384, 65536, 32))
        assert_output(self, "1 GiB", result, lines_of(steps, until="sysmem") + [refused], 1)
        assert_released_in_reverse(self, "1 GiB", result.record)
        # Exact command lines through CreateProcessA, split by the program's own rules.
        exe, launch = '"Z:%s" ' % os.path.abspath(DOUBLE).replace("/", "\\"), os.environ["MORVIT_LAUNCH"]
        # "" is no word, unlike in the C runtime's splitting; a quote inside a word is dropped.
        for rest, echo in (('"" 4\t""  4  x10', b"TestCount = 4; BltToSysCount = 16\r\n"), ('"/"i /h', b"")):
            result = run_double([(exe + rest).encode("latin-1").hex()], CREATION_FAILS, exe=launch)
            self.assertTrue(result.stdout.startswith(b"DirectDraw 7 Version\r\n" + echo), result.stdout[:200])


ANY, RELEASED, READ_AT_10 = rb"\S+", [text("released")], VIOLATION % (PROBE_MODULE, b"Read", b"00000010")
CONTROL_C = failure_report(b"EControlC", text("Control-C hit."), PROBE_MODULE)
FAULTS = [  # name, the probe's arguments, the lines before the report, the report's class and message
    ("a read", ["read"], RELEASED, b"EAccessViolation", READ_AT_10),
    ("a write", ["write"], RELEASED, b"EAccessViolation", VIOLATION % (PROBE_MODULE, b"Write", b"00000020")),
    ("an integer division by zero", ["intdiv"], RELEASED, b"EDivByZero", text("Division by zero."))]
WIN32_FAULTS = [  # another module's fault, reported without unwinding its frames; then the platform's own exceptions
    ("another module's fault", ["foreign"], [], b"EAccessViolation",
     VIOLATION % (rb"msvcrt\.dll", b"Read", b"00000010")),
    ("raised access violation", ["raise", "C0000005"], [], b"EAccessViolation",
     VIOLATION % (ANY, b"Read", b"00000000")),
    ("raised stack overflow", ["raise", "C00000FD"], [], b"EStackOverflow", text("Stack overflow.")),
    ("raised unknown code", ["raise", "E0001234"], [], b"EExternalException", text("External exception E0001234.")),
    ("a delayed x87 fault: its frame's clean-up, found from the division", ["late-x87-cleanup"],
     [text("cleaned up")] + RELEASED, b"EZeroDivide", text("Floating point division by zero."))]
PROBE_RUNS = [  # name, the probe's arguments, output, exit status
    ("a key handled on the program's own thread: the report at once", ["key-here"], [text("ready"), CONTROL_C], 1),
    ("a key once the end has begun: the run ends as it would have", ["key-after-end"], [text("after")] + RELEASED, 0)]
WIN32_PROBE_RUNS = [("Ctrl+Break, as Ctrl+C", ["break-here"], [text("ready"), CONTROL_C], 1),
                    ("a key whose stop of the program's thread never comes: the report all the same",
                     ["key-elsewhere", "stuck"], [text("ready"), CONTROL_C], 1)]
# The console's closing ends the process as the system's default would, 0xC000013A (Wine passes on its low byte),
# but before the handlers after the program's (the probe's stand-in ends with 9); natively a hang-up's own end.
CLOSED_STATUS = 0x3A if IS_WIN32 else -signal.SIGHUP


class FailureTest(unittest.TestCase):
    """Failure reports of every kind through the fault probe, its other ends; output that cannot be written."""

    def test_reports(self):
        rows = [row + (PROBE_MODULE,) for row in FAULTS]
        if IS_WIN32:
            rows += [row + (ANY,) for row in WIN32_FAULTS]
        for name, args, before, cls, message, module in rows:
            with self.subTest(name):
                assert_output(self, name, run(args, PROBE), before + [failure_report(cls, message, module)], 1)

    def test_other_ends(self):
        # The console's closing (a hang-up natively): the finished lines reach the file, and nothing follows them;
        # also when the stop of the program's thread never comes.
        cases = [["close"]]
        if IS_WIN32:
            cases.append(["close", "stuck"])
        for args in cases:
            with tempfile.TemporaryFile() as output:
                closed = run(args, PROBE, stdout=output, timeout=60)
                output.seek(0)
                self.assertEqual(output.read(), b"finished 1\r\n" + b"finished 2\r\n", args)
            self.assertEqual(closed.status, CLOSED_STATUS, "%s: exit status" % args)
        rows = PROBE_RUNS
        if IS_WIN32:
            rows = PROBE_RUNS + WIN32_PROBE_RUNS
        for name, args, lines, status in rows:
            with self.subTest(name):
                assert_output(self, name, run(args, PROBE, timeout=60), lines, status)

    def test_delayed_x87_fault(self):
        # Reported at the division, the cause of the fault that the fwait just after it raised.
        division = failure_report(b"EZeroDivide", text("Floating point division by zero."), PROBE_MODULE)
        lines = [rb"wait (?P<wait>[0-9A-F]{8})"] + RELEASED + [division]
        matches = assert_output(self, "late-x87", run(["late-x87"], PROBE), lines, 1)
        wait, at = int(matches[0]["wait"], 16), int(matches[-1]["offset"], 16)
        self.assertIn(wait - at, range(1, 33), "reported at %08X, not at the division before the fwait" % at)

    def test_output_that_cannot_be_written_ends_with_status_1(self):
        for args in (["/?"], ["/I"]):
            with open("/dev/full", "wb") as full:
                self.assertEqual(run(args, stdout=full).status, 1, "%s to a full disk" % args)
            closed = subprocess.run(["sh", "-c", 'exec "$@" >&-', "sh"] + RUNNER + [EXE] + args,
                                    stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
            self.assertEqual(closed.returncode, 1, "%s to a closed output" % args)
            # A pipe whose reader has gone is an output error too, not an end by a signal.
            reader, writer = os.pipe()
            os.close(reader)  # before the program starts, so that no write of it can come first
            piped = subprocess.run(RUNNER + [EXE] + args, stdin=subprocess.DEVNULL, stdout=writer,
                                   stderr=subprocess.DEVNULL, timeout=120)
            os.close(writer)
            self.assertEqual(piped.returncode, 1, "%s to a pipe without a reader" % args)

    @win32_only
    def test_fault_on_another_thread(self):
        # The program's thread writes lines until a second thread faults: the report comes whole and last, after a
        # prefix of the lines; also when the stop of the program's thread never comes.
        message = VIOLATION % (PROBE_MODULE, b"Read", b"00000000")
        report = re.compile(failure_report(b"EAccessViolation", message, PROBE_MODULE) + rb"\r\n\Z")
        for attempt, args in enumerate([["thread-fault"], ["thread-fault", "stuck"]] * 2):
            result = run(args, PROBE, timeout=60)
            found = report.search(result.stdout)
            self.assertIsNotNone(found, (attempt, args, result.stdout[-300:]))
            lines = result.stdout[:found.start()]
            count = lines.count(b"\n") + 1
            written = b"".join(b"main %d\r\n" % i for i in range(count))
            self.assertTrue(written.startswith(lines), (attempt, args, lines[-300:]))
            self.assertEqual(result.status, 1, (attempt, args))


REPORT = rb"Exception EControlC in module \S+ at [0-9A-F]{8}\.\nControl-C hit\."


class InterruptTest(unittest.TestCase):
    def test_ctrl_c(self):
        # Ctrl+C is pressed once the terminal shows the test's label, which a console gets when its statement ends.
        # A report to a file or pipe is the fault probe's (key-here).
        for name, args, label, keys in (  # name, counts, the test the key interrupts, keys
                ("a memory test", ["100000"], "SysMem Read", 1),
                ("a blit test, two keys", ["1", "1", "1000000"], "VideoMem To SysMem Blt", 2)):
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                env = double_env(Path(folder), "")
                result = keyed(RUNNER + [DOUBLE] + args, header(label).rstrip(), keys=keys, env=env)
                self.assertEqual(result.status, 1, name)
                self.assertLess(result.seconds, 2, name + ": seconds from the key to the end")
                # Wine's console wraps lines at 80 columns.
                ending = re.escape(header(label).rstrip()) + rb" *" + REPORT + rb"\n\Z"
                self.assertRegex(result.text.replace(b"\n.EXE", b".EXE"), ending, name)
                # Thrown in a kernel, or at the end of a blit: clean-up ran.
                assert_released_in_reverse(self, name, read_record(Path(folder)))

    def test_keys_outside_safe_code(self):
        # The probe throws and catches without end: the key finds a failure on its way out nearly every time, and
        # the unwinder's code and locks in the way. It is never thrown there; the report is written all the same.
        # Writing lines without end, the probe spends its time in the system's write: the key is thrown at the
        # end of a statement, and the held resource is released first.
        report = REPORT.replace(rb"\S+", PROBE_MODULE) + rb"\n\Z"
        cases = (("write-loop", b"line 1\n", rb"\A(?:line \d+\n)+released\n"), ("throw-loop", b"ready", rb"\Aready\n"))
        for attempt in range(6):
            mode, ready, before = cases[attempt % 2]
            case = "%s, the key %.2f s after it is ready" % (mode, 0.05 * attempt)
            result = keyed(RUNNER + [PROBE, mode], ready, delay=0.05 * attempt)
            self.assertEqual(result.status, 1, case)
            self.assertLess(result.seconds, 2, case + ": seconds from the key to the end")
            self.assertRegex(result.text, before + report, case)


def comparable(text):
    """What two runs' texts share: without line ends, control sequences, the terminal's echo of a key, the short-time
    warning (whole, or cut at the end), addresses, figures and spaces."""
    text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r|\n|\^C", b"", text).replace(WARNING, b"")
    cut = next((n for n in range(len(WARNING) - 1, 0, -1) if text.endswith(WARNING[:n])), 0)
    text = re.sub(rb"Virtual Address: *[0-9A-F]*", b"Virtual Address:", text[:len(text) - cut])
    return re.sub(rb"[0-9 ]", b"", text)


# What Wine, X and the runner print on the terminal when something beside the program's own output went wrong.
WINE_SAID = [(rb"wine: Unhandled [^\n]*", "a fault of a Wine process that nothing handled, and its debugger"),
             (rb"X connection to \S+ broken[^\n]*", "a Wine process lost its X server while it still ran"),
             (rb"wine-run\.sh: line [0-9]+: +[0-9]+ [^\n]*", "bash saw the program's process die of a signal"),
             (rb"wine-run\.sh: [^\n]*", "the runner could not start or end Wine and its screen cleanly")]
# Wine's process killed by SIGSEGV as it ended, by a key that came then, after the whole text (scripts/wine-run.sh).
WINE_DIED_AT_ITS_END = rb"\S*wine-run\.sh: line [0-9]+: +[0-9]+ Segmentation fault[^\n]*"


@win32_only
class StressTest(unittest.TestCase):
    RUNS = 24

    def test_keys_at_random_moments(self):
        # Keys at random moments over whole runs against the double, whose blits return at once: most of a run lies
        # in the memory tests, the rest in the device steps, writes and the end; half the keys fall in the first
        # 0.2 s after the first line, the program's start-up. Output to the terminal and to a file, in turn.
        args, script = ["1000", "300", "1000"], "surface 1024 512 4096 32\n"
        reference = comparable(run_double(args, script).stdout)
        seed = int(os.environ.get("MORVIT_STRESS_SEED", time.time()))
        rng, statuses, slowest, wine_ends = random.Random(seed), collections.Counter(), 0.0, []
        with tempfile.TemporaryDirectory() as name:
            folder = Path(name)
            env, command = double_env(folder, script), RUNNER + [DOUBLE] + args
            # How long a run writes from its first line on: the keys fall within that span.
            span = keyed(command, b"DirectDraw 7 Version", delay=1000, env=env).lasted
            for run_number in range(self.RUNS):
                to_file, delay = run_number % 2 == 1, rng.uniform(0, 0.2 if run_number % 4 < 2 else span)
                case = "run %d of seed %d, the key %.3f s after the first line, %s" % (
                    run_number, seed, delay, "to a file" if to_file else "to the terminal")
                for attempt in range(2):  # once more when Wine died at the run's end; a second such end fails below
                    if to_file:  # a file shows the first line only later: the double's record, made then, tells
                        (folder / "record").unlink(missing_ok=True)
                        result = keyed(command, b"", folder / "record", delay, folder / "out", env, limit=5)
                        flat, report = result.text, REPORT + rb"\r\n\Z"
                    else:
                        result = keyed(command, b"DirectDraw 7 Version", delay=delay, env=env, limit=5)
                        flat, report = result.text.replace(b"\n", b""), REPORT.replace(rb"\n", b"") + rb"\Z"
                    died = result.status == 139 and re.search(WINE_DIED_AT_ITS_END, result.terminal)
                    whole = comparable(re.sub(WINE_DIED_AT_ITS_END, b"", result.text)) == reference
                    if attempt == 1 or not died or not whole:
                        break
                    wine_ends.append(run_number)
                statuses[result.status] += 1
                for pattern, meaning in WINE_SAID:
                    said = re.search(pattern, result.terminal)
                    if said is not None:
                        self.fail("%s: %s: %r" % (case, meaning, said.group()))
                if result.status == 0:  # the key came after the run, or once its end had begun: it changed nothing
                    self.assertEqual(comparable(flat), reference, case)
                    continue
                slowest = max(slowest, result.seconds)
                self.assertEqual(result.status, 1, case + " (None: still going 5 s after the key, then ended)")
                self.assertLess(result.seconds, 2, case + ": seconds from the key to the end")
                found = re.search(report, flat)
                self.assertIsNotNone(found, (case, result.text[-300:]))
                self.assertTrue(reference.startswith(comparable(flat[:found.start()])), (case, result.text))
        print("\n%d runs of %.2f s (seed %d), one key each: statuses %s; slowest end %.2f s after its key; again after "
              "Wine died at the end: %s" % (self.RUNS, span, seed, dict(statuses), slowest, wine_ends), file=sys.stderr)
        self.assertGreaterEqual(statuses[1], self.RUNS // 2, "runs ended by their key")


@win32_only
class WineTest(unittest.TestCase):
    def test_without_directdraw_7(self):
        for exe, overrides, missing in ((EXE, "ddraw=d", "ddraw.dll"),
                                        (os.environ.get("MORVIT_ENUM_ONLY_EXE"), "ddraw=n", "DirectDrawCreateEx")):
            with self.subTest(missing):
                report = failure_report(b"Exception", text("DirectDraw 7 not available [%s]." % missing), DOUBLE_MODULE)
                lines = lines_of(performance_run(SCREEN, "TestCount = 1"), until="listing") + [text(
                    "Attached Device Enumeration:"), report]
                assert_output(self, missing, run(["1", "1", "1"], exe, env={"WINEDLLOVERRIDES": overrides}), lines, 1)
        assert_output(self, "/? without ddraw.dll", run(["/?"], env={"WINEDLLOVERRIDES": "ddraw=d"}), USAGE)

    def test_version_modes(self):
        # Windows 98, 2000 and XP as GetVersion tells them: whole runs and the program's other ends, their outputs,
        # and every call of theirs, traced, kept to the 9x rules (win9x_rules.py; keys differ between 9x and NT).
        any_guid = rb"\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}"
        devices = [WINE_DEVICES[0], ("\\\\.\\DISPLAY1", "WineD3D DirectDraw Emulation", any_guid)]
        name, args, script, faulting, status = FAULTING_LOCK
        counts = "TestCount = 200; ReadCount = 20; BltToSysCount = 50"
        rows = [  # name, the program, its arguments, the double's script (None: none), its output, exit status
            ("a complete run", EXE, ["200", "20", "50"], None,
             lines_of(performance_run((320, 200, 1280, 32), counts, devices=devices)), 0),
            ("/I", EXE, ["/I"], None, None, 0), (name, DOUBLE, args, script, faulting, status),
            ("a key in a memory test", DOUBLE, ["100000"], KEY, None, 1),
            ("a fault on another thread", PROBE, ["thread-fault"], None, None, 1),
            # Its status is FailureTest's: in Wine's win98 mode the end races with Wine's own (0, 1 or 0x3A).
            ("the console's closing", PROBE, ["close"], None, None, None)]
        rules, symbols, probe_symbols = read_rules(), Symbols(SYMBOLS), Symbols(PROBE)
        scaffolding = set(probe_symbols.names) - set(symbols.names)
        for version, number in (("win98", b"4.10"), ("win2k", b"5.0"), ("winxp", b"5.1")):
            prefix = ["--prefix", os.path.join(os.environ["MORVIT_BUILD"], "wineprefix-" + version),
                      "--screen", "320x200x24"]
            run(["add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"], "reg", runner_options=prefix)
            prepare_prefix(prefix)
            self.assertIn(b"Windows " + number + b".", run(["/c", "ver"], "cmd", runner_options=prefix).stdout)
            for row, program, args, script, lines, status in rows:
                case = version + ", " + row
                with self.subTest(case), tempfile.TemporaryDirectory() as folder:
                    result, trace = traced_run(Path(folder), program, args, script, prefix)
                    if status is not None:
                        self.assertEqual(result.status, status, case)
                    if lines is not None:
                        assert_output(self, case, result, lines, status)
                    if program == DOUBLE and script != KEY:  # on 9x a key in a memory test leaves that to the system
                        assert_released_in_reverse(self, case, result.record)
                    probe = program == PROBE
                    checked, found = breaches(trace, program, probe_symbols if probe else symbols,
                                              scaffolding if probe else set(), rules)
                    self.assertGreater(checked, 0, case)
                    self.assertEqual(found, [], case)
