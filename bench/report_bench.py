"""How long the companion takes over many saved runs: 100 machines of 10 repeats each, made from the saved
real run by scaling its times consistently (every report line agrees with its bytes), one folder per machine
with its PC.INF. Times scripts/report over the first 10 machines (100 files) and over all (1,000 files),
each the best of three runs, without the chart. Not a test: the times belong to the machine.

    python3 bench/report_bench.py [--chart]
"""

import random
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path[:0] = [str(ROOT / "scripts"), str(ROOT / "tests" / "report" / "unit")]
from samples import COMPLETE, repeat  # noqa: E402 (the paths above first)

MACHINES, REPEATS, TRIES = 100, 10, 3
# 30000 passes: the saved run's times a thousand times over, as long as a real comparison's runs.
LONG = COMPLETE.replace("TestCount = 30", "TestCount = 30000")


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
