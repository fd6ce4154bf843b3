"""scripts/report run as its users run it: over the outputs the program gives, and its exit on each kind of
trouble. The package's own tests, beside it, cover the rest."""

import csv
import json
import re
import struct
import subprocess
import tempfile
import unittest
from pathlib import Path

import harness

HERE = Path(__file__).resolve().parent
REPORT = HERE.parent.parent / "scripts" / "report"
RUNS = HERE / "fixtures"
SAVED_PATH = RUNS / "qword.txt"  # a complete /Q /W run under Wine
SAVED_RUN = SAVED_PATH.read_bytes()
# The program against the double, (arguments, double's script): a complete run with three different counts, an /I
# run that ends early at a failed step, a failure report during a blit test.
DOUBLE_RUNS = {
    "counts": (["40", "20", "30", "/W"], "surface 256 256 2048 32\n"),  # half of each pitch lies beyond its row
    "early": (["/I"], "fail CreateSurface ddraw 1 8876017C\n"),
    "bltfail": (["3", "1", "2"], "surface 64 8 320 32\nfail Blt sysmem<primary 2 8876021C\n"),
}

# (name, input, its sidecar input.INF or None, more arguments, exit status, standard error, files written, the
# table's first line); {folder} is where they are, {saved} the saved run.
TROUBLE = [
    ("a line that does not agree", SAVED_RUN.replace(b"0.0310", b"0.0410"), None, ["--markdown"], 1,
     "morvit-report: {folder}/input.txt:24: SysMem To VideoMem Blt: 247579012 bytes/s, but 7680000 bytes (30 passes) "
     "in 0.0410 s give 187088915 to 187545787\n", ["r.csv"], "|  | input |"),
    ("an unusable file beside a usable one", b"Read me\r\n", None, ["{saved}"], 2,
     "morvit-report: {folder}/input.txt: not MORVIT output: line 1 is 'Read me', not 'DirectDraw 7 Version'\n", [], ""),
    ("an unusable sidecar", SAVED_RUN, b"Machine=K6-2\r\nMHz=fast\r\n", [], 2,
     "morvit-report: {folder}/input.INF:2: MHz must be a number, not 'fast'; the keys allowed: Machine, CPU, MHz, "
     "Board, Chipset, RAM, Cache, Card, Chip, VRAM, Bus, FastWrites, Driver, DirectX, OS, Refresh, Notes\n", [], ""),
    ("a baseline that is no column", SAVED_RUN, None, ["--baseline", "K6-2", "{saved}"], 2,
     "morvit-report: --baseline 'K6-2' is no column; the columns: qword, input\n", [], ""),
]


class ReportTest(unittest.TestCase):
    def report(self, *args, cwd=None):
        return subprocess.run([REPORT, *args], capture_output=True, text=True, cwd=cwd)

    def test_the_programs_outputs(self):
        folder = self.enterContext(tempfile.TemporaryDirectory())
        inputs = {"qword": SAVED_RUN}
        for name, (args, script) in DOUBLE_RUNS.items():
            inputs[name] = harness.run_double(args, script).stdout
        expected = []  # (file, line number, label) of every report line the program printed
        for name, data in inputs.items():
            Path(folder, name + ".txt").write_bytes(data)
            for number, line in enumerate(data.decode().split("\r\n"), 1):
                if re.match(r".+ \(Secs, Bytes/s\): +\d", line):
                    expected.append([name, str(number), line.partition(" (Secs")[0]])
        done = self.report("--csv", folder + "/r.csv", "--json", folder + "/r.json", "--chart", folder + "/c.png",
                           *[folder + "/" + name + ".txt" for name in inputs])
        # Nothing on standard error but the notes of the settings that differ, which end the table too.
        notes = [line for line in done.stdout.split("\n") if line.startswith("not alike: ")]
        self.assertEqual(done.stderr, "".join("morvit-report: %s\n" % note for note in notes))
        self.assertEqual([note.split()[2] for note in notes],
                         ["Screen", "Pitch", "TestCount", "ReadCount", "BltToSysCount", "Switches"])
        self.assertEqual(done.returncode, 0)
        self.assertEqual(done.stdout.split("\n")[0].split(), list(inputs))
        rows = list(csv.reader(Path(folder, "r.csv").read_text().splitlines()))
        self.assertEqual([row[:3] for row in rows[1:]], expected)
        files = json.loads(Path(folder, "r.json").read_text())["files"]
        lines = [[file["name"], str(line["line"]), line["label"]] for file in files for line in file["report_lines"]]
        self.assertEqual(lines, expected)
        png_header = struct.unpack(">8s8xII", Path(folder, "c.png").read_bytes()[:24])
        self.assertEqual(png_header, (b"\x89PNG\r\n\x1a\n", 1200, 800))

    def test_trouble(self):
        for name, data, sidecar, args, status, stderr, written, table in TROUBLE:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                Path(folder, "input.txt").write_bytes(data)
                if sidecar is not None:
                    Path(folder, "input.INF").write_bytes(sidecar)
                Path(folder, "out").mkdir()
                more = [arg.format(folder=folder, saved=SAVED_PATH) for arg in args]
                done = self.report("--csv", folder + "/out/r.csv", *more, folder + "/input.txt")
                self.assertEqual(done.returncode, status)
                self.assertEqual(done.stderr, stderr.format(folder=folder))
                self.assertEqual(sorted(path.name for path in Path(folder, "out").iterdir()), written)
                self.assertEqual(done.stdout.partition("\n")[0], table)

    def test_a_folder_of_repeats_for_a_forum(self):
        # Two complete runs and one cut short before its pitch line, given as a pattern, which Windows' command
        # prompt leaves to the program.
        done = self.report("--bbcode", "k6-2/RUN*.TXT", cwd=RUNS)
        self.assertEqual(done.returncode, 0)
        self.assertEqual(done.stderr, "")
        self.assertEqual(done.stdout, (RUNS / "k6-2.bbcode").read_text())


if __name__ == "__main__":
    unittest.main(verbosity=2)
