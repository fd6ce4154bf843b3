"""Columns of runs: repeats of one machine and settings grouped, their statistics, the changes from a baseline
column, what makes columns not alike, and the marks of figures that cannot be trusted as they stand."""

import statistics
from dataclasses import dataclass, field
from fractions import Fraction
from math import ceil
from typing import List, Optional

from .model import BLIT_TESTS, MEMORY_TESTS, PASSES_FROM, TEST_LABELS, ReportError, Run, Sidecar, size_bytes

SETTINGS = ["Screen", "Pitch", "TestCount", "ReadCount", "BltToSysCount", "Switches", "Device"]
COUNT_NAMES = {"test_count": "TestCount", "read_count": "ReadCount", "blt_to_sys_count": "BltToSysCount"}
UNSTEADY_PERCENT = 5
SHORT_SECONDS = Fraction(1, 2)


@dataclass
class Entry:
    """One input file: the name it has on its own, its run and its sidecar (None without one)."""
    name: str
    path: str
    run: Run
    sidecar: Optional[Sidecar] = None

    def machine(self):
        return None if self.sidecar is None else self.sidecar.values.get("Machine")


@dataclass
class Figures:
    """One test of one column: the rates (bytes/s) of its runs and what follows from them."""
    label: str
    rates: List[int] = field(default_factory=list)
    failed: bool = False
    short: list = field(default_factory=list)  # (entry, report line, suggested count) under half a second
    cache_resident: bool = False
    change: Optional[float] = None  # per cent from the baseline's median
    within_noise: Optional[bool] = None  # None: either side has one run, so the noise is unknown

    @property
    def n(self):
        return len(self.rates)

    @property
    def median(self):
        return statistics.median(self.rates) if self.rates else None

    @property
    def spread(self):
        """(max - min) over the median in per cent; None for a median of 0 or no rates."""
        if not self.rates or self.median == 0:
            return None
        return (max(self.rates) - min(self.rates)) * 100 / abs(self.median)

    @property
    def unsteady(self):
        return self.n >= 2 and self.spread is not None and self.spread > UNSTEADY_PERCENT


@dataclass
class Column:
    name: str
    entries: List[Entry]
    settings: List[str]  # as the table shows them, in the order of SETTINGS: each the first run's that tells it
    figures: List[Figures] = field(default_factory=list)


@dataclass
class Comparison:
    columns: List[Column]
    baseline: Optional[str] = None
    differences: list = field(default_factory=list)  # (setting, [(value, [column names])])


def text_or_dash(value):
    return "-" if value is None else str(value)


def switches_cell(settings):
    """"-" only where the run does not tell (it never printed its settings); "none" where it printed none."""
    if settings.info_only:
        return "/I"
    if settings.qword_routines is None:
        return "-"
    switches = []
    if settings.wait_after_blit:
        switches.append("/W")
    if settings.qword_routines:
        switches.append("/Q")
    return " ".join(switches) if switches else "none"


def device_cell(opened):
    if opened.guid is None:
        return "-"
    if opened.number is not None:
        return "Driver %d" % opened.number
    if opened.guid.strip("{}0-") == "":
        return "default"
    return opened.guid


def settings_cells(run):
    """The settings that make runs alike, as the table shows them, in the order of SETTINGS."""
    settings, screen = run.settings, run.screen
    resolution = "-"
    if screen.width is not None:
        resolution = "%dx%dx%d" % (screen.width, screen.height, screen.bpp)
    return [resolution, text_or_dash(screen.pitch), text_or_dash(settings.test_count),
            text_or_dash(settings.read_count), text_or_dash(settings.blt_to_sys_count), switches_cell(settings),
            device_cell(run.opened_device)]


def suggested_count(line):
    """The passes that take at least 1 s at the line's rate: from the bytes where known, as they are exact,
    else from the printed seconds; None when neither tells."""
    if line.passes is None or line.passes <= 0:
        return None
    if line.bytes is not None and line.bytes > 0 and line.bytes_per_second > 0:
        return ceil(Fraction(line.bytes_per_second * line.passes, line.bytes))
    seconds = Fraction(line.seconds)
    return ceil(line.passes / seconds) if seconds > 0 else None


def is_short(line):
    return Fraction(line.seconds) < SHORT_SECONDS


def is_cache_resident(entry, label):
    """A system-memory test whose one pass, pitch x height bytes, fits in the cache the sidecar gives."""
    screen = entry.run.screen
    if label not in MEMORY_TESTS or entry.sidecar is None or "Cache" not in entry.sidecar.values:
        return False
    if screen.pitch is None or screen.height is None:
        return False
    return 0 < abs(screen.pitch) * screen.height <= size_bytes(entry.sidecar.values["Cache"])


def column_figures(entries):
    figures = []
    for label in TEST_LABELS:
        figure = Figures(label)
        for entry in entries:
            run = entry.run
            for line in run.report_lines:
                if line.label != label:
                    continue
                figure.rates.append(line.bytes_per_second)
                if is_short(line):
                    figure.short.append((entry, line, suggested_count(line)))
                figure.cache_resident = figure.cache_resident or is_cache_resident(entry, label)
            if label in BLIT_TESTS and not run.settings.info_only:
                figure.failed = figure.failed or any(r.step == label and r.failed for r in run.results)
        figures.append(figure)
    return figures


