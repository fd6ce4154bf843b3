"""MORVIT.EXE against Wine's own DirectDraw on a private screen: complete runs and a real refused
allocation."""

import re
import sys
import time
import unittest

import morvit_e2e as e2e

SURFACE_BYTES = 1024 * 4 * 768  # pitch times height of the 1024 x 768 x 32 bpp primary
MEMORY_TESTS = ["SysMem Read", "SysMem Write", "SysMem Copy"]
BLIT_TESTS = ["VideoMem To SysMem Blt", "SysMem To VideoMem Blt"]
VIDEO_TESTS = ["VideoMem Read", "VideoMem Write", "SysMem To VideoMem Copy", "VideoMem To SysMem Copy"]


def counts_of(test_count, read_count, blt_count):
    return {"SysMem Read": test_count, "SysMem Write": test_count, "SysMem Copy": test_count,
            "VideoMem To SysMem Blt": blt_count, "SysMem To VideoMem Blt": test_count,
            "VideoMem Read": read_count, "VideoMem Write": test_count,
            "SysMem To VideoMem Copy": test_count, "VideoMem To SysMem Copy": read_count}


class WineRunTest(unittest.TestCase):
    def check_report(self, line, label, passes):
        seconds, rate, mb, gb = e2e.match_report_line(self, line, label)
        # The figures agree with each other: the rate with the bytes and the printed seconds (4 decimals),
        # megabytes and gigabytes with the rate, rounded half up.
        total = SURFACE_BYTES * passes
        if seconds >= 0.0002:
            self.assertLessEqual(rate, total / (seconds - 0.00005) + 1, line)
            self.assertGreaterEqual(rate, total / (seconds + 0.00005) - 1, line)
        self.assertEqual(mb, (rate + 500000) // 1000000, line)
        self.assertEqual(gb, (rate + 500000000) // 1000000000, line)
        return seconds

    def expect_complete_run(self, args, test_count, read_count, blt_count, wait="FALSE", qword="FALSE"):
        result = e2e.run(args)
        self.assertEqual(result.status, 0, result.stdout[-400:])
        out = result.stdout.split(b"\r\n")
        self.assertEqual(out[-1], b"")
        echo = "TestCount = %d" % test_count
        if read_count != test_count:
            echo += "; ReadCount = %d" % read_count
        if blt_count != read_count:
            echo += "; BltToSysCount = %d" % blt_count
        expected_head = e2e.crlf("DirectDraw 7 Version", echo, "Wait after every blit: " + wait,
                                 "QWord Routines: " + qword, "", "Attached Device Enumeration:",
                                 "  Driver 0: display", "  Description: DirectDraw HAL", "  GUID: No", "",
                                 "  Driver 1: \\\\.\\DISPLAY1", "  Description: WineD3D DirectDraw Emulation")
        self.assertTrue(result.stdout.startswith(expected_head), result.stdout[:600])
        self.assertRegex(out[12], rb"^  GUID: \{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$")
        rest = [line for line in out[13:-1] if line != e2e.WARNING_LINE]
        self.assertLessEqual(out.count(e2e.WARNING_LINE), 1)
        self.assertEqual(rest[:5], [b"", b"DirectDrawCreateEx({00000000-0000-0000-0000-000000000000},"
                                         b"IID_IDirectDraw7): OK", b"PrimarySurface: OK",
                                    b"  Resolution: 1024 x 768 x 32bpp", b"SysMemSurface (1024 x 768, 32bpp): OK"])
        counts = counts_of(test_count, read_count, blt_count)
        for line, label in zip(rest[5:10], MEMORY_TESTS + BLIT_TESTS):
            self.check_report(line, label, counts[label])
        self.assertEqual(rest[10:12], [b"Primary.Lock: OK", b"  Pitch: 4096"])
        self.assertRegex(rest[12], rb"^  Virtual Address: [0-9A-F]{8}$")
        for line, label in zip(rest[13:17], VIDEO_TESTS):
            self.check_report(line, label, counts[label])
        self.assertEqual(rest[17:], [b"Primary.UnLock: OK"])
        if e2e.WARNING_LINE in out:
            # Right after the first report line whose time was under half a second.
            first_short = next(i for i, line in enumerate(out) if b"(Secs, Bytes/s)" in line
                               and e2e.report_line_pattern(line.split(b" (Secs")[0].decode()).match(line)
                               and float(e2e.report_line_pattern(line.split(b" (Secs")[0].decode())
                                         .match(line).group("seconds")) < 0.5)
            self.assertEqual(out[first_short + 1], e2e.WARNING_LINE)

    def test_small_run_prints_every_line_in_order(self):
        self.expect_complete_run(["20", "5", "10"], 20, 5, 10)

    def test_qword_routines(self):
        self.expect_complete_run(["5", "2", "3", "/q"], 5, 2, 3, qword="TRUE")

    def test_wait_after_every_blit(self):
        self.expect_complete_run(["5", "5", "5", "/W"], 5, 5, 5, wait="TRUE")

    def test_default_run_completes(self):
        start = time.monotonic()
        self.expect_complete_run([], 1000, 10, 100)
        print("default run: %.1f s" % (time.monotonic() - start), file=sys.stderr)

    def test_information_only(self):
        result = e2e.run(["/I"])
        self.assertEqual(result.status, 0)
        out = result.stdout.split(b"\r\n")
        self.assertEqual(out[:2], [b"DirectDraw 7 Version", b"Attached Device Enumeration:"])
        self.assertNotIn(b"(Secs, Bytes/s)", result.stdout)
        self.assertRegex(out[18], rb"^  Virtual Address: [0-9A-F]{8}$")
        self.assertEqual(out[13:19], [b"SysMemSurface (1024 x 768, 32bpp): OK", b"VideoMem To SysMem Blt: OK",
                                      b"SysMem To VideoMem Blt: OK", b"Primary.Lock: OK", b"  Pitch: 4096",
                                      out[18]])
        self.assertEqual(out[19:], [b"Primary.UnLock: OK", b""])

    def test_second_device_by_number(self):
        result = e2e.run(["/I", "/D1"])
        guid = re.search(rb"  Driver 1: .*\r\n.*\r\n  GUID: (\{[0-9A-F-]{36}\})", result.stdout).group(1)
        self.assertIn(b"DirectDrawCreateEx(" + guid + b",IID_IDirectDraw7): OK\r\n", result.stdout)
        self.assertEqual(result.status, 0)

    def test_refused_copy_buffer_on_a_huge_screen(self):
        # A 400 MiB primary: the system-memory buffer is granted, the copy buffer no longer fits the
        # 32-bit address space.
        result = e2e.run(["1", "1", "1"], runner_options=["--screen", "10240x10240x24"])
        self.assertEqual(result.status, 1)
        self.assertIn(b"SysMemSurface (10240 x 10240, 32bpp): OK\r\n", result.stdout)
        self.assertRegex(result.stdout, re.compile(
            rb"\r\nException Exception in module MORVIT\.EXE at [0-9A-F]{8}\.\n"
            rb"GetMem fail \[Size = 419430400\]\.\r\n\Z"))
        self.assertNotIn(b"SysMem Copy", result.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
