"""scripts/report over a saved complete /Q /W run under Wine, and over an early end of an /I run and a failed blit
that the program gives against the double, run as the end-to-end tests run it."""

import csv, json, re, struct, subprocess, tempfile, unittest, xml.etree.ElementTree
from pathlib import Path

import test_runs

HERE, RAN = Path(__file__).resolve().parent, Path(tempfile.mkdtemp())
for name, args, script in (("early", ["/I"], "fail 4 8876017C\n"), ("bltfail", ["3", "1", "2"], "surface 64 8 320 32\nfail 12 8876021C\n")):
    (RAN / (name + ".txt")).write_bytes(test_runs.run_double(args, script).stdout)
# name: TestCount, ReadCount, BltToSysCount, /W, /Q, bytes of one pass (None: no pitch printed), ending, last step
RUNS = {"qword": (30, 30, 30, True, True, 256000, "complete", "Primary.UnLock"),
        "early": (None, None, None, None, None, None, "early_end", "PrimarySurface"),
        "bltfail": (3, 1, 2, False, False, None, "failure_report", "VideoMem To SysMem Blt")}
COUNT_OF = {"VideoMem Read": 1, "VideoMem To SysMem Copy": 1, "VideoMem To SysMem Blt": 2}  # else TestCount
FILES = {name: (HERE / "fixtures" if name == "qword" else RAN) / (name + ".txt") for name in RUNS}
CSV_HEAD = "file line label seconds bytes_per_second megabytes gigabytes passes bytes consistent".split()
SETTINGS = "test_count read_count blt_to_sys_count wait_after_blit qword_routines info_only".split()


class ReportTest(unittest.TestCase):
    def report(self, *args):
        return subprocess.run([HERE.parent.parent / "scripts/report", *args], capture_output=True, text=True)

    def expected_lines(self, name):
        """[file, line, label, seconds, rate, MB, GB, passes, bytes, consistent] of every report line of a run."""
        lines = enumerate(FILES[name].read_bytes().decode().split("\r\n"), 1)
        found = [(n, re.fullmatch(r"(.+?) \(Secs, Bytes/s\): +(\S+) +(\S+) +(\S+)M +(\S+)G", s)) for n, s in lines]
        run, rows = RUNS[name], [(n, m.groups(), RUNS[name][COUNT_OF.get(m[1], 0)]) for n, m in found if m]
        return [[name, n, *figures, passes, run[5] and run[5] * passes, True] for n, figures, passes in rows]

    def test_outputs_from_crlf_and_lf_files(self):
        csv_rows = [CSV_HEAD] + [["" if v is None else "true" if v is True else str(v) for v in row]
                                 for name in RUNS for row in self.expected_lines(name)]
        out = Path(self.enterContext(tempfile.TemporaryDirectory()))
        lf = [out / path.name for path in FILES.values()]
        for path, copy in zip(FILES.values(), lf):
            copy.write_bytes(path.read_bytes().replace(b"\r\n", b"\n"))
        for args, chart in (([*FILES.values()], "c.png"), (["--markdown", *lf], "c.svg")):
            done = self.report("--csv", out / "r.csv", "--json", out / "r.json", "--chart", out / chart, *args)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(list(csv.reader((out / "r.csv").read_text().splitlines())), csv_rows)
            self.check_json(json.loads((out / "r.json").read_text())["files"])
            self.check_table(done.stdout, r"^\| | \| | \|$" if args[0] == "--markdown" else r"  +")
        self.assertEqual(struct.unpack(">8s8xII", (out / "c.png").read_bytes()[:24]), (b"\x89PNG\r\n\x1a\n", 1200, 800))
        self.assertEqual(xml.etree.ElementTree.parse(out / "c.svg").getroot().tag, "{http://www.w3.org/2000/svg}svg")

    def check_json(self, files):
        for entry in files:
            name, run, ending, failure = entry["name"], RUNS[entry["name"]], entry["ending"], entry["ending"]["failure"]
            self.assertEqual(entry["settings"], dict(zip(SETTINGS, (*run[:5], run[0] is None))))
            self.assertEqual([[name] + [line[key] for key in CSV_HEAD[1:]] for line in entry["report_lines"]],
                             [[*r[:3], float(r[3]), *map(int, r[4:7]), *r[7:]] for r in self.expected_lines(name)])
            self.assertEqual((ending["kind"], ending["last_step"], failure and failure["message"]),
                             (*run[6:], failure and FILES[name].read_bytes().decode().split("\n")[-2].rstrip("\r")))

    def check_table(self, output, separator):
        rates = {name: {row[2]: "%.1f" % (int(row[4]) / 1e6) for row in self.expected_lines(name)} for name in RUNS}
        lines = [[cell for cell in re.split(separator, line) if cell] for line in output.splitlines()]
        self.assertEqual([line for line in lines if line and line[0] in rates["qword"]],
                         [[label] + [rates[name].get(label, "-") for name in RUNS] for label in rates["qword"]])
        self.assertEqual(re.findall(r"^\W*(\w+)\W*: (?:ended early at|failure report during) (.*?):", output, re.M),
                         [("early", "PrimarySurface"), ("bltfail", "VideoMem To SysMem Blt")])

    def test_tampered_lines_are_named(self):
        for old, new, flagged in [(b"0.0310", b"0.0410", [24]), (b"10690M", b"10691M", [21]),
                                  (b"20617M  21G", b"20617M  20G", [28]), (b"Pitch: 1280", b"Pitch: 1300", [23, 24])]:
            with self.subTest(new), tempfile.TemporaryDirectory() as folder:
                Path(folder, "qword.txt").write_bytes(FILES["qword"].read_bytes().replace(old, new))
                done = self.report("--csv", folder + "/r.csv", folder + "/qword.txt")
                rows = list(csv.reader(Path(folder, "r.csv").read_text().splitlines()))
            self.assertEqual(done.returncode, 1)
            self.assertEqual(re.findall(r"^report: (.*):(\d+): .*$", done.stderr, re.M),
                             [(folder + "/qword.txt", str(n)) for n in flagged])
            self.assertEqual([int(row[1]) for row in rows if row[9] == "false"], flagged)

    def test_bad_input_writes_nothing(self):
        cases = {"missing": None, "folder": "dir", "empty": b"", "binary": b"\x7fELF\1\0", "notes": b"Read me\r\n"}
        folder = self.enterContext(tempfile.TemporaryDirectory())
        (out := Path(folder, "out")).mkdir()
        for name, content in cases.items():
            path = Path(folder, name)
            path.mkdir() if content == "dir" else content is None or path.write_bytes(content)
            done = self.report("--csv", out / "a", "--json", out / "b", "--chart", out / "c.png", FILES["qword"], path)
            self.assertRegex("%d %s" % (done.returncode, done.stderr),
                             r"\A2 report: %s: [^\n]+\n\Z" % re.escape(str(path)))
            self.assertEqual(list(out.iterdir()), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
