"""The companion as its users get it: the wheel built as the release builds it, installed by pip without an index
into a fresh virtual environment of each CPython at hand that it supports, and run there on saved runs, where it
must write what the command in the tree writes, byte for byte. MORVIT_VERSION is MORVIT's version."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
RUNS = HERE / "fixtures"
SCRIPTS = HERE.parent.parent / "scripts"
VERSION = os.environ["MORVIT_VERSION"]
# Two PCs' folders and a lone run against a baseline; every output but the chart, which needs the extra.
ARGUMENTS = ["--baseline", "K6-2", "k6-2", "p2-400", "qword.txt"]
NO_CHART = 'morvit-report: --chart needs matplotlib: pip install "morvit-report[chart]" (on Debian: apt install ' \
           'python3-matplotlib)\n'


def interpreters():
    """This Python, and every CPython from 3.8 on that pyenv holds, as the development machines and CI do."""
    found = [sys.executable]
    if shutil.which("pyenv"):
        root = subprocess.run(["pyenv", "root"], capture_output=True, text=True, check=True).stdout.strip()
        listed = subprocess.run(["pyenv", "versions", "--bare"], capture_output=True, text=True, check=True).stdout
        found += [os.path.join(root, "versions", version, "bin", "python3") for version in listed.split()
                  if re.fullmatch(r"3\.(8|9|1\d)\.\d+", version)]
    return found


def outputs(command, folder):
    """Exit status, standard output and error, CSV and JSON of command over ARGUMENTS, run from the saved runs."""
    csv, json = Path(folder, "r.csv"), Path(folder, "r.json")
    done = subprocess.run(command + ["--csv", csv, "--json", json] + ARGUMENTS, cwd=RUNS, capture_output=True)
    return [done.returncode, done.stdout, done.stderr, csv.read_bytes(), json.read_bytes()]


class WheelTest(unittest.TestCase):
    def test_the_installed_command_writes_what_the_tree_does(self):
        scratch = Path(self.enterContext(tempfile.TemporaryDirectory()))
        subprocess.run(["bash", SCRIPTS / "build-companion.sh", scratch], check=True)
        wheel = next(scratch.glob("morvit_report-*.whl"))
        expected = outputs([str(SCRIPTS / "report")], scratch)
        for number, python in enumerate(interpreters()):
            with self.subTest(python):
                venv = scratch / ("venv%d" % number)
                subprocess.run([python, "-m", "venv", venv], check=True)
                subprocess.run([venv / "bin" / "pip", "install", "--no-index", "--quiet", wheel], check=True)
                version = subprocess.run([venv / "bin" / "python", "-m", "morvit_report", "--version"],
                                         capture_output=True, text=True)
                self.assertEqual(version.stdout, "morvit-report %s\n" % VERSION)
                command = [str(venv / "bin" / "morvit-report")]
                self.assertEqual(outputs(command, scratch), expected)
                chart = subprocess.run(command + ["--chart", scratch / "c.png", RUNS / "qword.txt"],
                                       capture_output=True, text=True)
                self.assertEqual(chart.stderr, NO_CHART)


if __name__ == "__main__":
    unittest.main(verbosity=2)
