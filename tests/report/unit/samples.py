"""A run as the program prints it, for the tests to read and to cut short."""

import re
from fractions import Fraction
from pathlib import Path

from morvit_report.checking import check_run, rounded_units
from morvit_report.grouping import Entry, compare
from morvit_report.reading import parse_run
from morvit_report.sidecar import parse_sidecar

# The saved complete /Q /W run under Wine that the end-to-end test reads too, its line ends made line feeds.
COMPLETE_RUN = Path(__file__).resolve().parents[1] / "fixtures" / "qword.txt"
COMPLETE = COMPLETE_RUN.read_bytes().decode().replace("\r\n", "\n")


def up_to(text, start):
    """The lines of text up to and including the first one that begins with start."""
    lines = text.split("\n")
    for number, line in enumerate(lines, 1):
        if line.startswith(start):
            return "\n".join(lines[:number]) + "\n"
    raise ValueError("no line begins with %r" % start)


def repeat(text, factor):
    """Another run of text whose every test took factor times as long (or its own factor, given a list):
    each report line's seconds scaled and printed with 4 decimals, its rate the bytes over them truncated,
    M and G rounded as the program does, and the short-time warning after the first line under 0.5 s."""
    run = parse_run(text)
    check_run(run)
    lines = text.split("\n")
    factors = factor if isinstance(factor, list) else [factor] * len(run.report_lines)
    for line, factor in zip(run.report_lines, factors):
        seconds = round(Fraction(line.seconds) * Fraction(factor), 4)
        rate = int(line.bytes / seconds)
        figures = ["%.4f" % seconds, str(rate), "%dM" % rounded_units(rate, 10 ** 6),
                   "%dG" % rounded_units(rate, 10 ** 9)]
        # Each field keeps its printed width, as the program pads it.
        fields = re.fullmatch(r"(.*?:)( +\S+)( +\S+)( +\S+)( +\S+)", lines[line.line - 1]).groups()
        lines[line.line - 1] = fields[0] + "".join(figure.rjust(len(field))
                                                   for figure, field in zip(figures, fields[1:]))
    warning = " ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount"
    lines = [text for text in lines if text != warning]
    for number, text in enumerate(lines):
        if re.search(r"\(Secs, Bytes/s\): +0\.[0-4]", text):
            lines.insert(number + 1, warning)
            break
    return "\n".join(lines)


def compared(runs, baseline=None):
    """The comparison of (name, text, sidecar text or None) runs, each checked."""
    entries = []
    for name, text, sidecar in runs:
        run = parse_run(text)
        check_run(run)
        pc = None if sidecar is None else parse_sidecar(name + ".INF", sidecar)
        entries.append(Entry(name=name, path=name + ".TXT", run=run, sidecar=pc))
    return compare(entries, baseline)
