"""The program against the scripted DirectDraw double: every early end, every failure of the blit tests
and of the wait, a faulting lock, output errors, device names; and in each case every reference
released once, in reverse order of creation."""

import os
import re
import subprocess
import tempfile
import unittest

import morvit_e2e as e2e

DOUBLE = os.environ["MORVIT_DOUBLE_EXE"]
MODULE = os.path.basename(DOUBLE).encode()
# A small primary whose pitch is wider than a row (64 pixels of 4 bytes in 320 bytes).
SMALL = "surface 64 8 320 32\n"
LOCATION = rb"[0-9A-F]{8}"


class Run:
    def __init__(self, result, record):
        self.stdout = result.stdout
        self.status = result.status
        self.record = record

    def call(self, pattern, nth=1):
        """The number of the nth numbered call whose record line matches pattern."""
        found = [int(line.split()[0]) for line in self.record
                 if line[:1].isdigit() and re.search(pattern, line)]
        return found[nth - 1]


def run_double(args, script=SMALL, stdout=subprocess.PIPE):
    with tempfile.TemporaryDirectory() as folder:
        script_path = os.path.join(folder, "script.txt")
        record_path = os.path.join(folder, "record.txt")
        with open(script_path, "w") as f:
            f.write(script)
        env = {"MORVIT_DDRAW_SCRIPT": script_path, "MORVIT_DDRAW_LOG": record_path}
        if e2e.IS_WIN32:
            env["WINEDLLOVERRIDES"] = "ddraw=n"
        result = e2e.run(args, exe=DOUBLE, env=env, stdout=stdout)
        record = []
        if os.path.exists(record_path):
            with open(record_path, encoding="latin-1") as f:
                record = f.read().splitlines()
    return Run(result, record)


def header(label):
    """A report line's beginning: the label, the column header and the padding to column 45."""
    return (label + " (Secs, Bytes/s): " + " " * max(0, 26 - len(label))).encode()


def without_address(output):
    return re.sub(rb"Virtual Address: [0-9A-F]+", b"Virtual Address: ?", output)


