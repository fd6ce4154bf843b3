"""Failure reports: exact bytes, exit status 1, clean-up before the report, and output errors."""

import os
import re
import subprocess
import unittest

import morvit_e2e as e2e

PROBE = os.environ["MORVIT_FAULT_PROBE"]
PROBE_NAME = os.path.basename(PROBE)
HEX = rb"[0-9A-F]{8}"
WIDE_HEX = rb"[0-9A-F]{8,16}"


def probe(mode, **kwargs):
    return e2e.run([mode], exe=PROBE, **kwargs)


class ReportTest(unittest.TestCase):
    def expect_report(self, mode, cls, message, before=b"released\r\n"):
        result = probe(mode)
        self.assertEqual(result.status, 1, result.stdout)
        module = b"msvcrt.dll" if b"msvcrt" in message else PROBE_NAME.encode()
        pattern = (re.escape(before) + b"Exception " + cls + b" in module " + re.escape(module)
                   + b" at (?P<offset>" + HEX + rb")\.\n" + message + b"\r\n")
        match = re.fullmatch(pattern, result.stdout)
        self.assertIsNotNone(match, result.stdout)
        return match

    def test_own_failure(self):
        self.expect_report("own", b"Exception", rb"GetMem fail \[Size = 1228800\]\.")

    def test_message_ending_in_full_stop_gets_no_second(self):
        self.expect_report("dot", b"Exception", rb"Test Blt Fail 88760248h Ends with a stop\.")

    def test_empty_message_gives_empty_second_line(self):
        self.expect_report("empty", b"Exception", b"")

    def test_report_is_cut_at_1023_characters(self):
        result = probe("long")
        self.assertEqual(result.status, 1)
        report = result.stdout[len(b"released\r\n"):]
        self.assertTrue(report.endswith(b"L\r\n"), report[-20:])
        self.assertEqual(len(report), 1023 + 2)

    def test_failure_in_the_middle_of_a_line_continues_it(self):
        # The resource is released after the label was written, so its line ends the label's line.
        result = probe("midline")
        self.assertEqual(result.status, 1)
        self.assertRegex(result.stdout, re.compile(
            re.escape(b"SysMem Read (Secs, Bytes/s):                released\r\nException Exception in module ")
            + re.escape(PROBE_NAME.encode()) + b" at " + HEX
            + re.escape(b".\nWaitForOpComplete Lock Fail [887601AEh Surface busy.].\r\n") + b"$"))

    def expect_access_violation(self, mode, access, address):
        match = self.expect_report(
            mode, b"EAccessViolation",
            b"Access violation at address (?P<instruction>" + WIDE_HEX + b") in module '"
            + re.escape(PROBE_NAME.encode()) + b"'. " + access + b" of address " + address + rb"\.")
        if e2e.IS_WIN32:
            # The executable is mapped at its preferred base: the offset is the address less 400000h.
            self.assertEqual(int(match.group("instruction"), 16) - 0x400000, int(match.group("offset"), 16))

    def test_access_violation_on_read(self):
        self.expect_access_violation("read", b"Read", b"00000010")

    def test_access_violation_on_write(self):
        self.expect_access_violation("write", b"Write", b"00000020")

    def test_floating_point_division_by_zero(self):
        self.expect_report("fdiv", b"EZeroDivide", rb"Floating point division by zero\.")

    def test_invalid_floating_point_operation(self):
        self.expect_report("invalid", b"EInvalidOp", rb"Invalid floating point operation\.")

    def test_integer_division_by_zero(self):
        self.expect_report("intdiv", b"EDivByZero", rb"Division by zero\.")

    def test_faults_in_kernels_and_the_timed_section(self):
        label = b"SysMem Read (Secs, Bytes/s): " + b" " * 15
        for mode, before, cls, message in (
                ("kernel", b"", b"EAccessViolation", rb"Access violation at address " + WIDE_HEX + b" in module '"
                 + re.escape(PROBE_NAME.encode()) + rb"'\. Read of address 00000010\."),
                ("timed-divide", label, b"EZeroDivide", rb"Floating point division by zero\."),
                ("timed-convert", label, b"EInvalidOp", rb"Invalid floating point operation\.")):
            with self.subTest(mode):
                self.expect_report(mode, cls, message, before + b"released\r\n")

    def test_repeated_faults_are_each_converted_and_leave_the_x87_unit_clean(self):
        result = probe("repeat")
        self.assertEqual((result.status, result.stdout), (0, b"faults 300 releases 300 unclean 0\r\nreleased\r\n"))

    @unittest.skipUnless(e2e.IS_WIN32, "a fault inside a DLL of the Win32 runtime")
    def test_fault_in_another_module_is_reported_without_unwinding(self):
        self.expect_report("foreign", b"EAccessViolation", rb"Access violation at address [0-9A-F]{8} in module "
                           rb"'msvcrt\.dll'\. Read of address 00000010\.", before=b"")

    def test_program_control_word(self):
        result = probe("controlword")
        self.assertEqual(result.status, 0)
        # 0x1332 loaded; the reserved bit 6 reads back as 1.
        self.assertEqual(result.stdout, b"1372\r\nreleased\r\n")

    def test_report_into_a_file_ends_with_it(self):
        with open(self.id() + ".out", "w+b") as out:
            result = e2e.run(["own"], exe=PROBE, stdout=out)
            out.seek(0)
            data = out.read()
        os.remove(self.id() + ".out")
        self.assertEqual(result.status, 1)
        self.assertTrue(data.endswith(b"GetMem fail [Size = 1228800].\r\n"), data)


class OutputErrorTest(unittest.TestCase):
    """Standard output that cannot be written ends the program with status 1 in bounded time."""

    def run_closed(self, args):
        command = ["sh", "-c", 'exec "$@" >&-', "sh"] + e2e.RUNNER + [e2e.EXE] + args
        return subprocess.run(command, stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120).returncode

    def run_full(self, args):
        with open("/dev/full", "wb") as full:
            return e2e.run(args, stdout=full, timeout=120).status

    def test_usage_text_to_closed_output(self):
        self.assertEqual(self.run_closed(["/?"]), 1)

    def test_usage_text_to_full_device(self):
        self.assertEqual(self.run_full(["/?"]), 1)

    def test_run_to_closed_output(self):
        self.assertEqual(self.run_closed(["/I"]), 1)

    def test_run_to_full_device(self):
        self.assertEqual(self.run_full(["/I"]), 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
