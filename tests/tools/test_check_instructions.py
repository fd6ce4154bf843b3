"""The instruction census of the build (cmake/check_instructions.py) over small assembled functions: what a
486DX runs passes, each later instruction family fails with its name, data at the end of .text is skipped.
Needs MORVIT_CC (the Win32 C compiler) and MORVIT_OBJDUMP."""

import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

CENSUS = pathlib.Path(__file__).resolve().parents[2] / "cmake" / "check_instructions.py"

# (case, function name, instructions, the reason the census must give, or None when it must pass): what a
# 486DX runs, then a row for each way the census finds what it lacks (by mnemonic, by two-byte opcode, by
# register, undecodable bytes) and the data it skips.
CASES = [
    ("486 integer and x87 code", "_f", """
        bswap %eax
        xadd %ecx,(%edx)
        cmpxchg %ecx,(%edx)
        fildll (%esi)
        fistpll (%edi)
        rep movsl
     """, None),
    ("CMOV", "_f", "cmovne %edx,%eax", "CMOVcc (P6)"),
    ("FCOMIP", "_f", "fcomip %st(1),%st", "FCOMI/FUCOMI (P6)"),
    ("CMPXCHG8B", "_f", "cmpxchg8b (%esi)", "CMPXCHG8B (Pentium)"),
    ("RDTSC", "_f", "rdtsc", "0F 31 opcode (not on the 486)"),
    ("SSE register", "_f", "movd %eax,%xmm0", "MMX/SSE/AVX register"),
    ("CPUID, allowed nowhere", "_f", "cpuid", "CPUID (Pentium, some late 486s)"),
    ("CMOV bytes in the constructor list at the end of .text", "__CTOR_LIST__", ".byte 0x0f,0x44,0xc2", None),
    ("undecodable bytes in a function", "_f", ".byte 0xd6", "cannot be decoded"),
]


class CensusTest(unittest.TestCase):
    def census(self, function, body):
        with tempfile.TemporaryDirectory() as folder:
            source = pathlib.Path(folder, "f.s")
            image = pathlib.Path(folder, "f.o")
            source.write_text(".text\n.globl %s\n%s:\n%s\nret\n" % (function, function, body))
            subprocess.run([os.environ["MORVIT_CC"], "-c", str(source), "-o", str(image)], check=True)
            return subprocess.run([sys.executable, str(CENSUS), os.environ["MORVIT_OBJDUMP"], str(image)],
                                  capture_output=True, text=True)

    def test_cases(self):
        for case, function, body, reason in CASES:
            with self.subTest(case):
                result = self.census(function, body)
                if reason is None:
                    self.assertEqual(result.returncode, 0, result.stdout)
                    self.assertIn("0 instructions beyond the 486DX", result.stdout)
                else:
                    self.assertEqual(result.returncode, 1, result.stdout)
                    self.assertIn("(%s)" % reason, result.stdout)


if __name__ == "__main__":
    unittest.main()
