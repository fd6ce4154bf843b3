"""The rules of comparing runs, seen in whole outputs: the saved runs of tests/report/fixtures (each PC.INF says
what its runs are made to show) read and compared as the command does, against the table, CSV and JSON kept in
fixtures/, and the chart drawn from them."""

import json
import os
import unittest
from pathlib import Path

from matplotlib.container import BarContainer
from morvit_report.chart import chart_figure
from morvit_report.command import read_entries
from morvit_report.exporting import csv_text, json_text
from morvit_report.grouping import compare
from morvit_report.model import TEST_LABELS
from morvit_report.rendering import plain_table

RUNS = Path(__file__).resolve().parents[1] / "fixtures"
EXPECTED = Path(__file__).resolve().parent / "fixtures"

# (name, the files and folders as given, baseline, the name of the expected outputs).
COMPARISONS = [
    ("two PCs of three runs, one cut short before its pitch, and a lone run, against a baseline",
     ["k6-2", "p2-400", "qword.txt"], "K6-2", "two-pcs"),
    ("one PC in four settings, and a run cut short before its screen, which two of them could hold",
     ["k6-2", "variants"], None, "settings"),
]


class ComparingTest(unittest.TestCase):
    def setUp(self):
        # Paths as the user gives them, relative: the CSV and JSON repeat them.
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(RUNS)

    def test_outputs(self):
        for name, arguments, baseline, expected in COMPARISONS:
            comparison = compare(read_entries(arguments), baseline)
            for output, text in (("txt", plain_table(comparison)), ("csv", csv_text(comparison)),
                                 ("json", json_text(comparison))):
                with self.subTest(name, output=output):
                    # By lines, so that a failure names the first line that differs.
                    self.assertEqual(text.split("\n"), (EXPECTED / (expected + "." + output)).read_text().split("\n"))

    def test_the_chart_draws_each_columns_median_and_range(self):
        figure = chart_figure(compare(read_entries(["k6-2", "p2-400", "qword.txt"]), "K6-2"))
        axes = figure.axes[0]
        self.assertEqual(tuple(figure.get_size_inches() * figure.dpi), (1200, 800))
        self.assertEqual(axes.get_xscale(), "log")
        self.assertEqual([label.get_text() for label in axes.get_yticklabels()], TEST_LABELS)
        columns = [container for container in axes.containers if isinstance(container, BarContainer)]
        self.assertEqual(len(columns), 4)
        # The JSON's medians and ranges in MB/s, a bar at each test with a figure: a range for a group of runs only.
        groups = json.loads((EXPECTED / "two-pcs.json").read_text())["groups"]
        for group, bars in zip(groups, columns):
            with self.subTest(group["name"]):
                tests = group["tests"]
                drawn = [number for number, test in enumerate(tests) if test["n"]]
                self.assertEqual([round(bar.get_y() + bar.get_height() / 2) for bar in bars], drawn)
                self.assertEqual([bar.get_width() for bar in bars], [tests[k]["median"] / 1e6 for k in drawn])
                ranges = None
                if len(group["files"]) > 1:
                    ranges = [[tests[k]["min"] / 1e6, tests[k]["max"] / 1e6] for k in drawn]
                self.assertEqual(error_bars(bars), ranges)


def error_bars(bars):
    """The low and high end in MB/s of each bar's error bar; None where the bars have none."""
    if bars.errorbar is None:
        return None
    return [[round(x, 6) for x, _ in segment] for segment in bars.errorbar.lines[2][0].get_segments()]
