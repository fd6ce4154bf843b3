"""The table of runs side by side, as plain text or Markdown: each run's settings, then every test's rate."""

import os
import re

from .model import BLIT_TESTS, TEST_LABELS

RATE_HEADING = "Rate (MB/s)"


def column_names(paths):
    """Each file's name without extension; a name seen before gets its count, "name (2)"."""
    names = [os.path.splitext(os.path.basename(path))[0] for path in paths]
    seen = {}
    for i, name in enumerate(names):
        seen[name] = seen.get(name, 0) + 1
        if seen[name] > 1:
            names[i] = "%s (%d)" % (name, seen[name])
    return names


def rate_cells(run):
    """The cell of every test: the rate in decimal MB/s, 'failed' for a failed untimed blit, '-'."""
    rates = {line.label: "%.1f" % (line.bytes_per_second / 1e6) for line in run.report_lines}
    if not run.settings.info_only:
        for result in run.results:
            if result.step in BLIT_TESTS and result.failed:
                rates[result.step] = "failed"
    return [rates.get(label, "-") for label in TEST_LABELS]


def text_or_dash(value):
    return "-" if value is None else str(value)


def switches_cell(settings):
    if settings.info_only:
        return "/I"
    switches = []
    if settings.wait_after_blit:
        switches.append("/W")
    if settings.qword_routines:
        switches.append("/Q")
    return " ".join(switches) if switches else "-"


def device_cell(opened):
    if opened.guid is None:
        return "-"
    if opened.number is not None:
        return "Driver %d" % opened.number
    if opened.guid.strip("{}0-") == "":
        return "default"
    return opened.guid


def header_cells(run):
    """(heading, cell) of the settings rows above the rates."""
    settings, screen = run.settings, run.screen
    resolution = "-"
    if screen.width is not None:
        resolution = "%dx%dx%d" % (screen.width, screen.height, screen.bpp)
    return [("Screen", resolution), ("Pitch", text_or_dash(screen.pitch)),
            ("TestCount", text_or_dash(settings.test_count)), ("ReadCount", text_or_dash(settings.read_count)),
            ("BltToSysCount", text_or_dash(settings.blt_to_sys_count)), ("Switches", switches_cell(settings)),
            ("Device", device_cell(run.opened_device))]


def ending_text(run):
    """Where and how a run that did not complete ended."""
    ending = run.ending
    if ending.kind == "early_end":
        return "ended early at %s: %s" % (ending.last_step, ending.result)
    failure = ending.failure
    return "failure report %s %s: Exception %s in module %s at %s. %s" % (
        "during" if failure.interrupted else "after", ending.last_step, failure.class_name, failure.module,
        failure.offset, failure.message)


def table_model(names, runs):
    """The settings rows and rate rows as (heading, one cell per run), and (name, ending) of every run that
    did not complete."""
    columns = [dict(header_cells(run)) for run in runs]
    header = [(heading, [column[heading] for column in columns]) for heading, _ in header_cells(runs[0])]
    cells = [rate_cells(run) for run in runs]
    rows = [(label, [column[i] for column in cells]) for i, label in enumerate(TEST_LABELS)]
    endings = [(name, ending_text(run)) for name, run in zip(names, runs) if not run.ending.complete]
    return header, rows, endings


def plain_table(names, runs):
    header, rows, endings = table_model(names, runs)
    first = max(len(heading) for heading, _ in header + rows + [(RATE_HEADING, None)])
    widths = [max(len(name), *(len(cells[i]) for _, cells in header + rows)) for i, name in enumerate(names)]

    def row(heading, cells):
        return ("%-*s" % (first, heading) + "".join("  %*s" % (w, c) for w, c in zip(widths, cells))).rstrip()

    out = [row("", names)] + [row(heading, cells) for heading, cells in header]
    out += ["", row(RATE_HEADING, [""] * len(names))] + [row(label, cells) for label, cells in rows]
    if endings:
        out.append("")
        out += ["%s: %s" % (name, text) for name, text in endings]
    return "\n".join(out) + "\n"


def markdown_escape(text):
    return re.sub(r"([\\`*_|<\[\]])", r"\\\1", text)


def markdown_table(names, runs):
    header, rows, endings = table_model(names, runs)

    def row(heading, cells):
        return "| " + " | ".join([heading] + [markdown_escape(c) for c in cells]) + " |"

    out = [row("", names), "|---|" + "---:|" * len(names)] + [row(heading, cells) for heading, cells in header]
    out += [row("**%s**" % RATE_HEADING, [""] * len(names))] + [row(label, cells) for label, cells in rows]
    if endings:
        out.append("")
        out += ["- **%s**: %s" % (markdown_escape(name), markdown_escape(text)) for name, text in endings]
    return "\n".join(out) + "\n"
