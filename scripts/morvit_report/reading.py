"""Reads a saved run: the bytes as MORVIT writes them, then its lines in the order the program prints them."""

import hashlib
import re

from .model import (BLIT_TESTS, MEMORY_TESTS, VIDEO_TESTS, Device, Ending, Failure, OpenedDevice, ReportError,
                    ReportLine, Run, StepResult, TimeWarning)

GUID = r"\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\}"
# A result text: OK, or the code in hexadecimal and its message.
RESULT = r"(?P<result>OK|[0-9A-F]{8}h .*)"
ECHO = r"TestCount = (-?\d+)(?:; ReadCount = (-?\d+))?(?:; BltToSysCount = (-?\d+))?"
WARNING = " ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount"
# The two lines of a failure report at the very end of the output: the first may continue a line the
# failure left open, and only a line feed separates it from the message.
FAILURE = re.compile(r"Exception (?P<cls>\S+) in module (?P<module>[^\n]*?) at (?P<offset>[0-9A-F]{8})\.\n"
                     r"(?P<message>[^\n]*)\n?\Z")
USAGE_FIRST_LINE = "MORVIT.EXE [TestCount ReadCount BltToSysCount] [/I] [/W] [/Q] [/Dnum]"
MAX_INPUT = 1 << 20  # a run's output is a few kilobytes


class EndOfOutput(Exception):
    """The lines ran out: the run ended at this point."""


def report_header(label):
    return re.escape(label) + r" \(Secs, Bytes/s\): *"


def report_line(label):
    # Spaces are not counted: a field wider than its width pushes the rest right.
    return (report_header(label) + r"(?P<seconds>-?\d+\.\d{4}) +(?P<rate>-?\d+) +(?P<mb>-?\d+)M"
            r" +(?P<gb>-?\d+)G")


def shorten(text, length=60):
    return text if len(text) <= length else text[:length] + "..."


class Cursor:
    """The complete lines of a run, and the line a failure report left open, if any."""

    def __init__(self, lines, open_line):
        self.lines = lines
        self.open_line = open_line
        self.index = 0

    def number(self):
        """The line number of the next line."""
        return self.index + 1

    def peek(self):
        """The next line and whether it is the open one; EndOfOutput past the last."""
        if self.index < len(self.lines):
            return self.lines[self.index], False
        if self.open_line is not None and self.index == len(self.lines):
            return self.open_line, True
        raise EndOfOutput

    def take_if(self, pattern):
        line, is_open = self.peek()
        match = None if is_open else re.fullmatch(pattern, line)
        if match:
            self.index += 1
        return match

    def take(self, pattern, what):
        match = self.take_if(pattern)
        if match is None:
            line, _ = self.peek()
            raise ReportError("line %d: not MORVIT output: expected %s, found %r"
                              % (self.number(), what, shorten(line)))
        return match

    def ends_open(self, pattern):
        """True when the next line is the one the failure report interrupted and fits pattern."""
        line, is_open = self.peek()
        return is_open and re.fullmatch(pattern, line) is not None


def text_of(data):
    """The text of a file as Windows PCs save it: after a byte-order mark in UTF-16 or UTF-8 (Notepad,
    PowerShell 5's >), else UTF-8 where the bytes are that (PowerShell 7's >, today's editors), else single
    bytes in the console's OEM code page, 437 taken for granted (MORVIT itself, COMMAND.COM's >, EDIT).
    UnicodeDecodeError where the bytes after a mark are not its encoding."""
    for mark, encoding in ((b"\xff\xfe", "utf-16-le"), (b"\xef\xbb\xbf", "utf-8")):
        if data.startswith(mark):
            return data[len(mark):].decode(encoding)
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp437")


def decode(data):
    """The text of a saved run; control characters other than line ends, outside a UTF-16 file, are binary."""
    control = re.search(rb"[\x00-\x08\x0b\x0c\x0e-\x1f\x7f]", data)
    if control and not data.startswith(b"\xff\xfe"):
        raise ReportError("binary data, not MORVIT output (byte 0x%02X at offset %d)"
                          % (control.group()[0], control.start()))
    try:
        return text_of(data)
    except UnicodeDecodeError as error:
        raise ReportError("binary data, not MORVIT output (undecodable %s)" % error.encoding) from None


