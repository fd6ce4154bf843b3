"""Reads the version resource back from MORVIT.EXE, decompiled from the PE file's resource directory by
windres, and checks it against the project version: what Explorer's Properties page shows.
  version_resource.py WINDRES MORVIT.EXE VERSION"""

import re
import subprocess
import sys
import unittest


class VersionResource(unittest.TestCase):
    windres = exe = version = None

    @classmethod
    def setUpClass(cls):
        command = [cls.windres, "-i", cls.exe, "-O", "rc"]
        cls.text = subprocess.run(command, check=True, capture_output=True, text=True).stdout

    def field(self, name):
        match = re.search(r"^ %s (.+)$" % name, self.text, re.M)
        self.assertIsNotNone(match, name + " is missing")
        return match.group(1)

    def test_fixed_part(self):
        numbers = ", ".join(self.version.split(".") + ["0"])
        # Windows 95 and 98 read the OS as VOS__WINDOWS32 (4); the type is an application (1).
        rows = {"FILEVERSION": numbers, "PRODUCTVERSION": numbers, "FILEOS": "0x4", "FILETYPE": "0x1"}
        for name, expected in rows.items():
            self.assertEqual(self.field(name), expected, name)

    def test_strings(self):
        strings = dict(re.findall(r'^\s+VALUE "(\w+)", "(.*)"$', self.text, re.M))
        rows = {"FileVersion": self.version, "ProductVersion": self.version,
                "OriginalFilename": "MORVIT.EXE", "ProductName": "MORVIT"}
        for name, expected in rows.items():
            self.assertEqual(strings.get(name), expected, name)
        for name in ("FileDescription", "LegalCopyright"):
            self.assertTrue(strings.get(name), name + " is empty")
        for name, text in strings.items():
            self.assertTrue(text.isascii(), name + " is not ASCII")

    def test_translation_names_the_string_table(self):
        tables = re.findall(r'BLOCK "([0-9A-F]{8})"', self.text)
        self.assertEqual(len(tables), 1, "string tables")
        language, code_page = re.search(r'VALUE "Translation", (\w+), (\d+)', self.text).groups()
        self.assertEqual(tables[0], "%04X%04X" % (int(language, 0), int(code_page)))


if __name__ == "__main__":
    VersionResource.windres, VersionResource.exe, VersionResource.version = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
