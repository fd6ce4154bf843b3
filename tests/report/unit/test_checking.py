import unittest

from morvit_report.checking import line_problems, surface_bytes
from morvit_report.model import ReportLine

# (name, seconds, bytes/s, MB, GB, bytes of the 30 passes, what is wrong). 7680000 bytes in a time printed as
# 0.0006 s give 11815384615 to 13963636363 bytes/s.
FIGURES = [
    ("figures that agree", "0.0006", 12528548123, 12529, 13, 7680000, []),
    ("one byte/s over the range: the program's own rounding", "0.0006", 13963636364, 13964, 14, 7680000, []),
    ("two bytes/s over the range", "0.0006", 13963636365, 13964, 14, 7680000,
     ["13963636365 bytes/s, but 7680000 bytes (30 passes) in 0.0006 s give 11815384615 to 13963636363"]),
    ("two bytes/s under the range", "0.0006", 11815384613, 11815, 12, 7680000,
     ["11815384613 bytes/s, but 7680000 bytes (30 passes) in 0.0006 s give 11815384615 to 13963636363"]),
    ("a time printed as 0.0000 bounds the rate from below only", "0.0000", 671974800, 672, 1, 7680000,
     ["671974800 bytes/s, but 7680000 bytes (30 passes) in 0.0000 s give 153600000000 to any"]),
    ("a negative time", "-0.0006", 12528548123, 12529, 13, 7680000,
     ["12528548123 bytes/s, but 7680000 bytes (30 passes) in -0.0006 s give -13963636363 to -11815384615"]),
    ("bytes unknown: the units alone are checked", "9.9999", 5, 0, 0, None, []),
    ("megabytes round half up", "0.0006", 10690500000, 10690, 11, None,
     ["10690M, but 10690500000 bytes/s round to 10691M"]),
    ("gigabytes round half up", "0.0006", 20500000000, 20500, 20, None, ["20G, but 20500000000 bytes/s round to 21G"]),
    ("a negative rate's units are truncated", "0.0006", -1700000, -1, 0, None, []),
]

# The bytes of one pass: the surface in whole 4-byte words, counted in 32 bits. (Pitch times height: PASSES.)
SURFACES = [
    ("a partial word left out", 4097, 3, 12288),
    ("2 GiB wraps to negative", 65536, 32768, -2147483648),
    ("a negative pitch", -1280, 200, -256000),
]


class CheckingTest(unittest.TestCase):
    def test_figures(self):
        for name, seconds, rate, megabytes, gigabytes, total, problems in FIGURES:
            with self.subTest(name):
                line = ReportLine(line=19, label="SysMem Read", seconds=seconds, bytes_per_second=rate,
                                  megabytes=megabytes, gigabytes=gigabytes, passes=30, bytes=total)
                self.assertEqual(line_problems(line), problems)

    def test_surface_bytes(self):
        for name, pitch, height, expected in SURFACES:
            with self.subTest(name):
                self.assertEqual(surface_bytes(pitch, height), expected)
