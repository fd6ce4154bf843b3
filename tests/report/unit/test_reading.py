import unittest

from morvit_report.model import ReportError
from morvit_report.reading import parse_run, run_from_bytes
from samples import COMPLETE, up_to

# A step that succeeded with a code other than zero, which prints as a code; the run goes on after it.
SUCCESS_CODE = COMPLETE.replace("PrimarySurface: OK", "PrimarySurface: 00000001h Unrecognized Error")

REFUSED = [
    ("the usage text", "MORVIT.EXE [TestCount ReadCount BltToSysCount] [/I] [/W] [/Q] [/Dnum]\n",
     "MORVIT's usage text, not a run"),
    ("another first line", "Read me\n", "not MORVIT output: line 1 is 'Read me', not 'DirectDraw 7 Version'"),
    ("a line the program does not print", COMPLETE.replace("QWord Routines", "QWORD Routines"),
     "line 4: not MORVIT output: expected 'QWord Routines: TRUE/FALSE', found 'QWORD Routines: TRUE'"),
    ("cut after a step that cannot end the run", up_to(COMPLETE, "  Resolution"),
     "line 17: the output stops after PrimarySurface, with neither 'Primary.UnLock' nor a failure report"),
    ("cut after a step that succeeded with a code other than OK", up_to(SUCCESS_CODE, "PrimarySurface"),
     "line 16: the output stops after PrimarySurface, with neither 'Primary.UnLock' nor a failure report"),
    ("cut after a step that succeeded", up_to(COMPLETE, "SysMemSurface"),
     "line 18: the output stops after SysMemSurface, with neither 'Primary.UnLock' nor a failure report"),
    ("cut between timed tests", up_to(COMPLETE, "SysMem Copy"),
     "line 22: the output stops after SysMem Copy, with neither 'Primary.UnLock' nor a failure report"),
    ("text after the last line", COMPLETE + "more\n", "line 33: not MORVIT output: text after 'Primary.UnLock'"),
    ("a failure report alone", "Exception E in module m at 00000000.\nmessage\n",
     "not MORVIT output: no line before the failure report"),
    ("a control character", "\x7fELF\x01", "binary data, not MORVIT output (byte 0x7F at offset 0)"),
]

# Encodings a saved run may come in, of a run with a device name beyond ASCII: each reads as the run itself.
# (CR LF line ends: the command's tests read the program's own output.)
ACCENTED = COMPLETE.replace("Emulation", "\u00c9mulation")
SAVED_AS = [
    ("single bytes in the console's code page 437", ACCENTED.encode("cp437")),
    ("no line end after the last line", ACCENTED.rstrip("\n").encode("cp437")),
    ("UTF-16 with its byte-order mark", b"\xff\xfe" + ACCENTED.encode("utf-16-le")),
    ("UTF-8 with its byte-order mark", b"\xef\xbb\xbf" + ACCENTED.encode()),
    ("UTF-8 without one, as PowerShell 7's > saves it", ACCENTED.encode()),
]

# The echo leaves out a count equal to the one before it. (All three apart: the saved runs in ../fixtures.)
ECHOES = [
    ("one count for all three", "TestCount = 30", (30, 30, 30)),
    ("ReadCount apart", "TestCount = 30; ReadCount = 5", (30, 5, 5)),
    ("BltToSysCount apart", "TestCount = 30; BltToSysCount = 7", (30, 30, 7)),
]


class ReadingTest(unittest.TestCase):
    def test_a_run_is_complete_though_a_steps_success_code_is_other_than_ok(self):
        # (The other endings: the saved runs' JSON in test_comparing.)
        ending = {"complete": True, "kind": "complete", "last_step": "Primary.UnLock", "result": "OK", "failure": None}
        self.assertEqual(parse_run(SUCCESS_CODE).ending.to_json(), ending)

    def test_refused_input_is_named(self):
        for name, text, message in REFUSED:
            with self.subTest(name):
                with self.assertRaises(ReportError) as raised:
                    run_from_bytes(text.encode())
                self.assertEqual(str(raised.exception), message)

    def test_saved_encodings(self):
        for name, data in SAVED_AS:
            with self.subTest(name):
                self.assertEqual(run_from_bytes(data).to_json(), parse_run(ACCENTED).to_json())

    def test_counts_left_out_of_the_echo(self):
        for name, echo, counts in ECHOES:
            with self.subTest(name):
                settings = parse_run(COMPLETE.replace("TestCount = 30", echo)).settings
                self.assertEqual((settings.test_count, settings.read_count, settings.blt_to_sys_count), counts)
