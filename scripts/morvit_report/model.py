"""What a saved run holds, and the error for anything the companion cannot use.

Every class writes its own JSON form key by key: the keys are what the --json output promises its readers,
so renaming an attribute must not rename a key.
"""

from dataclasses import dataclass, field
from typing import List, Optional

# The tests in run order, with the setting that gives each one's number of passes (or blits).
TESTS = [
    ("SysMem Read", "test_count"),
    ("SysMem Write", "test_count"),
    ("SysMem Copy", "test_count"),
    ("VideoMem To SysMem Blt", "blt_to_sys_count"),
    ("SysMem To VideoMem Blt", "test_count"),
    ("VideoMem Read", "read_count"),
    ("VideoMem Write", "test_count"),
    ("SysMem To VideoMem Copy", "test_count"),
    ("VideoMem To SysMem Copy", "read_count"),
]
TEST_LABELS = [label for label, _ in TESTS]
PASSES_FROM = dict(TESTS)
MEMORY_TESTS = TEST_LABELS[:3]
BLIT_TESTS = TEST_LABELS[3:5]
VIDEO_TESTS = TEST_LABELS[5:]


class ReportError(Exception):
    """Input that is no usable MORVIT run, or an output that cannot be written; the message says which."""


@dataclass
class Settings:
    info_only: Optional[bool] = None
    test_count: Optional[int] = None
    read_count: Optional[int] = None
    blt_to_sys_count: Optional[int] = None
    wait_after_blit: Optional[bool] = None
    qword_routines: Optional[bool] = None

    def passes(self, label):
        """The passes (or blits) the test of this label runs, None when the run does not tell."""
        return getattr(self, PASSES_FROM[label])

    def to_json(self):
        return {"info_only": self.info_only, "test_count": self.test_count, "read_count": self.read_count,
                "blt_to_sys_count": self.blt_to_sys_count, "wait_after_blit": self.wait_after_blit,
                "qword_routines": self.qword_routines}


@dataclass
class Screen:
    width: Optional[int] = None
    height: Optional[int] = None
    bpp: Optional[int] = None
    pitch: Optional[int] = None
    address: Optional[str] = None

    def to_json(self):
        return {"width": self.width, "height": self.height, "bpp": self.bpp, "pitch": self.pitch,
                "address": self.address}


@dataclass
class Device:
    number: int
    name: str
    description: str
    guid: Optional[str]  # None for the primary display driver, listed without one

    def to_json(self):
        return {"number": self.number, "name": self.name, "description": self.description, "guid": self.guid}


@dataclass
class OpenedDevice:
    guid: Optional[str] = None
    number: Optional[int] = None  # None for a GUID that is not in the listing

    def to_json(self):
        return {"guid": self.guid, "number": self.number}


@dataclass
class StepResult:
    """The result a step printed: OK, or a code in hexadecimal and its message."""
    line: int
    step: str
    result: str
    failed: bool

    def to_json(self):
        return {"line": self.line, "step": self.step, "result": self.result, "failed": self.failed}


@dataclass
class TimeWarning:
    line: int
    after: str

    def to_json(self):
        return {"line": self.line, "after": self.after}


@dataclass
class ReportLine:
    """A timed test's line as printed, and what the check found: the passes and bytes it moved (None where
    the run does not tell) and, when its figures disagree, why."""
    line: int
    label: str
    seconds: str  # as printed: the CSV keeps the text, the JSON gives the number
    bytes_per_second: int
    megabytes: int
    gigabytes: int
    passes: Optional[int] = None
    bytes: Optional[int] = None
    consistent: Optional[bool] = None
    problem: Optional[str] = None
    # The rates (bytes/s) the bytes give over any time that prints as the seconds; None where unbounded
    # or the bytes are unknown.
    rate_low: Optional[int] = None
    rate_high: Optional[int] = None

    def to_json(self):
        return {"line": self.line, "label": self.label, "seconds": float(self.seconds),
                "bytes_per_second": self.bytes_per_second, "megabytes": self.megabytes,
                "gigabytes": self.gigabytes, "passes": self.passes, "bytes": self.bytes,
                "consistent": self.consistent, "problem": self.problem, "rate_low": self.rate_low,
                "rate_high": self.rate_high}


@dataclass
class Failure:
    """The failure report that ends a run; interrupted when it continues a line the failure left open."""
    class_name: str
    module: str
    offset: str
    message: str
    line: int
    interrupted: bool

    def to_json(self):
        return {"class": self.class_name, "module": self.module, "offset": self.offset, "message": self.message,
                "line": self.line, "interrupted": self.interrupted}


@dataclass
class Ending:
    """How the run ended: kind is complete, early_end (a failed step) or failure_report."""
    complete: bool = False
    kind: Optional[str] = None
    last_step: Optional[str] = None
    result: Optional[str] = None
    failure: Optional[Failure] = None

    def to_json(self):
        return {"complete": self.complete, "kind": self.kind, "last_step": self.last_step, "result": self.result,
                "failure": None if self.failure is None else self.failure.to_json()}


@dataclass
class Run:
    settings: Settings = field(default_factory=Settings)
    screen: Screen = field(default_factory=Screen)
    devices: List[Device] = field(default_factory=list)
    opened_device: OpenedDevice = field(default_factory=OpenedDevice)
    results: List[StepResult] = field(default_factory=list)
    warning: Optional[TimeWarning] = None
    report_lines: List[ReportLine] = field(default_factory=list)
    ending: Ending = field(default_factory=Ending)
    sha256: Optional[str] = None  # of the file as read; the file's JSON gives it, the run's own does not

    def to_json(self):
        return {"settings": self.settings.to_json(), "screen": self.screen.to_json(),
                "devices": [device.to_json() for device in self.devices],
                "opened_device": self.opened_device.to_json(),
                "results": [result.to_json() for result in self.results],
                "warning": None if self.warning is None else self.warning.to_json(),
                "report_lines": [line.to_json() for line in self.report_lines], "ending": self.ending.to_json()}


# The sidecar's keys with the form of each value: a number, a size with KB or MB, or text.
SIDECAR_KEYS = [("Machine", "text"), ("CPU", "text"), ("MHz", "number"), ("Board", "text"), ("Chipset", "text"),
                ("RAM", "size"), ("Cache", "size"), ("Card", "text"), ("Chip", "text"), ("VRAM", "size"),
                ("Bus", "text"), ("FastWrites", "text"), ("Driver", "text"), ("DirectX", "text"), ("OS", "text"),
                ("Refresh", "number"), ("Notes", "text")]


def size_bytes(text):
    """Bytes of a size as the sidecar keeps it, "512 KB" or "1.5 MB", in the 1024s makers state them in."""
    number, unit = text.split()
    return int(float(number) * (1024 if unit == "KB" else 1024 * 1024))


@dataclass
class Sidecar:
    """What a run's PC is, as its sidecar file says: values by key as written, sizes as "N KB" or "N MB"."""
    path: Optional[str] = None
    values: dict = field(default_factory=dict)

    def to_json(self):
        document = {"path": self.path}
        for key, form in SIDECAR_KEYS:
            value = self.values.get(key)
            if value is not None and form == "number":
                value = float(value) if "." in value else int(value)
            elif value is not None and form == "size":
                value = size_bytes(value)
            document[key.lower()] = value
        return document
