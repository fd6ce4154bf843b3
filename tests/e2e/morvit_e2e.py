"""Runs the real program (MORVIT.EXE under Wine, or the native build) and checks its exact bytes.

CTest passes the program and how to run it in the environment:
  MORVIT_EXE     the program
  MORVIT_RUNNER  |-separated command that runs it (the Wine bench), empty for a native program
  MORVIT_LAUNCH  launch.exe, which starts the program with an exact raw command line (Win32 only)
"""

import os
import re
import subprocess
import unittest

EXE = os.environ.get("MORVIT_EXE", "")
RUNNER = [part for part in os.environ.get("MORVIT_RUNNER", "").split("|") if part]
LAUNCH = os.environ.get("MORVIT_LAUNCH", "")
IS_WIN32 = bool(RUNNER)
TIMEOUT = 300


class Result:
    def __init__(self, stdout, status):
        self.stdout = stdout
        self.status = status

    @property
    def lines(self):
        """The output split at CR LF; the text after the last line end is the last item."""
        return self.stdout.split(b"\r\n")


def run(args=(), exe=None, stdout=subprocess.PIPE, env=None, runner_options=(), timeout=TIMEOUT):
    """Runs the program with the given arguments; stdout may be a file object or a redirection target."""
    command = RUNNER + list(runner_options) + [exe or EXE] + list(args)
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    completed = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=stdout, stderr=subprocess.DEVNULL,
                               env=full_env, timeout=timeout)
    return Result(completed.stdout if stdout is subprocess.PIPE else None, completed.returncode)


def run_raw(command_line, env=None, runner_options=(), timeout=TIMEOUT):
    """Runs the program with an exact raw command line (its own name included) through launch.exe."""
    if not LAUNCH:
        raise unittest.SkipTest("raw command lines need the Win32 build")
    hex_line = command_line.encode("latin-1").hex().upper()
    return run([hex_line], exe=LAUNCH, env=env, runner_options=runner_options, timeout=timeout)


def crlf(*lines):
    """Lines joined and ended by CR LF, as the program writes them."""
    return b"".join(line.encode("latin-1") + b"\r\n" for line in lines)


# A report line: label, column header, padding to column 45, then seconds (8 wide, 4 decimals),
# rate (12 wide), megabytes (6 wide) "M ", gigabytes (3 wide) "G". The figures are measured, so
# only they are placeholders; a field wider than its width pushes the rest right.
def report_line_pattern(label):
    pad = " " * max(0, 26 - len(label))
    head = re.escape((label + " (Secs, Bytes/s): " + pad).encode("latin-1"))
    return re.compile(head + rb"(?P<seconds> *-?\d+\.\d{4}) (?P<rate> *-?\d+) (?P<mb> *-?\d+)M (?P<gb> *-?\d+)G$")


WARNING_LINE = b" ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount"


def match_report_line(test, line, label):
    """Asserts that line is the report line of label with its field widths; returns its figures."""
    match = report_line_pattern(label).match(line)
    test.assertIsNotNone(match, "not a report line of %r: %r" % (label, line))
    for name, width in (("seconds", 8), ("rate", 12), ("mb", 6), ("gb", 3)):
        field = match.group(name)
        if len(field.strip()) < width:
            test.assertEqual(len(field), width, "field %s of %r" % (name, line))
    return (float(match.group("seconds")), int(match.group("rate")), int(match.group("mb")),
            int(match.group("gb")))
