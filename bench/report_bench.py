"""How long the companion takes over many saved runs: 100 machines of 10 repeats each, made from the saved
real run by scaling its times consistently (every report line agrees with its bytes), one folder per machine
with its PC.INF. Times scripts/report over the first 10 machines (100 files) and over all (1,000 files),
each the best of three runs, without the chart. Not a test: the times belong to the machine.

    python3 bench/report_bench.py [--chart]
"""

import random
import re
import subprocess
import sys
import tempfile
import time
from fractions import Fraction
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "scripts"))
from morvit_report.checking import check_run, rounded_units  # noqa: E402 (the path above first)
from morvit_report.reading import parse_run  # noqa: E402

COMPLETE = (ROOT / "tests" / "report" / "fixtures" / "qword.txt").read_bytes().decode().replace("\r\n", "\n")
MACHINES, REPEATS, TRIES = 100, 10, 3
# 30000 passes: the saved run's times a thousand times over, as long as a real comparison's runs.
LONG = COMPLETE.replace("TestCount = 30", "TestCount = 30000")


def repeat(text, factor):
    """Another run of text whose every test took factor times as long (or its own factor, given a list):
    each report line's seconds scaled and printed with 4 decimals, its rate the bytes over them truncated,
    M and G rounded as the program does, and the short-time warning after the first line under 0.5 s."""
    run = parse_run(text)
    check_run(run)
    lines = text.split("\n")
    factors = factor if isinstance(factor, list) else [factor] * len(run.report_lines)
    for line, factor in zip(run.report_lines, factors):
        seconds = round(Fraction(line.seconds) * Fraction(factor), 4)
        rate = int(line.bytes / seconds)
        figures = ["%.4f" % seconds, str(rate), "%dM" % rounded_units(rate, 10 ** 6),
                   "%dG" % rounded_units(rate, 10 ** 9)]
        # Each field keeps its printed width, as the program pads it.
        fields = re.fullmatch(r"(.*?:)( +\S+)( +\S+)( +\S+)( +\S+)", lines[line.line - 1]).groups()
        lines[line.line - 1] = fields[0] + "".join(figure.rjust(len(field))
                                                   for figure, field in zip(figures, fields[1:]))
    warning = " ! Warning: Time less than 0.5 second, try to increase Test Surface Size or/and TestCount"
    lines = [text for text in lines if text != warning]
    for number, text in enumerate(lines):
        if re.search(r"\(Secs, Bytes/s\): +0\.[0-4]", text):
            lines.insert(number + 1, warning)
            break
    return "\n".join(lines)


def make_runs(folder):
    chance = random.Random(1)  # the same runs every time
    machines = []
    for machine in range(MACHINES):
        speed = chance.uniform(0.5, 2.0)
        path = folder / ("PC%03d" % machine)
        path.mkdir()
        (path / "PC.INF").write_text("Machine=PC%03d\r\nMHz=%d\r\nCache=512 KB\r\n" % (machine, 100 + machine))
        for number in range(1, REPEATS + 1):
            factors = [1000 * speed * chance.uniform(0.97, 1.06) for _ in range(9)]
            (path / ("RUN%d.TXT" % number)).write_bytes(repeat(LONG, factors).replace("\n", "\r\n").encode())
        machines.append(str(path))
    return machines


def best_time(arguments):
    best, output = None, None
    for _ in range(TRIES):
        start = time.perf_counter()
        done = subprocess.run([str(ROOT / "scripts" / "report")] + arguments, capture_output=True,
                              text=True)
        took = time.perf_counter() - start
        if done.returncode != 0:
            sys.exit("report failed (%d): %s" % (done.returncode, done.stderr[:500]))
        best = took if best is None else min(best, took)
        output = done.stdout
    return best, output


def main():
    chart = sys.argv[1:] == ["--chart"]
    with tempfile.TemporaryDirectory() as name:
        folder = Path(name)
        machines = make_runs(folder)
        for count in (10, MACHINES):
            arguments = machines[:count]
            if chart:
                arguments = ["--chart", str(folder / "chart.png")] + arguments
            took, table = best_time(arguments)
            lines = table.split("\n")
            print("%4d files, %3d columns: %.2f s (best of %d)%s; the table's first lines:"
                  % (count * REPEATS, count, took, TRIES, " with the chart" if chart else ""))
            rates = lines.index("Rate (MB/s)")
            print("\n".join(line[:110] for line in lines[:2] + lines[rates:rates + 3]))
            print()


if __name__ == "__main__":
    main()
