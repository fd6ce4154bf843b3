import re
import unittest
from pathlib import Path

from morvit_report.model import ReportError
from morvit_report.sidecar import KEY_NAMES, parse_sidecar

# The release's template, as the user gets it before filling it in.
TEMPLATE = (Path(__file__).resolve().parents[3] / "docs" / "PC.INF").read_bytes()

ALLOWED = ("the keys allowed: Machine, CPU, MHz, Board, Chipset, RAM, Cache, Card, Chip, VRAM, Bus, FastWrites, "
           "Driver, DirectX, OS, Refresh, Notes")

# (name, bytes, values read): keys in any letter case, sizes written the one way; read in the encodings of saved
# runs (the others: test_reading).
READ = [
    ("CR LF, a section line, comments, keys in any case",
     b"[MORVIT]\r\n; the test PC\r\nmachine = K6-2\r\nMHZ=350\r\ncache=512kb\r\nCard=Voodoo3 | 2000\r\n",
     {"Machine": "K6-2", "MHz": "350", "Cache": "512 KB", "Card": "Voodoo3 | 2000"}),
    ("the release's template, every value left empty", TEMPLATE, {}),
    ("Notepad's UTF-8 with its byte-order mark", b"\xef\xbb\xbf[MORVIT]\r\nNotes=\xc3\x9cbertaktet\r\n",
     {"Notes": "\u00dcbertaktet"}),
]

# (name, text, message): each names the file and the line. (A number that is none: tests/report's trouble.)
REFUSED = [
    ("an unknown key", "Machine=K6-2\nSpeed=350\n", "PC.INF:2: unknown key 'Speed'; " + ALLOWED),
    ("a repeated key", "Machine=K6-2\nmachine=P2\n", "PC.INF:2: Machine given again (first on line 1); " + ALLOWED),
    ("a size without its unit", "RAM=64\n", "PC.INF:1: RAM must be a number with KB or MB, not '64'; " + ALLOWED),
    ("a line without =", "K6-2\n", "PC.INF:1: not Key=Value: 'K6-2'; " + ALLOWED),
]


class SidecarTest(unittest.TestCase):
    def test_read(self):
        for name, data, values in READ:
            with self.subTest(name):
                self.assertEqual(parse_sidecar("PC.INF", data).values, values)

    def test_refused(self):
        for name, text, message in REFUSED:
            with self.subTest(name):
                with self.assertRaises(ReportError) as raised:
                    parse_sidecar("PC.INF", text.encode())
                self.assertEqual(str(raised.exception), message)

    def test_the_template_has_every_key_once(self):
        self.assertEqual(re.findall(rb"^(\w+)=", TEMPLATE, re.MULTILINE), [key.encode() for key in KEY_NAMES])