def variant_name(machine, cells, differing):
    """The machine and the settings its other columns differ in: "K6-2 /Q", "K6-2 640x480x8". A pitch goes
    with its screen, and only the columns that have switches name them."""
    parts = [machine]
    if {"TestCount", "ReadCount", "BltToSysCount"} & differing:
        parts.append("/".join(cells[SETTINGS.index(name)] for name in ("TestCount", "ReadCount", "BltToSysCount")))
    if "Screen" in differing:
        differing = differing - {"Pitch"}
    for name in ("Screen", "Pitch", "Switches", "Device"):
        value = cells[SETTINGS.index(name)]
        if name in differing and value not in ("-", "none"):
            parts.append("pitch " + value if name == "Pitch" else value)
    return " ".join(parts)


def unique(names):
    """A name seen before gets its count, "name (2)"."""
    seen, out = {}, []
    for name in names:
        seen[name] = seen.get(name, 0) + 1
        out.append(name if seen[name] == 1 else "%s (%d)" % (name, seen[name]))
    return out


def column_settings(group):
    cells = [settings_cells(entry.run) for entry in group]
    return [next((run[i] for run in cells if run[i] != "-"), "-") for i in range(len(SETTINGS))]


def tells_less(cells, other):
    """True when other tells every setting that cells tells, alike, and more."""
    return cells != other and all(value in ("-", known) for value, known in zip(cells, other))


def group_entries(entries):
    """Columns in the order their first run comes: runs of one Machine and the same settings together,
    runs without a Machine one each. A run that ended before telling some setting (a failed Primary.Lock
    leaves the pitch unknown) joins the one column of its Machine that tells all it told, and more, with
    the figures it has; where two such columns are, it cannot tell which and stays apart."""
    groups, by_key = [], {}
    for entry in entries:
        machine = entry.machine()
        if machine is None:
            groups.append([entry])
            continue
        key = (machine, tuple(settings_cells(entry.run)))
        if key not in by_key:
            by_key[key] = []
            groups.append(by_key[key])
        by_key[key].append(entry)
    for (machine, cells), group in by_key.items():
        fits = [other for (other_machine, other_cells), other in by_key.items()
                if other_machine == machine and tells_less(cells, other_cells)]
        if len(fits) == 1:
            fits[0] += group
            groups[:] = [other for other in groups if other is not group]
    order = {id(entry): number for number, entry in enumerate(entries)}
    for group in groups:
        group.sort(key=lambda entry: order[id(entry)])
    groups.sort(key=lambda group: order[id(group[0])])
    names = []
    for group in groups:
        machine = group[0].machine()
        if machine is None:
            names.append(group[0].name)
            continue
        variants = [column_settings(other) for other in groups if other[0].machine() == machine]
        # A run that does not tell a setting differs in it from none.
        differing = {name for i, name in enumerate(SETTINGS) if len({v[i] for v in variants} - {"-"}) > 1}
        names.append(variant_name(machine, column_settings(group), differing))
    return [Column(name, group, column_settings(group), column_figures(group))
            for name, group in zip(unique(names), groups)]


def apply_baseline(columns, baseline):
    names = [column.name for column in columns]
    if baseline not in names:
        raise ReportError("--baseline %r is no column; the columns: %s" % (baseline, ", ".join(names)))
    base = columns[names.index(baseline)]
    for column in columns:
        if column is base:
            continue
        for figure, reference in zip(column.figures, base.figures):
            if figure.n == 0 or reference.n == 0 or reference.median == 0:
                continue
            figure.change = (figure.median - reference.median) * 100 / abs(reference.median)
            if figure.n >= 2 and reference.n >= 2:
                figure.within_noise = (min(figure.rates) <= max(reference.rates)
                                       and min(reference.rates) <= max(figure.rates))


def differences(columns):
    """Each setting in which the columns differ, with its values and the columns of each; a run that does not
    tell a setting ("-", it ended before printing it) differs from none."""
    found = []
    for i, setting in enumerate(SETTINGS):
        values = {}
        for column in columns:
            value = column.settings[i]
            if value != "-":
                values.setdefault(value, []).append(column.name)
        if len(values) > 1:
            found.append((setting, list(values.items())))
    return found


def compare(entries, baseline=None):
    columns = group_entries(entries)
    if baseline is not None:
        apply_baseline(columns, baseline)
    return Comparison(columns=columns, baseline=baseline, differences=differences(columns))


def comparability_notes(comparison):
    """One line per setting the columns differ in: their figures differ for reasons besides the PCs."""
    return ["not alike: %s %s" % (setting, "; ".join("%s in %s" % (value, ", ".join(names))
                                                     for value, names in values))
            for setting, values in comparison.differences]


def count_name(label):
    return COUNT_NAMES[PASSES_FROM[label]]
