import errno
import os
import tempfile
import unittest
from pathlib import Path
from unittest import mock

from morvit_report.model import ReportError
from morvit_report.writing import write_all

# (name, what the first output's file held before, None for no file): the second rename fails.
SECOND_RENAME_FAILS = [("the first output replaced a file", b"old"), ("the first output was a new file", None)]


class WritingTest(unittest.TestCase):
    def setUp(self):
        self.folder = Path(self.enterContext(tempfile.TemporaryDirectory()))

    def test_one_unwritable_output_leaves_every_file_as_it_was(self):
        (self.folder / "old.csv").write_bytes(b"old")
        with self.assertRaises(ReportError) as raised:
            write_all([(self.folder / "old.csv", b"new"), (self.folder / "missing" / "r.json", b"{}")])
        message = "%s/missing/r.json: cannot write: No such file or directory" % self.folder
        self.assertEqual(str(raised.exception), message)
        self.assertEqual((self.folder / "old.csv").read_bytes(), b"old")
        self.assertEqual(os.listdir(self.folder), ["old.csv"])

    def test_a_link_is_written_through(self):
        (self.folder / "link.csv").symlink_to("target.csv")
        write_all([(self.folder / "link.csv", b"new")])
        self.assertEqual(os.readlink(self.folder / "link.csv"), "target.csv")
        self.assertEqual((self.folder / "target.csv").read_bytes(), b"new")

    def test_a_new_file_gets_the_permissions_the_umask_leaves(self):
        self.addCleanup(os.umask, os.umask(0o027))
        write_all([(self.folder / "r.csv", b"new")])
        self.assertEqual((self.folder / "r.csv").stat().st_mode & 0o777, 0o640)

    def test_a_failed_second_rename_leaves_the_first_output_as_it_was(self):
        real_replace = os.replace
        for name, old in SECOND_RENAME_FAILS:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                first = Path(folder, "r.csv")
                if old is not None:
                    first.write_bytes(old)
                renames = []

                def replace(source, target):
                    renames.append(target)
                    if len(renames) == 2:
                        raise OSError(errno.EACCES, "Permission denied")
                    real_replace(source, target)

                with mock.patch("morvit_report.writing.os.replace", replace), self.assertRaises(ReportError) as raised:
                    write_all([(first, b"new"), (Path(folder, "r.json"), b"{}")])
                self.assertEqual(str(raised.exception), "%s/r.json: cannot write: Permission denied" % folder)
                self.assertEqual(os.listdir(folder), [] if old is None else ["r.csv"])
                if old is not None:
                    self.assertEqual(first.read_bytes(), old)
