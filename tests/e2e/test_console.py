"""The program in a terminal (a pseudo-terminal; Wine's console under Win32): text shown at the end of every
statement, and Ctrl+C during a timed memory test or blit test ending the run with the EControlC report and
status 1, with output on the terminal or in a file."""

import os
import pty
import re
import select
import tempfile
import time
import unittest

import morvit_e2e as e2e

REPORT = rb"Exception EControlC in module \S+ at [0-9A-F]{8}\.\nControl-C hit\."


def interrupt(args, ready, output=None, keys=1):
    """Runs the program against the double in a new terminal and presses Ctrl+C once the terminal shows ready
    (with output to a file, once the double's record does). Returns the terminal's text without control
    sequences and CRs, the exit status, the seconds from the key to the report on the terminal, the record."""
    record = os.path.join(tempfile.mkdtemp(), "record")
    pid, terminal = pty.fork()
    if pid == 0:
        if output:
            os.dup2(os.open(output, os.O_WRONLY | os.O_CREAT | os.O_TRUNC), 1)
        command = e2e.RUNNER + [e2e.DOUBLE] + args
        os.execvpe(command[0], command, dict(os.environ, MORVIT_DDRAW_LOG=record, WINEDLLOVERRIDES="ddraw=n"))
    seen, pressed, shown, deadline = b"", None, 0, time.time() + 120
    while time.time() < deadline:
        try:
            seen += os.read(terminal, 65536) if select.select([terminal], [], [], 0.02)[0] else b""
        except OSError:
            break
        text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", seen)
        log = open(record, "rb").read() if os.path.exists(record) else b""
        if pressed is None and ready in (log if output else text):
            pressed = time.time()
            for _ in range(keys):
                os.write(terminal, b"\x03"), time.sleep(0.05)
        shown = shown or b"Control-C hit" in text and time.time()
    _, status = os.waitpid(pid, 0)
    return text, os.waitstatus_to_exitcode(status), shown - pressed, open(record).read().splitlines()


class InterruptTest(unittest.TestCase):
    def test_ctrl_c_in_a_terminal(self):
        # The label shows before the key: a console gets each statement at its end, not in blocks.
        for args, label, keys in ((["100000"], "SysMem Read", 1), (["1", "1", "1000000"], "VideoMem To SysMem Blt", 2)):
            with self.subTest(label):
                text, status, seconds, record = interrupt(args, e2e.header(label).rstrip(), keys=keys)
                self.assertEqual(status, 1)
                # Wine's console wraps lines at 80 columns, the terminal echoes the key.
                self.assertRegex(text.replace(b"\n.EXE", b".EXE"),
                                 re.escape(e2e.header(label).rstrip()) + rb" *(?:\^C)*" + REPORT + rb"\n\Z")
                self.assertLess(seconds, 1)
                if label == "SysMem Read":  # stopped in a kernel, the program's own code: clean-up ran
                    e2e.released_in_reverse(self, record)

    def test_ctrl_c_with_output_to_a_file(self):
        path = os.path.join(tempfile.mkdtemp(), "out")
        _, status, _, record = interrupt(["100000"], b"+ sysmem", output=path)
        self.assertEqual(status, 1)
        self.assertRegex(open(path, "rb").read(), rb"(?:%s|\r\n)" % re.escape(e2e.header("SysMem Read")) + REPORT + rb"\r\n\Z")
        e2e.released_in_reverse(self, record)


if __name__ == "__main__":
    unittest.main(verbosity=2)
