import json
import unittest
from pathlib import Path

REFERENCE = Path(__file__).resolve().parents[3] / "docs" / "REPORT.md"
LISTING = "JSON keys (each path, and the keys of every object there, in order):\n\n"
KEYS_COLUMN = 30  # where the keys begin on the reference's lines, after the path
# What the saved runs give, as test_comparing holds it, with every kind of object: a sidecar, a failure report,
# groups, columns that are not alike.
WRITTEN = [Path(__file__).resolve().parent / "fixtures" / name for name in ("two-pcs.json", "settings.json")]


def listed_keys():
    """{path: keys} as the reference lists them; a line without a path continues the one before."""
    block = REFERENCE.read_text().split(LISTING)[1].split("\n\n")[0]
    listed, path = {}, None
    for line in block.split("\n"):
        if line[:KEYS_COLUMN].strip():
            path = line[:KEYS_COLUMN].strip()
            listed[path] = []
        listed[path] += [key.strip() for key in line[KEYS_COLUMN:].split(",") if key.strip()]
    return listed


def written_keys(document, path=".", found=None):
    """{path: [keys]} of every object in the document; every object at one path must have the same keys."""
    found = {} if found is None else found
    if isinstance(document, dict):
        found.setdefault(path, set()).add(tuple(document))
        for key, value in document.items():
            written_keys(value, key if path == "." else path + "." + key, found)
    elif isinstance(document, list):
        for value in document:
            written_keys(value, path + "[]", found)
    return found


class ExportingTest(unittest.TestCase):
    def test_the_json_keys_are_the_ones_the_reference_lists(self):
        written = {}
        for path in WRITTEN:
            written_keys(json.loads(path.read_text()), found=written)
        listed = listed_keys()
        self.assertEqual(sorted(written), sorted(listed))
        for path, keys in listed.items():
            with self.subTest(path):
                self.assertEqual(written.get(path), {tuple(keys)})
