"""RUNS.BAT of the release under Wine's cmd, beside a copy of MORVIT.EXE: each run saved whole in its own file.
Needs the Win32 build (MORVIT_EXE, MORVIT_RUNNER)."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent.parent / "scripts"))
from morvit_report.checking import check_run  # noqa: E402 (the path above first)
from morvit_report.reading import read_run  # noqa: E402

BATCH = HERE.parent.parent / "docs" / "RUNS.BAT"
RUNNER = [part for part in os.environ["MORVIT_RUNNER"].split("|") if part]


class RunsBatTest(unittest.TestCase):
    def test_three_runs_with_three_counts(self):
        with tempfile.TemporaryDirectory() as folder:
            shutil.copy(os.environ["MORVIT_EXE"], Path(folder, "MORVIT.EXE"))
            # As the release ships it, with CR LF line ends.
            Path(folder, "RUNS.BAT").write_bytes(BATCH.read_bytes().replace(b"\n", b"\r\n"))
            done = subprocess.run(RUNNER + ["cmd", "/c", "RUNS.BAT", "3", "10", "2", "5"], cwd=folder,
                                  stdin=subprocess.DEVNULL, capture_output=True, timeout=600)
            self.assertEqual(done.returncode, 0, done.stderr)
            written = sorted(path.name for path in Path(folder).glob("RUN*.TXT"))
            self.assertEqual(written, ["RUN1.TXT", "RUN2.TXT", "RUN3.TXT"])
            for file in written:
                run = read_run(Path(folder, file))
                check_run(run)
                # TestCount, ReadCount, BltToSysCount, /W, /Q
                got = (run.settings.test_count, run.settings.read_count, run.settings.blt_to_sys_count,
                       run.settings.wait_after_blit, run.settings.qword_routines)
                self.assertEqual(run.ending.kind, "complete", file)
                self.assertEqual(got, (10, 2, 5, False, False), file)
                self.assertEqual(len(run.report_lines), 9, file)
                self.assertTrue(all(line.consistent for line in run.report_lines), file)


if __name__ == "__main__":
    unittest.main(verbosity=2)
