"""The command line: reads every run, checks it, writes the files asked for, prints the table."""

import argparse
import os
import sys

from .chart import chart_bytes
from .checking import check_run
from .exporting import csv_text, json_text
from .model import ReportError
from .reading import read_run
from .rendering import column_names, markdown_table, plain_table
from .writing import write_all

# Exit statuses.
AGREED, DISAGREED, UNUSABLE = 0, 1, 2


def chart_path(text):
    if not text.lower().endswith((".png", ".svg")):
        raise argparse.ArgumentTypeError("the chart's file name must end in .png or .svg: %r" % text)
    return text


def parse_arguments(argv):
    parser = argparse.ArgumentParser(prog="report", description="Compares saved MORVIT runs.")
    parser.add_argument("--csv", metavar="PATH", help="write every report line as CSV")
    parser.add_argument("--json", metavar="PATH", help="write everything read from the runs as JSON")
    parser.add_argument("--chart", metavar="PATH.png|PATH.svg", type=chart_path,
                        help="write a bar chart of the rates, PNG or SVG by the extension")
    parser.add_argument("--markdown", action="store_true", help="print the table as Markdown")
    parser.add_argument("files", nargs="+", metavar="FILE", help="a saved MORVIT output")
    return parser.parse_args(argv)


def main(argv):
    """Does what the command line asks and returns the exit status; every unusable file is named on
    standard error before giving up, and then no output file is written."""
    args = parse_arguments(argv)
    runs, bad = [], False
    for path in args.files:
        try:
            run = read_run(path)
        except ReportError as error:
            print("report: %s: %s" % (path, error), file=sys.stderr)
            bad = True
            continue
        check_run(run)
        runs.append(run)
    if bad:
        return UNUSABLE

    names = column_names(args.files)
    try:
        outputs = []
        if args.csv:
            outputs.append((args.csv, csv_text(names, runs).encode()))
        if args.json:
            outputs.append((args.json, json_text(names, args.files, runs).encode()))
        if args.chart:
            outputs.append((args.chart, chart_bytes(names, runs, args.chart[-3:].lower())))
        write_all(outputs)
    except ReportError as error:
        print("report: %s" % error, file=sys.stderr)
        return UNUSABLE

    status = AGREED
    for path, run in zip(args.files, runs):
        for line in run.report_lines:
            if not line.consistent:
                status = DISAGREED
                print("report: %s:%d: %s: %s" % (path, line.line, line.label, line.problem), file=sys.stderr)
    sys.stdout.write(markdown_table(names, runs) if args.markdown else plain_table(names, runs))
    return status


def run_command(argv):
    """main, and the exit status also when the reader of the table went away (| head): no traceback, and
    no second failure at exit."""
    try:
        status = main(argv)
        sys.stdout.flush()
    except BrokenPipeError:
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        status = 1
    return status
