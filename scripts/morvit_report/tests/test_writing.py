import os
import tempfile
import unittest

from morvit_report.model import ReportError
from morvit_report.writing import write_all


class WritingTest(unittest.TestCase):
    def setUp(self):
        self.folder = self.enterContext(tempfile.TemporaryDirectory())

    def path(self, name):
        return os.path.join(self.folder, name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def test_one_unwritable_output_leaves_every_file_as_it_was(self):
        with open(self.path("old.csv"), "wb") as f:
            f.write(b"old")
        with self.assertRaises(ReportError) as raised:
            write_all([(self.path("old.csv"), b"new"), (self.path("missing/r.json"), b"{}")])
        message = self.path("missing/r.json") + ": cannot write: No such file or directory"
        self.assertEqual(str(raised.exception), message)
        self.assertEqual(self.read("old.csv"), b"old")
        self.assertEqual(os.listdir(self.folder), ["old.csv"])

    def test_a_link_is_written_through(self):
        os.symlink("target.csv", self.path("link.csv"))
        write_all([(self.path("link.csv"), b"new")])
        self.assertEqual(os.readlink(self.path("link.csv")), "target.csv")
        self.assertEqual(self.read("target.csv"), b"new")

    def test_a_new_file_gets_the_permissions_the_umask_leaves(self):
        umask = os.umask(0o027)
        self.addCleanup(os.umask, umask)
        write_all([(self.path("r.csv"), b"new")])
        self.assertEqual(os.stat(self.path("r.csv")).st_mode & 0o777, 0o640)


if __name__ == "__main__":
    unittest.main()
