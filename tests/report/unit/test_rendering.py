import unittest
from pathlib import Path

from morvit_report.rendering import column_names, markdown_table, plain_table
from samples import COMPLETE, compared, repeat, up_to

ZERO_GUID = "{00000000-0000-0000-0000-000000000000}"
# /W alone, the listed device opened by its GUID in lower case, and the first, untimed blit failed.
BLIT_FAILED = (COMPLETE.replace("QWord Routines: TRUE", "QWord Routines: FALSE")
               .replace(ZERO_GUID, "{aeb2cdd4-6e41-43ea-941c-8361cc760781}")
               .replace("VideoMem To SysMem Blt (Secs, Bytes/s):       0.0114    671974800    672M   1G",
                        "VideoMem To SysMem Blt: 8876021Ch Still drawing."))
SETTINGS_ECHO = "TestCount = 30\nWait after every blit: TRUE\nQWord Routines: TRUE\n\n"
# An /I run, which echoes no settings, ended early at a failed step.
INFO_EARLY = up_to(COMPLETE, "DirectDrawCreateEx").replace(SETTINGS_ECHO, "") + "PrimarySurface: 8876017Ch No memory.\n"
# /Q alone, a device not in the listing, a failure report during a blit test.
CUT = (up_to(COMPLETE.replace(ZERO_GUID, "{12345678-0000-0000-0000-00000000ABCD}")
             .replace("Wait after every blit: TRUE", "Wait after every blit: FALSE"), "SysMem Copy")
       + "VideoMem To SysMem Blt (Secs, Bytes/s):     Exception Exception in module morvit at 000081EB.\n"
       + "Test Blt Fail [8876021Ch]")

# The whole tables these runs give.
EXPECTED = Path(__file__).resolve().parent / "fixtures"

NO_SWITCHES = (COMPLETE.replace("Wait after every blit: TRUE", "Wait after every blit: FALSE")
               .replace("QWord Routines: TRUE", "QWord Routines: FALSE"))

NAMES = [
    ("file names without folder and extension", ["a/plain.txt", "b/qword.out"], ["plain", "qword"]),
    ("a name seen before gets its count", ["a/run.txt", "b/run.txt", "run"], ["run", "run (2)", "run (3)"]),
]


class RenderingTest(unittest.TestCase):
    def test_markdown_table(self):
        expected = (EXPECTED / "two-runs.md").read_text()
        self.assertEqual(markdown_table(compared([("info_early", INFO_EARLY, None), ("cut", CUT, None)])), expected)

    def test_a_bar_in_a_markdown_cell_is_escaped(self):
        # Unescaped, it would end the cell. (The names row's escapes: two-runs.md.)
        table = markdown_table(compared([("pipe", COMPLETE, "Card=Voodoo3 | 2000")]))
        self.assertIn("| Card | Voodoo3 \\| 2000 |", table.split("\n"), "a sidecar's value")
        table = markdown_table(compared([("a", COMPLETE, "Machine=K6|2"), ("b", COMPLETE, None)], "K6|2"))
        self.assertIn("| **Rate (MB/s); change from K6\\|2** |  |  |", table.split("\n"), "the baseline's name")

    def test_a_run_without_switches_beside_one_with_them_is_noted(self):
        table = plain_table(compared([("plain", NO_SWITCHES, None), ("qword", COMPLETE, None)]))
        self.assertIn("not alike: Switches none in plain; /W /Q in qword", table.split("\n"))

    def test_tables(self):
        for name, runs, baseline, file in TABLES:
            with self.subTest(name):
                self.assertEqual(plain_table(compared(runs, baseline)), (EXPECTED / file).read_text())

    def test_column_names(self):
        for name, paths, expected in NAMES:
            with self.subTest(name):
                self.assertEqual(column_names(paths), expected)


# Runs of 30000 passes each: the saved run's times a thousand times over, each repeat with its own factors.
LONG = COMPLETE.replace("TestCount = 30", "TestCount = 30000")
K6 = "Machine=K6-2\nCPU=AMD K6-2\nMHz=350\nCache=512 KB\nCard=Voodoo3 2000\nBus=AGP 2x\n"
P2 = "Machine=P2-400\nCPU=Pentium II\nMHz=400\nCache=64 KB\nCard=Voodoo3 2000\nBus=AGP 2x\n"
K6_RUNS = [("RUN%d" % i, repeat(LONG, [1000 * f for f in factors]), K6) for i, factors in enumerate([
    [1.00, 1.00, 1.00, 1.00, 1.00, 1.00, 1.00, 1.00, 1.00],
    [1.02, 1.01, 1.03, 1.00, 1.01, 1.10, 1.02, 1.01, 1.00],
    [1.01, 1.02, 1.01, 1.01, 1.02, 1.00, 1.01, 1.03, 1.02]], 1)]
P2_RUNS = [("RUN%d" % i, repeat(LONG, [1000 * f for f in factors]), P2) for i, factors in enumerate([
    [0.80, 0.95, 1.02, 0.70, 1.00, 1.05, 1.00, 1.00, 0.90],
    [0.81, 0.96, 1.03, 0.71, 1.01, 1.06, 1.01, 1.01, 0.91],
    [0.80, 0.97, 1.04, 0.72, 1.02, 1.07, 1.02, 1.02, 0.92]], 1)]
NO_QWORD = LONG.replace("QWord Routines: TRUE", "QWord Routines: FALSE")

# (name, runs, baseline, the file of the whole table).
TABLES = [
    ("four runs that end four ways", [("complete", COMPLETE, None), ("blit_failed", BLIT_FAILED, None),
                                      ("info", INFO_EARLY, None), ("cut", CUT, None)], None, "four-runs.txt"),
    ("two PCs of three runs against a baseline", K6_RUNS + P2_RUNS, "K6-2", "two-pcs.txt"),
    ("a machine in two settings, one run of them alone, a run without sidecar",
     K6_RUNS[:2] + [("RUN3", repeat(NO_QWORD, 1000), K6), ("lone", COMPLETE, None)], "K6-2 /W", "settings.txt"),
]
