"""Failure reports of every kind through the fault probe: exact bytes, exit status 1, clean-up before the
report; and a program whose standard output cannot be written."""

import os
import re
import subprocess
import unittest

import morvit_e2e as e2e

PROBE = re.escape(os.path.basename(e2e.PROBE).encode())
ADDRESS = rb"[0-9A-F]{8,16}"
LABEL = b"SysMem Read (Secs, Bytes/s): " + b" " * 15
RELEASED = b"released\r\n"


class FailureTest(unittest.TestCase):
    def test_reports(self):
        # Each case: the probe's mode, the text before the report, its class and message (a pattern).
        cases = [
            ("read", RELEASED, b"EAccessViolation", rb"Access violation at address (?P<at>%s) in module '%s'\. Read "
             rb"of address 00000010\." % (ADDRESS, PROBE)),
            ("write", RELEASED, b"EAccessViolation", rb"Access violation at address %s in module '%s'\. Write of "
             rb"address 00000020\." % (ADDRESS, PROBE)),
            ("kernel", RELEASED, b"EAccessViolation", rb"Access violation at address %s in module '%s'\. Read of "
             rb"address 00000010\." % (ADDRESS, PROBE)),
            ("fdiv", RELEASED, b"EZeroDivide", rb"Floating point division by zero\."),
            ("invalid", RELEASED, b"EInvalidOp", rb"Invalid floating point operation\."),
            ("intdiv", RELEASED, b"EDivByZero", rb"Division by zero\."),
            ("timed-divide", LABEL + RELEASED, b"EZeroDivide", rb"Floating point division by zero\."),
            ("timed-convert", LABEL + RELEASED, b"EInvalidOp", rb"Invalid floating point operation\."),
        ]
        if e2e.IS_WIN32:
            # A fault in another module's code ends the program without unwinding its frames.
            cases.append(("foreign", b"", b"EAccessViolation", rb"Access violation at address [0-9A-F]{8} in module "
                          rb"'msvcrt\.dll'\. Read of address 00000010\."))
            # Exceptions the platform raises with each code, in a module of the platform's.
            for code, cls, message in (
                    ("C0000005", b"EAccessViolation", rb"Access violation at address [0-9A-F]{8} in module '\S+'\. "
                     rb"Read of address 00000000\."),
                    ("C0000094", b"EDivByZero", b"Division by zero."), ("C000008C", b"ERangeError", b"Range check error."),
                    ("C0000095", b"EIntOverflow", b"Integer overflow."),
                    ("C000008E", b"EZeroDivide", b"Floating point division by zero."),
                    ("C0000090", b"EInvalidOp", b"Invalid floating point operation."),
                    ("C0000092", b"EInvalidOp", b"Invalid floating point operation."),
                    ("C000008F", b"EInvalidOp", b"Invalid floating point operation."),
                    ("C0000091", b"EOverflow", b"Floating point overflow."),
                    ("C0000093", b"EUnderflow", b"Floating point underflow."),
                    ("C000008D", b"EUnderflow", b"Floating point underflow."),
                    ("C0000096", b"EPrivilege", b"Privileged instruction."),
                    ("C00000FD", b"EStackOverflow", b"Stack overflow."),
                    ("E0001234", b"EExternalException", b"External exception E0001234.")):
                cases.append(("raise " + code, b"", cls, re.escape(message) if cls != b"EAccessViolation" else message))
        for mode, before, cls, message in cases:
            with self.subTest(mode):
                result = e2e.run(mode.split(), e2e.PROBE)
                module = rb"\S+" if mode.startswith(("raise", "foreign")) else PROBE
                match = re.fullmatch(re.escape(before) + b"Exception " + cls + b" in module " + module
                                     + rb" at (?P<offset>[0-9A-F]{8})\.\n" + message + b"\r\n", result.stdout)
                self.assertIsNotNone(match, result.stdout)
                self.assertEqual(result.status, 1)
                if e2e.IS_WIN32 and mode == "read":  # mapped at its preferred base
                    self.assertEqual(int(match["at"], 16) - 0x400000, int(match["offset"], 16))

    def test_runs_that_end_normally(self):
        # Repeated faults are each converted with clean-up; released buffers give their address space back;
        # the control word is the program's (0x1332; the reserved bit 6 reads back as 1).
        for mode, stdout in (("repeat", b"faults 300 releases 300 unclean 0\r\n"), ("pages", b"pages released\r\n"),
                             ("controlword", b"1372\r\n")):
            self.assertEqual(e2e.run([mode], e2e.PROBE).stdout, stdout + RELEASED, mode)

    def test_output_that_cannot_be_written_ends_with_status_1(self):
        for args in (["/?"], ["/I"]):
            with open("/dev/full", "wb") as full:
                self.assertEqual(e2e.run(args, stdout=full).status, 1, args)
            closed = subprocess.run(["sh", "-c", 'exec "$@" >&-', "sh"] + e2e.RUNNER + [e2e.EXE] + args,
                                    stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
            self.assertEqual(closed.returncode, 1, args)
            # A pipe whose reader has gone: an output error too, not the end by a signal.
            piped = subprocess.Popen(e2e.RUNNER + [e2e.EXE] + args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
            piped.stdout.close()
            self.assertEqual(piped.wait(timeout=120), 1, args)


if __name__ == "__main__":
    unittest.main(verbosity=2)
