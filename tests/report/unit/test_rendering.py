import unittest
from pathlib import Path

from morvit_report.rendering import markdown_table, plain_table
from samples import COMPLETE, compared, up_to

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

    def test_four_runs_that_end_four_ways(self):
        runs = [("complete", COMPLETE, None), ("blit_failed", BLIT_FAILED, None), ("info", INFO_EARLY, None),
                ("cut", CUT, None)]
        self.assertEqual(plain_table(compared(runs)), (EXPECTED / "four-runs.txt").read_text())
