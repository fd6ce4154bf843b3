"""Runs the real programs (MORVIT.EXE and the test programs under Wine, or the native builds) and compares
their exact bytes. CTest passes in the environment: MORVIT_EXE, MORVIT_PROBE, MORVIT_DOUBLE_EXE (the
program beside, or natively linked with, the DirectDraw double), MORVIT_BUILD, and for Win32 MORVIT_RUNNER
(|-separated Wine bench command), MORVIT_LAUNCH and MORVIT_ENUM_ONLY_EXE."""

import os
import re
import subprocess
import tempfile
import unittest

EXE, PROBE, DOUBLE = os.environ["MORVIT_EXE"], os.environ["MORVIT_PROBE"], os.environ["MORVIT_DOUBLE_EXE"]
RUNNER = [part for part in os.environ.get("MORVIT_RUNNER", "").split("|") if part]
IS_WIN32 = bool(RUNNER)
WARNING = b" ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount"
LOCATION = rb" at [0-9A-F]{8}\.\n"
win32_only = unittest.skipUnless(IS_WIN32, "Win32 behaviour, under Wine")


class Result:
    def __init__(self, stdout, status, record=()):
        self.stdout, self.status, self.record = stdout, status, list(record)


def run(args=(), exe=EXE, stdout=subprocess.PIPE, env=None, runner_options=(), timeout=300):
    """Runs a program with the given arguments; stdout may be a file object."""
    done = subprocess.run(RUNNER + list(runner_options) + [exe] + list(args), stdin=subprocess.DEVNULL,
                          stdout=stdout, stderr=subprocess.DEVNULL, env=dict(os.environ, **(env or {})),
                          timeout=timeout)
    return Result(done.stdout, done.returncode)


def run_double(args, script="", exe=DOUBLE, runner_options=()):
    """Runs the program against the double with a script; the result carries the double's record."""
    with tempfile.TemporaryDirectory() as folder:
        paths = [os.path.join(folder, name) for name in ("script", "record")]
        with open(paths[0], "w", encoding="latin-1") as f:
            f.write(script)
        env = {"MORVIT_DDRAW_SCRIPT": paths[0], "MORVIT_DDRAW_LOG": paths[1], "WINEDLLOVERRIDES": "ddraw=n"}
        result = run(args, exe, env=env, runner_options=runner_options)
        if os.path.exists(paths[1]):
            with open(paths[1], encoding="latin-1") as f:
                result.record = f.read().splitlines()
    return result


def crlf(*lines):
    return b"".join(line.encode("latin-1") + b"\r\n" for line in lines)


def header(label):
    """A report line's beginning: label, column header and the padding to column 45."""
    return (label + " (Secs, Bytes/s): " + " " * max(0, 26 - len(label))).encode("latin-1")


def report_figures(test, line, label, pass_bytes, passes):
    """Asserts that line is label's report line with its field widths, and that its figures agree with each
    other and with the bytes moved: the rate within the rounding of the printed seconds, megabytes and
    gigabytes rounded half up from the rate. Returns the seconds."""
    match = re.fullmatch(re.escape(header(label)) + rb"( *\d+\.\d{4}) ( *-?\d+) ( *-?\d+)M ( *-?\d+)G", line)
    test.assertIsNotNone(match, (label, line))
    for field, width in zip(match.groups(), (8, 12, 6, 3)):
        test.assertTrue(len(field) == width or field[0:1] != b" " and len(field) > width, line)
    seconds, rate, mb, gb = float(match[1]), int(match[2]), int(match[3]), int(match[4])
    if seconds >= 0.002:
        total = pass_bytes * passes
        test.assertTrue(total / (seconds + 0.00005) - 1 <= rate <= total / (seconds - 0.00005) + 1, line)
    test.assertEqual((mb, gb), ((rate + 500000) // 10**6, (rate + 500000000) // 10**9), line)
    return seconds


def released_in_reverse(test, record):
    """Every object the double created was released once, in reverse order of creation, and nothing misused."""
    created = [line[2:] for line in record if line.startswith("+ ")]
    test.assertEqual([line[2:] for line in record if line.startswith("- ")], created[::-1], record)
    test.assertEqual([line for line in record if line.startswith("!")], [])
