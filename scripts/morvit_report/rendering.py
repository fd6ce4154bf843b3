"""The table of runs side by side, as plain text or Markdown: each run's settings, then every test's rate."""

import os
import re

from .grouping import SETTINGS, comparability_notes, count_name, unique
from .model import SIDECAR_KEYS, TEST_LABELS

RATE_HEADING = "Rate (MB/s)"
MARKS = [("U", "unsteady: the runs' spread is over 5 %"), ("S", "short: a run took under 0.5 s (see below)"),
         ("C", "cache-resident: one pass fits in the sidecar's Cache, so the figure is the cache's")]


def column_names(paths):
    """Each file's name without extension; a name seen before gets its count, "name (2)"."""
    return unique([os.path.splitext(os.path.basename(path))[0] for path in paths])


def ending_text(run):
    """Where and how a run that did not complete ended."""
    ending = run.ending
    if ending.kind == "early_end":
        return "ended early at %s: %s" % (ending.last_step, ending.result)
    failure = ending.failure
    return "failure report %s %s: Exception %s in module %s at %s. %s" % (
        "during" if failure.interrupted else "after", ending.last_step, failure.class_name, failure.module,
        failure.offset, failure.message)


def megabytes(rate):
    return "%.1f" % (rate / 1e6)


def figure_cell(figure, runs, versus_baseline):
    """A test's cell: the rate, or for a group the median [min-max] and spread; for a column beside the
    baseline the per cent change; then the marks."""
    if figure.n == 0:
        return "failed" if figure.failed else "-"
    if versus_baseline:
        text = "-" if figure.change is None else "%+.1f%%" % figure.change
        if figure.change is not None and figure.within_noise is not False:
            text += " within noise" if figure.within_noise else " noise unknown"
    elif figure.n == 1:
        text = megabytes(figure.rates[0])
    else:
        spread = "-" if figure.spread is None else "%.1f%%" % figure.spread
        text = "%s [%s-%s] %s" % (megabytes(figure.median), megabytes(min(figure.rates)),
                                  megabytes(max(figure.rates)), spread)
    if figure.n != runs:
        text += " n=%d" % figure.n
    marks = figure_marks(figure)
    return text + (" " + marks if marks else "")


def figure_marks(figure):
    flags = {"U": figure.unsteady, "S": bool(figure.short), "C": figure.cache_resident}
    return "".join(mark for mark, _ in MARKS if flags[mark])


def sidecar_cell(column, key):
    values = []
    for entry in column.entries:
        value = None if entry.sidecar is None else entry.sidecar.values.get(key)
        if value is not None and value not in values:
            values.append(value)
    return " / ".join(values) if values else "-"


def short_notes(columns):
    """Every column's tests that took under half a second in some run, with the count that gives 1 s."""
    notes = []
    for column in columns:
        for figure in column.figures:
            if not figure.short:
                continue
            seconds = min(line.seconds for _, line, _ in figure.short)
            counts = [count for _, _, count in figure.short if count is not None]
            count = "no count known"
            if counts:
                count = "%s %d takes at least 1 s at the rate measured" % (count_name(figure.label), max(counts))
            notes.append("%s: %s took %s s; %s" % (column.name, figure.label, seconds, count))
    return notes


def table_model(comparison):
    """The header rows and rate rows as (heading, one cell per column), the notes below them, and (name,
    ending) of every run that did not complete."""
    columns = comparison.columns
    sidecar_keys = [key for key, _ in SIDECAR_KEYS
                    if any(sidecar_cell(column, key) != "-" for column in columns)]
    header = [(key, [sidecar_cell(column, key) for column in columns]) for key in sidecar_keys]
    if any(len(column.entries) > 1 for column in columns):
        header.append(("Runs", [str(len(column.entries)) for column in columns]))
    header += [(setting, [column.settings[i] for column in columns]) for i, setting in enumerate(SETTINGS)]
    rows = []
    for i, label in enumerate(TEST_LABELS):
        rows.append((label, [figure_cell(column.figures[i], len(column.entries),
                                         comparison.baseline not in (None, column.name)) for column in columns]))
    notes = []
    shown = "".join(figure_marks(figure) for column in columns for figure in column.figures)
    used = [(mark, text) for mark, text in MARKS if mark in shown]
    notes += ["%s  %s" % pair for pair in used]
    notes += short_notes(columns)
    notes += comparability_notes(comparison)
    endings = [(entry.name, ending_text(entry.run)) for column in columns for entry in column.entries
               if not entry.run.ending.complete]
    return header, rows, notes, endings


def rate_heading(comparison):
    if comparison.baseline is None:
        return RATE_HEADING
    return "%s; change from %s" % (RATE_HEADING, comparison.baseline)


def plain_table(comparison):
    header, rows, notes, endings = table_model(comparison)
    names = [column.name for column in comparison.columns]
    first = max(len(heading) for heading, _ in header + rows)
    widths = [max(len(name), *(len(cells[i]) for _, cells in header + rows)) for i, name in enumerate(names)]

    def row(heading, cells):
        return ("%-*s" % (first, heading) + "".join("  %*s" % (w, c) for w, c in zip(widths, cells))).rstrip()

    out = [row("", names)] + [row(heading, cells) for heading, cells in header]
    out += ["", rate_heading(comparison)] + [row(label, cells) for label, cells in rows]
    if notes or endings:
        out.append("")
    out += notes + ["%s: %s" % (name, text) for name, text in endings]
    return "\n".join(out) + "\n"


def markdown_escape(text):
    return re.sub(r"([\\`*_|<\[\]])", r"\\\1", text)


def markdown_table(comparison):
    header, rows, notes, endings = table_model(comparison)
    names = [column.name for column in comparison.columns]

    def row(heading, cells):
        return "| " + " | ".join([heading] + [markdown_escape(c) for c in cells]) + " |"

    out = [row("", names), "|---|" + "---:|" * len(names)] + [row(heading, cells) for heading, cells in header]
    out += [row("**%s**" % markdown_escape(rate_heading(comparison)), [""] * len(names))]
    out += [row(label, cells) for label, cells in rows]
    if notes or endings:
        out.append("")
    out += ["- " + markdown_escape(note) for note in notes]
    out += ["- **%s**: %s" % (markdown_escape(name), markdown_escape(text)) for name, text in endings]
    return "\n".join(out) + "\n"