def read_run(path):
    try:
        with open(path, "rb") as f:
            data = f.read(MAX_INPUT + 1)
    except FileNotFoundError:
        raise ReportError("no such file") from None
    except OSError as error:
        raise ReportError("cannot read: %s" % (error.strerror or error)) from None
    run = run_from_bytes(data)
    run.sha256 = hashlib.sha256(data).hexdigest()
    return run


def run_from_bytes(data):
    if not data:
        raise ReportError("empty file")
    if len(data) > MAX_INPUT:
        raise ReportError("over %d bytes, too large for MORVIT output" % MAX_INPUT)
    return parse_run(decode(data))


def parse_run(text):
    """The run a text holds, its report lines not yet checked."""
    text = text.replace("\r\n", "\n")
    failure = FAILURE.search(text)
    body = text[:failure.start()] if failure else text
    lines = body.split("\n")
    # What follows the last line end: the line a failure report continues, or a last line without
    # its line end, as an editor may leave it.
    rest = lines.pop()
    open_line = None
    if failure:
        open_line = rest if rest else None
    elif rest:
        lines.append(rest)
    if not lines and open_line is None:
        raise ReportError("not MORVIT output: no line before the failure report")
    first = lines[0] if lines else open_line
    if first == USAGE_FIRST_LINE:
        raise ReportError("MORVIT's usage text, not a run")
    if first != "DirectDraw 7 Version":
        raise ReportError("not MORVIT output: line 1 is %r, not 'DirectDraw 7 Version'" % shorten(first))

    cursor = Cursor(lines, open_line)
    reader = RunReader(cursor)
    run = reader.run
    try:
        reader.read_lines()
    except EndOfOutput:
        run.ending.last_step = reader.step
        if failure:
            run.ending.kind = "failure_report"
            run.ending.failure = Failure(class_name=failure.group("cls"), module=failure.group("module"),
                                         offset=failure.group("offset"), message=failure.group("message"),
                                         line=len(lines) + 1, interrupted=open_line is not None)
        elif reader.can_end:
            run.ending.kind = "early_end"
            run.ending.result = run.results[-1].result
        else:
            raise ReportError("line %d: the output stops after %s, with neither 'Primary.UnLock' nor a "
                              "failure report" % (cursor.number() - 1, reader.step)) from None
        return run
    if cursor.index < len(lines) or open_line is not None or failure:
        raise ReportError("line %d: not MORVIT output: text after 'Primary.UnLock'" % cursor.number())
    run.ending = Ending(complete=True, kind="complete", last_step="Primary.UnLock", result=run.results[-1].result)
    return run


