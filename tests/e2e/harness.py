"""The end-to-end tests' harness: running the real programs (under Wine for Win32, through the runner CTest names)
plainly, against the scripted DirectDraw double or in a pseudo-terminal with Ctrl+C keys; the expected outputs built
from a run's named steps; the assertions over an output and the double's record. A run that does not end in time is
ended (the runner's clean-up first) and has status None; every temporary folder is removed."""

import os
import pty
import re
import select
import signal
import subprocess
import tempfile
import termios
import time
import types
import unittest
from pathlib import Path

EXE, PROBE, DOUBLE = os.environ["MORVIT_EXE"], os.environ["MORVIT_PROBE"], os.environ["MORVIT_DOUBLE_EXE"]
RUNNER = [part for part in os.environ.get("MORVIT_RUNNER", "").split("|") if part]
IS_WIN32 = bool(RUNNER)
win32_only = unittest.skipUnless(IS_WIN32, "Win32 behaviour, under Wine")


def end_hung(pid):
    """Ends a run that did not end in time, started as the leader of a process group: SIGTERM to the group first, on
    which the runner (once Wine's program is gone) ends Wine's processes and screen, then SIGKILL."""
    os.killpg(pid, signal.SIGTERM)
    time.sleep(5)
    try:
        os.killpg(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def run(args=(), exe=EXE, stdout=subprocess.PIPE, env=(), runner_options=(), timeout=300, stderr=subprocess.DEVNULL):
    """Runs a program: its output and exit status, None when it had not ended after timeout seconds."""
    process = subprocess.Popen(RUNNER + list(runner_options) + [exe] + list(args), stdin=subprocess.DEVNULL,
                               stdout=stdout, stderr=stderr, env=dict(os.environ, **dict(env)),
                               start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        return types.SimpleNamespace(stdout=output, status=process.returncode)
    except subprocess.TimeoutExpired:
        end_hung(process.pid)
        process.wait()
        return types.SimpleNamespace(stdout=b"", status=None)


def double_env(folder, script):
    """The environment that points the program at the double, its script written into folder and its record there."""
    (folder / "script").write_text(script, encoding="latin-1")
    return {"MORVIT_DDRAW_SCRIPT": str(folder / "script"), "MORVIT_DDRAW_LOG": str(folder / "record"),
            "WINEDLLOVERRIDES": "ddraw=n"}


def read_record(folder):
    record = folder / "record"
    return record.read_text(encoding="latin-1").splitlines() if record.exists() else []


def run_double(args, script, exe=DOUBLE, runner_options=()):
    """Runs the program against the double with a script: the result carries the double's record."""
    with tempfile.TemporaryDirectory() as name:
        folder = Path(name)
        result = run(args, exe, env=double_env(folder, script), runner_options=runner_options)
        result.record = read_record(folder)
    return result


# An expected output is a list of patterns, one for each line ended by CR LF (a failure report's two lines are
# parted by LF alone, so here they are one).
def text(line):
    return re.escape(line.encode("latin-1"))


def header(label):
    """A report line's beginning, written before the timed span: label, column header, spaces up to column 45."""
    return (label + " (Secs, Bytes/s): " + " " * (26 - len(label))).encode("latin-1")


def right_aligned(width, value, chars, end):
    """A figure (the pattern value, of the characters chars) right-aligned in width columns before end: padded to
    width, or wider and unpadded (a blit of the double, which returns at once, can be timed at 0.0000 s)."""
    return rb"(?:(?=.{%d}%s) *%s|(?=%s{%d,}%s)%s)" % (width, end, value, chars, width + 1, end, value)


def report_line(label):
    """A report line: its header, then seconds with 4 decimals, bytes/s, MB/s and GB/s right-aligned in 8, 12, 6 and 3
    columns."""
    return (re.escape(header(label)) + right_aligned(8, rb"\d+\.\d{4}", rb"[\d.]", b" ") + b" "
            + right_aligned(12, rb"\d+", rb"\d", b" ") + b" " + right_aligned(6, rb"\d+", rb"\d", b"M") + b"M "
            + right_aligned(3, rb"\d+", rb"\d", b"G") + b"G")


def failure_report(cls, message, module):
    """A failure report: the heading, with the fault's offset as the group "offset", and the message."""
    return b"Exception %s in module %s at (?P<offset>[0-9A-F]{8})\\.\n%s" % (cls, module, message)


# The faulting instruction's address, the module, the access and its address.
VIOLATION = rb"Access violation at address [0-9A-F]{8,16} in module '%s'\. %s of address %s\."
CREATED = "DirectDrawCreateEx({%s},IID_IDirectDraw7): %s"
ZERO_GUID, SECOND_GUID = "00000000-0000-0000-0000-000000000000", "4D4F5256-4954-11D2-8000-444953504C31"
WINE_DEVICES = [("display", "DirectDraw HAL", text("No")),  # the double's stand-ins for Wine's two
                ("\\\\.\\DISPLAY1", "WineD3D DirectDraw Emulation", text("{%s}" % SECOND_GUID))]
WARNING = b" ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount"


def information_run(surface, devices=WINE_DEVICES):
    """The steps of an /I run, by name, each a list of lines: the device listing (for each device its name,
    description and the pattern of its GUID), the device steps, each blit's result, the primary locked."""
    listing = [text("Attached Device Enumeration:")]
    for number, (name, description, guid) in enumerate(devices):
        listing += [text("  Driver %d: %s" % (number, name)), text("  Description: " + description),
                    text("  GUID: ") + guid, text("")]
    width, height, pitch, bpp = surface
    size = "%d x %d" % (width, height)
    return {"version": [text("DirectDraw 7 Version")], "listing": listing,
            "create": [text(CREATED % (ZERO_GUID, "OK"))],
            "primary": [text("PrimarySurface: OK"), text("  Resolution: %s x %dbpp" % (size, bpp))],
            "sysmem": [text("SysMemSurface (%s, %dbpp): OK" % (size, bpp))],
            "blt to sysmem": [text("VideoMem To SysMem Blt: OK")], "blt to video": [text("SysMem To VideoMem Blt: OK")],
            "lock": [text("Primary.Lock: OK"), text("  Pitch: %d" % pitch), rb"  Virtual Address: [0-9A-F]{8,16}"],
            "unlock": [text("Primary.UnLock: OK")]}


def performance_run(surface, counts, wait=False, qword=False, devices=WINE_DEVICES):
    """The steps of a performance run: the information run's, with the counts (as their echo shows them) and switches
    echoed, and a report line for each test; the first, well under half a second, followed by the warning."""
    steps = information_run(surface, devices)
    settings = [text(counts), text("Wait after every blit: " + ("TRUE" if wait else "FALSE")),
                text("QWord Routines: " + ("TRUE" if qword else "FALSE")), text("")]
    return {"version": steps["version"], "settings": settings, "listing": steps["listing"],
            "create": steps["create"], "primary": steps["primary"], "sysmem": steps["sysmem"],
            "sysmem tests": [report_line("SysMem Read"), re.escape(WARNING), report_line("SysMem Write"),
                             report_line("SysMem Copy")],
            "blt to sysmem": [report_line("VideoMem To SysMem Blt")],
            "blt to video": [report_line("SysMem To VideoMem Blt")], "lock": steps["lock"],
            "video tests": [report_line(label) for label in (
                "VideoMem Read", "VideoMem Write", "SysMem To VideoMem Copy", "VideoMem To SysMem Copy")],
            "unlock": steps["unlock"]}


def lines_of(steps, until=None):
    """The lines of the steps, or of those before the step named until."""
    names = list(steps)
    if until is not None:
        names = names[:names.index(until)]
    return [line for name in names for line in steps[name]]


def assert_output(test, case, result, lines, status=0):
    """The exit status, and the output as lines ended by CR LF that match lines one by one; returns the matches."""
    test.assertEqual(result.status, status, "%s: exit status; the output ends %r" % (case, result.stdout[-600:]))
    got = result.stdout.split(b"\r\n")
    test.assertEqual(got.pop(), b"", "%s: the output ends with a line end" % case)
    matches = [re.fullmatch(pattern, line) for pattern, line in zip(lines, got)]
    for number, (match, pattern, line) in enumerate(zip(matches, lines, got), 1):
        test.assertIsNotNone(match, "%s, line %d: %r is not %r" % (case, number, line, pattern))
    test.assertEqual(len(got), len(lines), "%s: lines written; the output ends %r" % (case, result.stdout[-600:]))
    return matches


def assert_released_in_reverse(test, case, record):
    """Every object the double created was released once, in reverse order of creation, and nothing misused."""
    created = [line[2:] for line in record if line.startswith("+ ")]
    released = [line[2:] for line in record if line.startswith("- ")]
    test.assertEqual(released, created[::-1], "%s: objects released" % case)
    test.assertEqual([line for line in record if line.startswith("!")], [], "%s: misuse" % case)


def keyed(command, ready, ready_file=None, delay=0.0, to_file=None, env=(), limit=10, keys=1):
    """Runs command in a pseudo-terminal (standard output there, or in to_file) and presses Ctrl+C keys times, delay
    seconds after the terminal's text, or ready_file when given, first shows ready. The result: the terminal's text
    without control sequences and CRs (terminal; text is that, or to_file's bytes), the exit status (None when the run
    is still going limit seconds after the key: it is then ended), the seconds from the key to the end (None when the
    run ended before the key) and from ready to the terminal's last text."""
    pid, terminal = pty.fork()
    if pid == 0:
        # A second key would otherwise make the terminal discard output it has not passed on yet.
        attributes = termios.tcgetattr(0)
        attributes[3] |= termios.NOFLSH
        termios.tcsetattr(0, termios.TCSANOW, attributes)
        if to_file:
            os.dup2(os.open(to_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644), 1)
        os.execvpe(command[0], command, dict(os.environ, **dict(env)))
    seen, ready_at, shown_at, key_at, pressed, status, deadline = b"", None, None, None, None, None, time.time() + 120
    while status is None and time.time() < (pressed + limit if pressed else deadline):
        if select.select([terminal], [], [], 0.005)[0]:
            try:
                seen += os.read(terminal, 65536)
                shown_at = time.time()
            except OSError:
                pass
        if ready_file is None:
            shows = ready in re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", seen)
        else:
            shows = ready_file.exists() and ready in ready_file.read_bytes()
        if key_at is None and shows:
            ready_at = time.time()
            key_at = ready_at + delay
        if pressed is None and key_at is not None and time.time() >= key_at:
            pressed = time.time()
            for _ in range(keys):
                os.write(terminal, b"\x03")
                time.sleep(0.05)
        done, code = os.waitpid(pid, os.WNOHANG)
        if done:
            status = os.waitstatus_to_exitcode(code)
    ended = time.time()
    if status is None:
        end_hung(pid)
        os.waitpid(pid, 0)
    while select.select([terminal], [], [], 0.2)[0]:
        try:
            seen += os.read(terminal, 65536)
        except OSError:
            break
    os.close(terminal)
    # The terminal echoes the key; Wine's console may then draw the open line again from its start.
    shown = re.sub(rb"\^C", b"", re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", seen))
    shown = re.sub(rb"(?m)^([^\n]{10,})\1", rb"\1", shown)
    return types.SimpleNamespace(text=Path(to_file).read_bytes() if to_file else shown, terminal=shown,
                                 status=status,
                                 seconds=ended - pressed if pressed else None,
                                 lasted=shown_at - ready_at if ready_at and shown_at else None)
