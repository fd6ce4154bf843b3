"""Runs the real programs (under Wine for Win32) and compares their exact bytes. CTest passes the programs, the build
folder and for Win32 the |-separated Wine bench in MORVIT_* variables."""

import os
import re
import subprocess
import tempfile
import types
import unittest

EXE, PROBE, DOUBLE = os.environ["MORVIT_EXE"], os.environ["MORVIT_PROBE"], os.environ["MORVIT_DOUBLE_EXE"]
RUNNER = [part for part in os.environ.get("MORVIT_RUNNER", "").split("|") if part]
IS_WIN32 = bool(RUNNER)
MODULE = re.escape(os.path.basename(DOUBLE).encode())
WARNING = b" ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount"
win32_only = unittest.skipUnless(IS_WIN32, "Win32 behaviour, under Wine")
DEVICES = ["  Driver 0: display", "  Description: DirectDraw HAL", "  GUID: No", "", "  Driver 1: \\\\.\\DISPLAY1",
           "  Description: WineD3D DirectDraw Emulation", "  GUID: {4D4F5256-4954-11D2-8000-444953504C31}", ""]
ZERO_GUID = "DirectDrawCreateEx({00000000-0000-0000-0000-000000000000},IID_IDirectDraw7): OK"


def run(args=(), exe=EXE, stdout=subprocess.PIPE, env=None, runner_options=()):
    """Runs a program; the result's stdout, status and (for run_double) the double's record."""
    done = subprocess.run(RUNNER + list(runner_options) + [exe] + list(args), stdin=subprocess.DEVNULL, stdout=stdout,
                          stderr=subprocess.DEVNULL, env=dict(os.environ, **(env or {})), timeout=300)
    return types.SimpleNamespace(stdout=done.stdout, status=done.returncode, record=[])


def run_double(args, script="", exe=DOUBLE, runner_options=()):
    """Runs the program against the double with a script; the result carries the double's record."""
    folder = tempfile.mkdtemp()
    script_path, record_path = os.path.join(folder, "script"), os.path.join(folder, "record")
    open(script_path, "w", encoding="latin-1").write(script)
    env = {"MORVIT_DDRAW_SCRIPT": script_path, "MORVIT_DDRAW_LOG": record_path, "WINEDLLOVERRIDES": "ddraw=n"}
    result = run(args, exe, env=env, runner_options=runner_options)
    if os.path.exists(record_path):
        result.record = open(record_path, encoding="latin-1").read().splitlines()
    return result


def header(label):
    """A report line's beginning: label, column header and the padding to column 45."""
    return (label + " (Secs, Bytes/s): " + " " * max(0, 26 - len(label))).encode("latin-1")


def failure(before, cls, message):
    """A failure report continuing the text before it, up to the end of the output, as a pattern."""
    return re.compile(re.escape(before) + b"Exception " + cls + b" in module " + MODULE + rb" at [0-9A-F]{8}\.\n"
                      + message + rb"\r\n\Z")


def run_lines(width, height, pitch, bpp, counts=None, wait="FALSE", qword="FALSE"):
    """The lines of a complete run: text, (label, passes) for a report line, None for the address line. counts:
    TestCount, ReadCount, BltToSysCount, or None for /I; the echo leaves out ReadCount when it equals TestCount,
    BltToSysCount when it equals ReadCount."""
    report = lambda *tests: [(label, counts[i]) for label, i in tests] if counts else []
    echo = ["TestCount = %d" % counts[0] + ("; ReadCount = %d" % counts[1]) * (counts[1] != counts[0]) + (
        "; BltToSysCount = %d" % counts[2]) * (counts[2] != counts[1]), "Wait after every blit: " + wait,
        "QWord Routines: " + qword, ""] if counts else []
    size = "%d x %d" % (width, height)
    return ["DirectDraw 7 Version"] + echo + ["Attached Device Enumeration:"] + DEVICES + [
        ZERO_GUID, "PrimarySurface: OK", "  Resolution: %s x %dbpp" % (size, bpp), "SysMemSurface (%s, %dbpp): OK" % (size, bpp)
    ] + report(("SysMem Read", 0), ("SysMem Write", 0), ("SysMem Copy", 0)) + (report(
        ("VideoMem To SysMem Blt", 2), ("SysMem To VideoMem Blt", 0)) or ["VideoMem To SysMem Blt: OK", "SysMem To VideoMem Blt: OK"]
    ) + ["Primary.Lock: OK", "  Pitch: %d" % pitch, None] + report(
        ("VideoMem Read", 1), ("VideoMem Write", 0), ("SysMem To VideoMem Copy", 0), ("VideoMem To SysMem Copy", 1)) + [
        "Primary.UnLock: OK"]


def expect(test, result, lines, status=0, pass_bytes=320 * 8):
    """Compares the output with the expected lines: text, bytes as the pattern of one line, None for the address
    line, a report line, whose figures must agree with each other and with pass_bytes times its passes (the
    first under half a second followed by the warning), or a compiled pattern for the rest of the output."""
    out, warned = result.stdout.split(b"\r\n"), False
    test.assertEqual(result.status, status, result.stdout[-600:])
    for line in lines:
        got = out.pop(0) if out else b""
        if isinstance(line, re.Pattern):
            return test.assertRegex(b"\r\n".join([got] + out), line)
        if not isinstance(line, tuple):
            line = rb"  Virtual Address: [0-9A-F]{8,16}" if line is None else line
            test.assertRegex(got, b"^%s$" % line if isinstance(line, bytes) else b"^%s$" % re.escape(line.encode("latin-1")))
            continue
        match = re.fullmatch(re.escape(header(line[0])) + rb"( *\d+\.\d{4}) ( *-?\d+) ( *-?\d+)M ( *-?\d+)G", got)
        test.assertIsNotNone(match, (line, got))
        test.assertEqual([len(field) for field in match.groups()], [max(w, len(f.strip())) for w, f in zip((8, 12, 6, 3), match.groups())])
        seconds, rate, mb, gb = float(match[1]), int(match[2]), int(match[3]), int(match[4])
        total = pass_bytes * line[1]
        # The rate is the bytes over a time that prints as the seconds; megabytes and gigabytes round half up.
        test.assertTrue(seconds < 0.002 or total / (seconds + 0.00005) - 1 <= rate <= total / (seconds - 0.00005) + 1, got)
        test.assertEqual((mb, gb), ((rate + 500000) // 10**6, (rate + 500000000) // 10**9), got)
        # A time printed as 0.5000 may lie just below half a second.
        if not warned and (seconds < 0.5 or seconds == 0.5 and out[:1] == [WARNING]):
            test.assertEqual(out[:1], [WARNING])
            warned = bool(out.pop(0))
    test.assertEqual(out, [b""])


def released_in_reverse(test, record):
    """Every object the double created was released once, in reverse order of creation, and nothing misused."""
    created = [line[2:] for line in record if line.startswith("+ ")]
    test.assertEqual([line[2:] for line in record if line.startswith("- ")], created[::-1], record)
    test.assertEqual([line for line in record if line.startswith("!")], [])