class RunReader:
    """Fills a run from the lines in the order the program writes them, keeping the last step reached and
    whether the output may end after it (a failed step ends the run early)."""

    def __init__(self, cursor):
        self.cursor = cursor
        self.run = Run()
        self.step = "start"
        self.can_end = False

    def reached(self, step, can_end):
        self.step = step
        self.can_end = can_end

    def result_line(self, pattern, step, what, can_end=False):
        number = self.cursor.number()
        match = self.cursor.take(pattern + RESULT, what)
        result = match.group("result")
        # A code with the sign bit clear is a success, though it prints as a code: the run goes on after it.
        failed = result != "OK" and int(result[:8], 16) >= 0x80000000
        self.run.results.append(StepResult(line=number, step=step, result=result, failed=failed))
        self.reached(step, can_end and failed)
        return match

    def timed_test(self, label):
        cursor = self.cursor
        if cursor.ends_open(report_header(label)):
            self.reached(label, False)
            raise EndOfOutput
        number = cursor.number()
        match = cursor.take_if(report_line(label))
        if match is None and label in BLIT_TESTS:
            # The first, untimed blit failed: its result stands in place of the report line.
            self.result_line(re.escape(label) + ": ", label, "the line of " + label)
            return
        if match is None:
            match = cursor.take(report_line(label), "the report line of " + label)
        self.run.report_lines.append(ReportLine(
            line=number, label=label, seconds=match.group("seconds"), bytes_per_second=int(match.group("rate")),
            megabytes=int(match.group("mb")), gigabytes=int(match.group("gb"))))
        self.reached(label, False)
        if self.run.warning is None and cursor.take_if(re.escape(WARNING)):
            self.run.warning = TimeWarning(line=number + 1, after=label)

    def read_settings(self):
        settings = self.run.settings
        echo = self.cursor.take_if(ECHO)
        settings.info_only = echo is None
        if echo is None:
            return
        self.step = "settings"
        settings.test_count = int(echo.group(1))
        # A count equal to the one before it is left out: ReadCount after TestCount, BltToSysCount after
        # ReadCount.
        settings.read_count = int(echo.group(2)) if echo.group(2) is not None else settings.test_count
        settings.blt_to_sys_count = int(echo.group(3)) if echo.group(3) is not None else settings.read_count
        wait = self.cursor.take(r"Wait after every blit: (TRUE|FALSE)", "'Wait after every blit: TRUE/FALSE'")
        settings.wait_after_blit = wait.group(1) == "TRUE"
        qword = self.cursor.take(r"QWord Routines: (TRUE|FALSE)", "'QWord Routines: TRUE/FALSE'")
        settings.qword_routines = qword.group(1) == "TRUE"
        self.cursor.take(r"", "an empty line")

    def read_devices(self):
        cursor = self.cursor
        cursor.take(r"Attached Device Enumeration:", "'Attached Device Enumeration:'")
        self.step = "device enumeration"
        while True:
            driver = cursor.take_if(r"  Driver (-?\d+): (.*)")
            if driver is None:
                return
            description = cursor.take(r"  Description: (.*)", "the device's description")
            if cursor.ends_open(r"  GUID: "):
                raise EndOfOutput
            guid = cursor.take(r"  GUID: (No|%s)" % GUID, "the device's GUID")
            cursor.take(r"", "an empty line")
            self.run.devices.append(Device(number=int(driver.group(1)), name=driver.group(2),
                                           description=description.group(1),
                                           guid=None if guid.group(1) == "No" else guid.group(1)))

    def read_lines(self):
        """Reads the whole run; EndOfOutput where the lines stop."""
        run, cursor = self.run, self.cursor
        cursor.take(r"DirectDraw 7 Version", "'DirectDraw 7 Version'")
        self.read_settings()
        self.read_devices()

        opened = self.result_line(r"DirectDrawCreateEx\((?P<guid>%s),IID_IDirectDraw7\): " % GUID,
                                  "DirectDrawCreateEx", "the DirectDrawCreateEx line", can_end=True)
        guid = opened.group("guid")
        numbers = [device.number for device in run.devices if (device.guid or "").upper() == guid.upper()]
        # All zeros open the primary display driver, which is no GUID of the listing.
        run.opened_device = OpenedDevice(guid=guid, number=numbers[0] if numbers else None)

        self.result_line(r"PrimarySurface: ", "PrimarySurface", "the PrimarySurface line", can_end=True)
        resolution = cursor.take(r"  Resolution: (\d+) x (\d+) x (\d+)bpp", "the resolution")
        run.screen.width = int(resolution.group(1))
        run.screen.height = int(resolution.group(2))
        run.screen.bpp = int(resolution.group(3))
        self.can_end = False
        self.result_line(r"SysMemSurface \(\d+ x \d+, \d+bpp\): ", "SysMemSurface", "the SysMemSurface line",
                         can_end=True)

        performance = not run.settings.info_only
        if performance:
            for label in MEMORY_TESTS:
                self.timed_test(label)
        for label in BLIT_TESTS:
            if performance:
                self.timed_test(label)
            else:
                self.result_line(re.escape(label) + ": ", label, "the line of " + label)

        self.result_line(r"Primary\.Lock: ", "Primary.Lock", "the Primary.Lock line", can_end=True)
        pitch = cursor.take(r"  Pitch: (-?\d+)", "the pitch")
        run.screen.pitch = int(pitch.group(1))
        self.can_end = False
        address = cursor.take(r"  Virtual Address: ([0-9A-F]{8,16})", "the virtual address")
        run.screen.address = address.group(1)
        if performance:
            for label in VIDEO_TESTS:
                self.timed_test(label)
        self.result_line(r"Primary\.UnLock: ", "Primary.UnLock", "the Primary.UnLock line")
