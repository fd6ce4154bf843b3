"""The scripts on a host that cannot execute 32-bit programs, seen on any host through MORVIT_HOST_32BIT=no: the
run command builds, writes the zip and stops before Wine with its own status; the Wine runner starts nothing; a
Win32 test that needs Wine is skipped with the status CTest counts as skipped."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
CANNOT = dict(os.environ, MORVIT_HOST_32BIT="no")
UNAVAILABLE = 69
WHY = ["this host cannot execute 32-bit x86 Linux programs, so Wine cannot start MORVIT.EXE here.",
       "  (MORVIT_HOST_32BIT=no forces this answer.)",
       "  How to see it: '/lib/ld-linux.so.2 --version' fails with \"Exec format error\"; the kernel log",
       "  (dmesg) says \"IA-32 emulation off\" when the kernel was booted with ia32_emulation=off, and WSL1",
       "  never runs 32-bit Linux programs."]
ELSEWHERE = "a Linux that runs 32-bit programs (WSL2, a kernel with IA-32 emulation on)."


def run(command):
    return subprocess.run(command, cwd=ROOT, env=CANNOT, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          timeout=600)


def explanation(name, what):
    lines = [name + ": " + WHY[0]] + WHY[1:] + ["  What to do: %s %s" % (what, ELSEWHERE)]
    return "".join(line + "\n" for line in lines)


class NoThirtyTwoBitHostTest(unittest.TestCase):
    def test_run_command_stops_before_wine(self):
        version = (ROOT / "build/win32/CMakeCache.txt").read_text()
        version = version.split("CMAKE_PROJECT_VERSION:STATIC=")[1].split("\n")[0]
        zip_path = "dist/morvit-%s.zip" % version
        done = run(["bash", "scripts/run.sh", "2", "1", "2"])
        what = ("copy build/win32/src/app/MORVIT.EXE, or the release zip %s (the exe, its guide and checksums), "
                "to a Windows PC and run it there; or use" % zip_path)
        self.assertEqual(done.returncode, UNAVAILABLE, "run.sh's exit status")
        self.assertEqual(done.stderr, explanation("run.sh", what), "run.sh's message")
        self.assertEqual(done.stdout, "", "run.sh's standard output: nothing ran")
        self.assertTrue((ROOT / zip_path).is_file(), "the zip run.sh names")

    def test_wine_runner_starts_nothing(self):
        with tempfile.TemporaryDirectory() as folder:
            prefix = Path(folder) / "prefix"
            done = run(["bash", "scripts/wine-run.sh", "--prefix", str(prefix), "MORVIT.EXE", "/?"])
            self.assertEqual(done.returncode, UNAVAILABLE, "wine-run.sh's exit status")
            self.assertEqual(done.stderr, explanation("wine-run.sh", "run MORVIT.EXE on a Windows PC, or use"),
                             "wine-run.sh's message")
            self.assertFalse(prefix.exists(), "wine-run.sh made no Wine prefix")

    def test_wine_test_skipped(self):
        done = run(["bash", "tests/tools/wine-test.sh", "false"])
        self.assertEqual(done.returncode, 77, "the wrapper's status, the tests' SKIP_RETURN_CODE")
        self.assertEqual(done.stdout, "Skipped: this host cannot execute 32-bit x86 programs, so Wine cannot run "
                         "(scripts/host32.sh)\n", "the reason CTest shows")


if __name__ == "__main__":
    unittest.main()
