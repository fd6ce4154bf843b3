"""A run as the program prints it, for the tests to read and to cut short."""

from pathlib import Path

# The saved complete /Q /W run under Wine that the end-to-end test reads too, its line ends made line feeds.
COMPLETE_RUN = Path(__file__).resolve().parents[3] / "tests" / "report" / "fixtures" / "qword.txt"
COMPLETE = COMPLETE_RUN.read_bytes().decode().replace("\r\n", "\n")


def up_to(text, start):
    """The lines of text up to and including the first one that begins with start."""
    lines = text.split("\n")
    for number, line in enumerate(lines, 1):
        if line.startswith(start):
            return "\n".join(lines[:number]) + "\n"
    raise ValueError("no line begins with %r" % start)
