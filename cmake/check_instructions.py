"""Fails when a Win32 image holds an instruction that a 486DX lacks: the P6's CMOVcc, FCMOVcc and
FCOMI/FUCOMI(P), the Pentium's CMPXCHG8B, RDTSC and CPUID, RDRAND/RDSEED, SYSENTER/SYSCALL, the long NOP,
anything of MMX, 3DNow!, SSE or AVX (by opcode or by register), and any other two-byte opcode the 486 does
not decode. No exception is made, not even for a feature probe that would keep older processors away.
  check_instructions.py OBJDUMP IMAGE [PRODUCT]

IMAGE must have its symbol table: objdump then starts decoding afresh at every function, so data between
functions cannot shift what follows. PRODUCT, the stripped exe linked from the same objects, must hold the
same .text; on failure it is deleted (else IMAGE), so that the next build links it again rather than
taking it as up to date. GCC and the runtime's assembly keep no data inside
functions on x86 (jump tables and constants go to .rdata), so every byte of the code sections is decoded
as an instruction, padding included, and anything objdump cannot decode fails the check as well.
"""

import collections
import os
import re
import subprocess
import sys

PREFIXES = {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3}

# Second bytes of the two-byte opcodes a 486 decodes (0F 01, 0F A2 and 0F C7 are looked at apart).
# A0-BF less CPUID (A2), RSM (AA), the FXSAVE/fence group (AE), POPCNT (F3 B8), UD1 (B9).
OPCODES_0F_486 = (
    {0x00, 0x02, 0x03, 0x06, 0x08, 0x09, 0x0B, 0x20, 0x21, 0x22, 0x23, 0x24, 0x26}
    | set(range(0x80, 0xC0)) - {0xA2, 0xAA, 0xAE, 0xB8, 0xB9}
    | {0xC0, 0xC1}
    | set(range(0xC8, 0xD0))
)

VECTOR_REGISTER = re.compile(r"%(?:[xyz]?mm\d+|k[0-7]\b|bnd\d)")
# GNU ld's script for PE images ends .text with data: the constructor and destructor lists (the build moves
# the C++ exception tables that follow them to .rdata). objdump names them by these symbols.
DATA_SYMBOL = re.compile(r"^(?:_{1,3}[CD]TOR_LIST__|\.[cd]tors.*|_?etext)$")


def beyond_486(code, text):
    """Why an instruction (its bytes, objdump's text) needs more than a 486DX, or None."""
    if text.startswith(("(bad)", ".byte")):
        return "cannot be decoded"
    if VECTOR_REGISTER.search(text):
        return "MMX/SSE/AVX register"
    prefixes = set()
    while code and code[0] in PREFIXES:
        prefixes.add(code[0])
        code = code[1:]
    if len(code) < 2:
        return None
    op, second = code[0], code[1]
    if op in (0xC4, 0xC5, 0x62) and second >> 6 == 3:
        return "VEX or EVEX encoding"
    if 0xD8 <= op <= 0xDF:
        mod, reg = second >> 6, (second >> 3) & 7
        if mod == 3 and op in (0xDA, 0xDB) and reg <= 3:
            return "FCMOVcc (P6)"
        if mod == 3 and op in (0xDB, 0xDF) and reg in (5, 6):
            return "FCOMI/FUCOMI (P6)"
        if mod != 3 and op in (0xDB, 0xDD, 0xDF) and reg == 1:
            return "FISTTP (SSE3)"
        return None
    if op != 0x0F:
        return None
    if second == 0x01:
        modrm = code[2] if len(code) > 2 else 0
        return "0F 01 register form (not on the 486)" if modrm >> 6 == 3 else None
    if second == 0xA2:
        return "CPUID (Pentium, some late 486s)"
    if second == 0xC7:
        reg = (code[2] >> 3) & 7 if len(code) > 2 else 0
        return {6: "RDRAND", 7: "RDSEED"}.get(reg, "CMPXCHG8B (Pentium)")
    if 0x40 <= second <= 0x4F:
        return "CMOVcc (P6)"
    if second in (0xBC, 0xBD) and 0xF3 in prefixes:
        return "TZCNT/LZCNT"
    if second in OPCODES_0F_486:
        return None
    return "0F %02X opcode (not on the 486)" % second


def census(lines):
    """Yields (function, address, text, reason) for each instruction beyond the 486."""
    function, data = "?", False
    for line in lines:
        header = re.match(r"^[0-9a-f]+ <(.+)>:$", line)
        if header:
            function = header.group(1)
            data = DATA_SYMBOL.match(function) is not None
            continue
        insn = re.match(r"^\s+([0-9a-f]+):\t((?:[0-9a-f]{2} )+)\s*\t?(.*)$", line)
        if not insn or data:
            continue
        address, text = insn.group(1), insn.group(3).strip()
        code = [int(byte, 16) for byte in insn.group(2).split()]
        reason = beyond_486(code, text)
        if reason is not None:
            yield function, address, text, reason


def code_of(objdump, image):
    """The bytes of an image's .text section, with their addresses, as objdump shows them."""
    dump = subprocess.run([objdump, "-s", "-j", ".text", image], check=True, capture_output=True, text=True).stdout
    return dump.partition("Contents of section .text:")[2]


def main():
    objdump, image = sys.argv[1:3]
    product = sys.argv[3] if len(sys.argv) > 3 else image
    if product != image and code_of(objdump, product) != code_of(objdump, image):
        print("FAIL %s and %s do not hold the same code" % (image, product))
        os.remove(product)
        return 1
    dump = subprocess.run([objdump, "-d", "--insn-width=16", image], check=True, capture_output=True,
                          text=True).stdout
    if not re.search(r"^[0-9a-f]+ <.+>:$", dump, re.M):
        print("FAIL %s: no symbols to find the functions by" % image)
        os.remove(product)
        return 1
    findings = list(census(dump.splitlines()))
    for function, address, text, reason in findings[:40]:
        print("FAIL %s %s: %s (%s)" % (address, function, text, reason))
    by_reason = collections.Counter(reason for _, _, _, reason in findings)
    print("%d instructions beyond the 486DX%s" % (
        len(findings), "".join(", %s %d" % item for item in sorted(by_reason.items()))))
    if findings:
        os.remove(product)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
