"""The rules of comparing runs, seen in whole outputs: the saved runs of tests/report/fixtures (each PC.INF says
what its runs are made to show) read and compared as the command does, against the table, CSV and JSON kept in
fixtures/."""

import os
import unittest
from pathlib import Path

from morvit_report.command import read_entries
from morvit_report.exporting import csv_text, json_text
from morvit_report.grouping import compare
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
                    self.assertEqual(text, (EXPECTED / (expected + "." + output)).read_text())
