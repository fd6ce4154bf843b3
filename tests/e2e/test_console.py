"""The program in a terminal (a pseudo-terminal; Wine's console under Win32): each statement shown at its end, and
Ctrl+C during a timed memory or blit test ending the run with the EControlC report and status 1, with output on
the terminal or in a file."""

import os
import pty
import re
import select
import tempfile
import termios
import time
import unittest

import morvit_e2e as e2e

def read(path):
    with open(path, "rb") as file:
        return file.read()


REPORT = rb"Exception EControlC in module \S+ at [0-9A-F]{8}\.\nControl-C hit\."


class InterruptTest(unittest.TestCase):
    def test_ctrl_c(self):
        # Each case: the counts, the test the key interrupts, the keys pressed, the file output goes to (or the
        # terminal). Ctrl+C is pressed once the terminal shows the test's label, which a console gets when its
        # statement ends, or, with output to a file, once the double's record shows the surfaces created.
        for args, label, keys, output in ((["100000"], "SysMem Read", 1, None), (["1", "1", "1000000"], "VideoMem To SysMem Blt", 2, None),
                                          (["100000"], "SysMem Read", 1, "out")):
            with self.subTest(label=label, output=output):
                folder = tempfile.mkdtemp()
                record, ready = os.path.join(folder, "record"), b"+ sysmem" if output else e2e.header(label).rstrip()
                pid, terminal = pty.fork()
                if pid == 0:
                    # A second key would otherwise make the terminal discard output it has not passed on yet.
                    attributes = termios.tcgetattr(0)
                    attributes[3] |= termios.NOFLSH
                    termios.tcsetattr(0, termios.TCSANOW, attributes)
                    if output:
                        os.dup2(os.open(os.path.join(folder, output), os.O_WRONLY | os.O_CREAT), 1)
                    command = e2e.RUNNER + [e2e.DOUBLE] + args
                    os.execvpe(command[0], command, dict(os.environ, MORVIT_DDRAW_LOG=record, WINEDLLOVERRIDES="ddraw=n"))
                seen, pressed, shown, deadline = b"", None, 0, time.time() + 120
                while time.time() < deadline:
                    try:
                        seen += os.read(terminal, 65536) if select.select([terminal], [], [], 0.02)[0] else b""
                    except OSError:
                        break
                    text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", seen)  # without control sequences and CRs
                    if pressed is None and ready in (read(record) if output and os.path.exists(record) else text):
                        pressed = time.time()
                        for _ in range(keys):
                            os.write(terminal, b"\x03"), time.sleep(0.05)
                    shown = shown or b"Control-C hit" in text and time.time()
                self.assertEqual(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]), 1)
                if output:  # the file ends with the report after the label, or at a line's start
                    self.assertRegex(read(os.path.join(folder, output)),
                                     rb"(?:%s|\r\n)" % re.escape(e2e.header(label)) + REPORT + rb"\r\n\Z")
                else:  # Wine's console wraps lines at 80 columns; the terminal echoes the key
                    self.assertRegex(text.replace(b"\n.EXE", b".EXE"), re.escape(ready) + rb" *(?:\^C)*" + REPORT + rb"\n(?:\^C)*\Z")
                    self.assertLess(shown - pressed, 1)
                if label == "SysMem Read":  # stopped in a kernel, the program's own code: clean-up ran
                    e2e.released_in_reverse(self, read(record).decode().splitlines())


if __name__ == "__main__":
    unittest.main(verbosity=2)
