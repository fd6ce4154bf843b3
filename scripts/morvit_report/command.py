"""The command line: reads every run and its sidecar, checks it, writes the files asked for, prints the table."""

import argparse
import glob
import io
import os
import sys

from . import __version__
from .chart import chart_bytes
from .checking import check_run
from .exporting import csv_text, json_text
from .grouping import Entry, compare, comparability_notes
from .model import ReportError
from .reading import read_run
from .rendering import column_names, markdown_table, plain_table
from .sidecar import read_sidecar, sidecar_path
from .writing import write_all

PROG = "morvit-report"
# Exit statuses.
AGREED, DISAGREED, UNUSABLE = 0, 1, 2
SHORT_SHA256 = 12  # hex digits: enough to tell files apart in a forum post


def chart_path(text):
    if not text.lower().endswith((".png", ".svg")):
        raise argparse.ArgumentTypeError("the chart's file name must end in .png or .svg: %r" % text)
    return text


def parse_arguments(argv):
    parser = argparse.ArgumentParser(prog=PROG, description="Compares saved MORVIT runs.")
    parser.add_argument("--version", action="version", version="%s %s" % (PROG, __version__))
    parser.add_argument("--csv", metavar="PATH", help="write every report line as CSV")
    parser.add_argument("--json", metavar="PATH", help="write everything read from the runs as JSON")
    parser.add_argument("--chart", metavar="PATH.png|PATH.svg", type=chart_path,
                        help="write a bar chart of the rates, PNG or SVG by the extension")
    parser.add_argument("--baseline", metavar="NAME", help="show the other columns as per cent changes from NAME")
    table = parser.add_mutually_exclusive_group()
    table.add_argument("--markdown", action="store_true", help="print the table as Markdown")
    table.add_argument("--bbcode", action="store_true", help="print the table as a forum's [code] block")
    parser.add_argument("files", nargs="+", metavar="FILE", help="a saved MORVIT output, or a folder of them")
    return parser.parse_args(argv)


def in_name_order(names):
    return sorted(names, key=lambda name: (name.lower(), name))


def input_paths(arguments):
    """The files named, a folder standing for its *.TXT files (either case) in name order but for hidden ones
    (macOS leaves ._NAME beside each file it copies to a FAT drive), and a pattern with * or ? that names no
    file for what it matches: Windows' command prompt leaves patterns to the program."""
    paths = []
    for argument in arguments:
        matches = []
        if not os.path.exists(argument) and ("*" in argument or "?" in argument):
            matches = in_name_order(glob.glob(argument))
        for path in matches or [argument]:
            if os.path.isdir(path):
                names = in_name_order(name for name in os.listdir(path)
                                      if name.lower().endswith(".txt") and not name.startswith("."))
                paths += [os.path.join(path, name) for name in names]
            else:
                paths.append(path)
    return paths


def read_entries(arguments):
    """Every run with its sidecar; every unusable file or sidecar named on standard error, then None."""
    paths = input_paths(arguments)
    names = column_names(paths)
    entries, sidecars, bad = [], {}, False
    for name, path in zip(names, paths):
        try:
            run = read_run(path)
        except ReportError as error:
            print("%s: %s: %s" % (PROG, path, error), file=sys.stderr)
            bad = True
            continue
        check_run(run)
        found = sidecar_path(path)
        if found is not None and found not in sidecars:
            try:
                sidecars[found] = read_sidecar(found)
            except ReportError as error:
                print("%s: %s" % (PROG, error), file=sys.stderr)
                sidecars[found] = None
                bad = True
        entries.append(Entry(name=name, path=path, run=run, sidecar=sidecars.get(found)))
    if not paths:
        print("%s: no *.TXT file in %s" % (PROG, ", ".join(arguments)), file=sys.stderr)
        bad = True
    return None if bad else entries


def bbcode(comparison, entries):
    """The plain table in a [code] block, as forums keep its columns, with what makes it checkable."""
    lines = sum(len(entry.run.report_lines) for entry in entries)
    disagree = [(entry, line) for entry in entries for line in entry.run.report_lines if not line.consistent]
    if disagree:
        verdict = "%d of %d report lines do not agree: %s" % (len(disagree), lines, ", ".join(
            "%s:%d" % (entry.name, line.line) for entry, line in disagree))
    else:
        verdict = "all %d report lines agree with their bytes and seconds" % lines
    files = ["  %s  %s" % (entry.run.sha256[:SHORT_SHA256], entry.path) for entry in entries]
    return "[code]\n%s\nFiles (short SHA-256):\n%s\nChecked: %s\n[/code]\n" % (
        plain_table(comparison), "\n".join(files), verdict)


def main(argv):
    """Does what the command line asks and returns the exit status; every unusable file is named on
    standard error before giving up, and then no output file is written."""
    args = parse_arguments(argv)
    entries = read_entries(args.files)
    if entries is None:
        return UNUSABLE
    try:
        comparison = compare(entries, args.baseline)
        outputs = []
        if args.csv:
            outputs.append((args.csv, csv_text(comparison).encode()))
        if args.json:
            outputs.append((args.json, json_text(comparison).encode()))
        if args.chart:
            outputs.append((args.chart, chart_bytes(comparison, args.chart[-3:].lower())))
        write_all(outputs)
    except ReportError as error:
        print("%s: %s" % (PROG, error), file=sys.stderr)
        return UNUSABLE

    status = AGREED
    for entry in entries:
        for line in entry.run.report_lines:
            if not line.consistent:
                status = DISAGREED
                print("%s: %s:%d: %s: %s" % (PROG, entry.path, line.line, line.label, line.problem), file=sys.stderr)
    for note in comparability_notes(comparison):
        print("%s: %s" % (PROG, note), file=sys.stderr)
    if args.markdown:
        sys.stdout.write(markdown_table(comparison))
    elif args.bbcode:
        sys.stdout.write(bbcode(comparison, entries))
    else:
        sys.stdout.write(plain_table(comparison))
    return status


def run_command(argv=None):
    """main over argv (the command line's arguments by default), and the exit status also when the reader
    of the table went away (| head): no traceback, and no second failure at exit."""
    # A console or file in a code page that lacks a character of a name or sidecar gets "?" for it, not a
    # traceback (Windows' ANSI code page when the table goes to a file).
    if isinstance(sys.stdout, io.TextIOWrapper):
        sys.stdout.reconfigure(errors="replace")
    try:
        status = main(sys.argv[1:] if argv is None else argv)
        sys.stdout.flush()
    except BrokenPipeError:
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        status = 1
    return status
