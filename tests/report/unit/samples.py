"""A run as the program prints it, for the tests to read and to cut short."""

from pathlib import Path

from morvit_report.checking import check_run
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


def compared(runs, baseline=None):
    """The comparison of (name, text, sidecar text or None) runs, each checked."""
    entries = []
    for name, text, sidecar in runs:
        run = parse_run(text)
        check_run(run)
        pc = None if sidecar is None else parse_sidecar(name + ".INF", sidecar.encode())
        entries.append(Entry(name=name, path=name + ".TXT", run=run, sidecar=pc))
    return compare(entries, baseline)