class DoubleTest(unittest.TestCase):
    def assert_released_in_reverse(self, run):
        """Every object created was released to zero exactly once, last created first."""
        created = []
        for line in run.record:
            if not line[:1].isdigit() or " -> " not in line:
                continue
            created += re.findall(r"\b((?:surface|directdraw)=\w+)", line.split(" -> ", 1)[1])
        released = [re.search(r"((?:surface|directdraw)=\w+)", line).group(1)
                    for line in run.record if line.startswith("- Release") and line.endswith(" refs=0")]
        self.assertEqual(released, list(reversed(created)), "\n".join(run.record[-12:]))
        self.assertFalse([line for line in run.record if line.startswith("!")])
        if e2e.IS_WIN32:
            self.assertIn("- End leaks=0", run.record)

    def clean_info_run(self, script=SMALL):
        run = run_double(["/I"], script)
        self.assertEqual(run.status, 0)
        return run

    def expect_early_end(self, call_pattern, code, line_start, message, script=SMALL, nth=1):
        clean = self.clean_info_run(script)
        number = clean.call(call_pattern, nth)
        run = run_double(["/I"], script + "fail %d %s\n" % (number, code))
        clean_lines = clean.stdout.split(b"\r\n")
        index = next(i for i, line in enumerate(clean_lines) if line.startswith(line_start))
        expected = b"".join(line + b"\r\n" for line in clean_lines[:index])
        self.assertEqual(without_address(run.stdout), without_address(expected + line_start + message + b"\r\n"))
        self.assertEqual(run.status, 0)
        self.assert_released_in_reverse(run)
        return run

    def test_complete_information_run(self):
        run = self.clean_info_run()
        self.assertRegex(run.stdout, re.compile(re.escape(e2e.crlf(
            "DirectDraw 7 Version",
            "Attached Device Enumeration:",
            "  Driver 0: display",
            "  Description: DirectDraw HAL",
            "  GUID: No",
            "",
            "  Driver 1: \\\\.\\DISPLAY1",
            "  Description: WineD3D DirectDraw Emulation")) + rb"  GUID: \{[0-9A-F-]{36}\}\r\n\r\n" + re.escape(e2e.crlf(
            "DirectDrawCreateEx({00000000-0000-0000-0000-000000000000},IID_IDirectDraw7): OK",
            "PrimarySurface: OK",
            "  Resolution: 64 x 8 x 32bpp",
            "SysMemSurface (64 x 8, 32bpp): OK",
            "VideoMem To SysMem Blt: OK",
            "SysMem To VideoMem Blt: OK",
            "Primary.Lock: OK",
            "  Pitch: 320")) + rb"  Virtual Address: [0-9A-F]{8,16}\r\nPrimary\.UnLock: OK\r\n\Z"))
        self.assert_released_in_reverse(run)
        # Under /I each blit test makes exactly one blit with waiting, and nothing waits.
        blits = [line for line in run.record if re.match(r"\d+ Blt ", line)]
        self.assertEqual([re.search(r"flags=(\w+)", b).group(1) for b in blits], ["01000000", "01000000"])
        self.assertEqual(len([line for line in run.record if re.match(r"\d+ Lock ", line)]), 1)

    def test_device_creation_fails(self):
        self.expect_early_end(r"DirectDrawCreateEx", "80004005",
                              b"DirectDrawCreateEx({00000000-0000-0000-0000-000000000000},IID_IDirectDraw7): ",
                              b"80004005h Generic failure.")

    def test_primary_surface_fails(self):
        self.expect_early_end(r"CreateSurface .*caps=00000200", "8876017C", b"PrimarySurface: ",
                              b"8876017Ch DirectDraw does not have enough memory to perform the operation.")

    def test_system_memory_surface_fails(self):
        self.expect_early_end(r"CreateSurface .*caps=00000840", "88760091", b"SysMemSurface (64 x 8, 32bpp): ",
                              b"88760091h The pixel format was invalid as specified.")

    def test_primary_lock_fails(self):
        self.expect_early_end(r"Lock surface=primary", "887601C2", b"Primary.Lock: ",
                              b"887601C2h Access to this surface is being refused because the surface memory is gone."
                              b" The DirectDrawSurface object representing this surface should have Restore called"
                              b" on it.")

    def test_failing_unlock_is_printed_and_the_run_ends_normally(self):
        self.expect_early_end(r"Unlock surface=primary", "88760248", b"Primary.UnLock: ",
                              b"88760248h Surface was not locked.  An attempt to unlock a surface that was not"
                              b" locked at all, or by this process, has been attempted.")

    def perf_run(self, args=("2", "1", "1"), script=SMALL):
        return run_double(list(args), script)

    def test_failing_untimed_blit_is_printed_and_the_run_goes_on(self):
        number = self.perf_run().call(r"Blt target=sysmem .*flags=01000000")
        run = self.perf_run(script=SMALL + "fail %d 8876023F\n" % number)
        out = run.stdout.split(b"\r\n")
        self.assertIn(b"VideoMem To SysMem Blt: 8876023Fh No blitter hardware present.", out)
        self.assertTrue(any(line.startswith(b"SysMem To VideoMem Blt (Secs, Bytes/s): ") for line in out))
        self.assertEqual(out[-2], b"Primary.UnLock: OK")
        self.assertEqual(run.status, 0)
        self.assert_released_in_reverse(run)

    def expect_report(self, run, before, cls, message):
        self.assertEqual(run.status, 1)
        self.assertRegex(run.stdout, re.compile(
            re.escape(before) + b"Exception " + cls + b" in module " + re.escape(MODULE) + b" at " + LOCATION
            + rb"\.\n" + message + rb"\r\n\Z"))
        self.assert_released_in_reverse(run)

    def test_timed_blit_still_drawing_ends_the_run(self):
        number = self.perf_run().call(r"Blt target=sysmem .*flags=08000000")
        run = self.perf_run(script=SMALL + "fail %d 8876021C\n" % number)
        self.expect_report(run, b"\r\n" + header("VideoMem To SysMem Blt"), b"Exception", re.escape(
            b"Test Blt Fail 8876021Ch Informs DirectDraw that the previous Blt which is transfering information to"
            b" or from this Surface is incomplete."))

    def test_failing_wait_lock_ends_the_run(self):
        clean = self.perf_run()
        number = clean.call(r"Lock surface=primary")
        run = self.perf_run(script=SMALL + "fail %d 887601AE\n" % number)
        self.expect_report(run, b"G\r\n", b"Exception", re.escape(
            b"WaitForOpComplete Lock Fail [887601AEh Access to this surface is being refused because the surface"
            b" is already locked by another thread.]."))

    def test_failing_wait_unlock_ends_the_run(self):
        number = self.perf_run().call(r"Unlock surface=sysmem")
        run = self.perf_run(script=SMALL + "fail %d 80004005\n" % number)
        self.expect_report(run, b"G\r\n", b"Exception",
                           re.escape(b"WaitForOpComplete UnLock Fail [80004005h Generic failure.]."))

    def test_lock_handing_out_a_faulting_address(self):
        run = self.perf_run(script=SMALL + "fault-lock\n")
        self.expect_report(
            run, header("VideoMem Read"), b"EAccessViolation",
            b"Access violation at address [0-9A-F]{8,16} in module '" + re.escape(MODULE)
            + rb"'\. Read of address 00000010\.")

    def test_odd_dword_count_with_qwords(self):
        run = self.perf_run(("1", "1", "1", "/Q"), "surface 64 3 260 32\n")
        self.assertEqual(run.status, 0)
        self.assertIn(b"  Resolution: 64 x 3 x 32bpp", run.stdout)
        self.assertEqual(len(re.findall(rb"\(Secs, Bytes/s\)", run.stdout)), 9)
        self.assert_released_in_reverse(run)

    def test_device_names_and_selection(self):
        script = (SMALL + "device none caf%E9 n%E9\n"
                  "device {01020304-0506-0708-090A-0B0C0D0E0F10} second%20card second\n")
        run = run_double(["/I", "/D1"], script)
        description = b"caf\x82" if e2e.IS_WIN32 else b"caf\xe9"  # ANSI 1252 to OEM 437 under Wine
        self.assertIn(e2e.crlf("  Driver 0: n\xe9") + b"  Description: " + description + b"\r\n"
                      + e2e.crlf("  GUID: No", "", "  Driver 1: second", "  Description: second card",
                                 "  GUID: {01020304-0506-0708-090A-0B0C0D0E0F10}", "",
                                 "DirectDrawCreateEx({01020304-0506-0708-090A-0B0C0D0E0F10},IID_IDirectDraw7): OK"),
                      run.stdout)
        for selection in ("/D0", "/D2", "/D-1"):
            run = run_double(["/I", selection], script)
            self.assertIn(b"DirectDrawCreateEx({00000000-0000-0000-0000-000000000000},", run.stdout, selection)

    def test_output_errors_end_with_status_1(self):
        with open("/dev/full", "wb") as full:
            self.assertEqual(run_double(["/I"], stdout=full).status, 1)
        closed = subprocess.run(["sh", "-c", 'exec "$@" >&-', "sh"] + e2e.RUNNER + [DOUBLE, "/I"],
                                stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120,
                                env=dict(os.environ, WINEDLLOVERRIDES="ddraw=n"))
        self.assertEqual(closed.returncode, 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
