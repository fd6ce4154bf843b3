import unittest

from morvit_report.reading import parse_run
from morvit_report.rendering import column_names, markdown_table, plain_table
from morvit_report.tests.samples import COMPLETE, up_to

ZERO_GUID = "{00000000-0000-0000-0000-000000000000}"
# /W alone, the listed device opened by its GUID in lower case, and the first, untimed blit failed.
BLIT_FAILED = (COMPLETE.replace("QWord Routines: TRUE", "QWord Routines: FALSE")
               .replace(ZERO_GUID, "{aeb2cdd4-6e41-43ea-941c-8361cc760781}")
               .replace("VideoMem To SysMem Blt (Secs, Bytes/s):       0.0114    671974800    672M   1G",
                        "VideoMem To SysMem Blt: 8876021Ch Still drawing."))
INFO_EARLY = (up_to(COMPLETE, "DirectDrawCreateEx").replace(
    "TestCount = 30\nWait after every blit: TRUE\nQWord Routines: TRUE\n\n", "")
              + "PrimarySurface: 8876017Ch No memory.\n")
# /Q alone, a device not in the listing, a failure report during a blit test.
CUT = (up_to(COMPLETE.replace(ZERO_GUID, "{12345678-0000-0000-0000-00000000ABCD}")
             .replace("Wait after every blit: TRUE", "Wait after every blit: FALSE"), "SysMem Copy")
       + "VideoMem To SysMem Blt (Secs, Bytes/s):     Exception Exception in module morvit at 000081EB.\n"
       + "Test Blt Fail [8876021Ch]")

PLAIN = """\
                           complete  blit_failed     info                                     cut
Screen                   320x200x32   320x200x32        -                              320x200x32
Pitch                          1280         1280        -                                       -
TestCount                        30           30        -                                      30
ReadCount                        30           30        -                                      30
BltToSysCount                    30           30        -                                      30
Switches                      /W /Q           /W       /I                                      /Q
Device                      default     Driver 1  default  {12345678-0000-0000-0000-00000000ABCD}

Rate (MB/s)
SysMem Read                 12528.5      12528.5        -                                 12528.5
SysMem Write                10690.4      10690.4        -                                 10690.4
SysMem Copy                  9648.2       9648.2        -                                  9648.2
VideoMem To SysMem Blt        672.0       failed        -                                       -
SysMem To VideoMem Blt        247.6        247.6        -                                       -
VideoMem Read               20617.4      20617.4        -                                       -
VideoMem Write              14774.9      14774.9        -                                       -
SysMem To VideoMem Copy     14712.6      14712.6        -                                       -
VideoMem To SysMem Copy     14760.7      14760.7        -                                       -

info: ended early at PrimarySurface: 8876017Ch No memory.
cut: failure report during VideoMem To SysMem Blt: Exception Exception in module morvit at 000081EB. Test Blt Fail \
[8876021Ch]
"""

MARKDOWN = """\
|  | info\\_early | cut |
|---|---:|---:|
| Screen | - | 320x200x32 |
| Pitch | - | - |
| TestCount | - | 30 |
| ReadCount | - | 30 |
| BltToSysCount | - | 30 |
| Switches | /I | /Q |
| Device | default | {12345678-0000-0000-0000-00000000ABCD} |
| **Rate (MB/s)** |  |  |
| SysMem Read | - | 12528.5 |
| SysMem Write | - | 10690.4 |
| SysMem Copy | - | 9648.2 |
| VideoMem To SysMem Blt | - | - |
| SysMem To VideoMem Blt | - | - |
| VideoMem Read | - | - |
| VideoMem Write | - | - |
| SysMem To VideoMem Copy | - | - |
| VideoMem To SysMem Copy | - | - |

- **info\\_early**: ended early at PrimarySurface: 8876017Ch No memory.
- **cut**: failure report during VideoMem To SysMem Blt: Exception Exception in module morvit at 000081EB. Test Blt \
Fail \\[8876021Ch\\]
"""

NAMES = [
    ("file names without folder and extension", ["a/plain.txt", "b/qword.out"], ["plain", "qword"]),
    ("a name seen before gets its count", ["a/run.txt", "b/run.txt", "run"], ["run", "run (2)", "run (3)"]),
]


class RenderingTest(unittest.TestCase):
    def test_plain_table(self):
        runs = [parse_run(text) for text in (COMPLETE, BLIT_FAILED, INFO_EARLY, CUT)]
        self.assertEqual(plain_table(["complete", "blit_failed", "info", "cut"], runs), PLAIN)

    def test_markdown_table(self):
        runs = [parse_run(text) for text in (INFO_EARLY, CUT)]
        self.assertEqual(markdown_table(["info_early", "cut"], runs), MARKDOWN)

    def test_column_names(self):
        for name, paths, expected in NAMES:
            with self.subTest(name):
                self.assertEqual(column_names(paths), expected)


if __name__ == "__main__":
    unittest.main()
