import json
import unittest

from morvit_report.checking import check_run
from morvit_report.exporting import csv_text, json_text
from morvit_report.reading import parse_run
from morvit_report.tests.samples import COMPLETE, up_to

RUN_KEYS = ["settings", "screen", "devices", "opened_device", "results", "warning", "report_lines", "ending"]
# The keys of every object of the JSON output of a complete run and a cut one, in order: its readers rely on them.
JSON_KEYS = [
    ("a file", [0], ["name", "path"] + RUN_KEYS),
    ("settings", [0, "settings"],
     ["info_only", "test_count", "read_count", "blt_to_sys_count", "wait_after_blit", "qword_routines"]),
    ("screen", [0, "screen"], ["width", "height", "bpp", "pitch", "address"]),
    ("a device", [0, "devices", 0], ["number", "name", "description", "guid"]),
    ("the opened device", [0, "opened_device"], ["guid", "number"]),
    ("a step's result", [0, "results", 0], ["line", "step", "result", "failed"]),
    ("the warning", [0, "warning"], ["line", "after"]),
    ("a report line", [0, "report_lines", 0], ["line", "label", "seconds", "bytes_per_second", "megabytes",
                                               "gigabytes", "passes", "bytes", "consistent", "problem"]),
    ("the ending", [0, "ending"], ["complete", "kind", "last_step", "result", "failure"]),
    ("a failure report", [1, "ending", "failure"], ["class", "module", "offset", "message", "line", "interrupted"]),
]

# Ended before the pitch, so the bytes are unknown; the megabytes of SysMem Write do not agree.
CUT = (up_to(COMPLETE, "SysMem Copy").replace("10690M", "10691M")
       + "Exception E in module m at 00000000.\nmessage\n")
CSV = """\
file,line,label,seconds,bytes_per_second,megabytes,gigabytes,passes,bytes,consistent
cut,19,SysMem Read,0.0006,12528548123,12529,13,30,,true
cut,21,SysMem Write,0.0007,10690423162,10691,11,30,,false
cut,22,SysMem Copy,0.0008,9648241206,9648,10,30,,true
"""


def at(document, path):
    for key in path:
        document = document[key]
    return document


def checked(text):
    run = parse_run(text)
    check_run(run)
    return run


class ExportingTest(unittest.TestCase):
    def test_json_keys(self):
        files = json.loads(json_text(["complete", "cut"], ["complete.txt", "cut.txt"],
                                     [checked(COMPLETE), checked(CUT)]))["files"]
        for name, path, keys in JSON_KEYS:
            with self.subTest(name):
                self.assertEqual(list(at(files, path)), keys)

    def test_csv(self):
        self.assertEqual(csv_text(["cut"], [checked(CUT)]), CSV)
