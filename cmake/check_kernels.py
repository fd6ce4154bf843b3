"""The build fails unless each transfer kernel in the object built from MorvitUtl.cpp is its fixed instruction
pattern, and each loop lies in one 64-byte block of code. A compiler that made a kernel a library call, a vector
or unrolled loop, or added work per element, would change what the program measures and no result.
  check_kernels.py OBJDUMP PROGRAM OBJECT... (the library's objects, as arguments or one ';'-separated list)
removes PROGRAM, linked from those objects, when a kernel is not its pattern."""

import os
import re
import subprocess
import sys

REG = r"%(?:[er]?[a-d]x|[er][sd]i|[er]bp|r\d+d?)"
# The assembler's alignment padding: instructions that do nothing, or a jump over them to the loop.
PADDING = re.compile(r"jmp \w+ .*|(?:data16 |cs )*nop.*|xchg %ax,%ax"
                     r"|lea (?:0x0)?\(%[er]([sd])i(?:,%[er]iz,1)?\),%[er]\1i")
# The one string instruction of each 32-bit kernel, which cld comes just before.
STRING = {"ReadDWords": r"rep lods %ds:\(%[er]si\),%eax", "WriteDWords": r"rep stos %eax,%es:\(%[er]di\)",
          "CopyDWords": r"rep movsl %ds:\(%[er]si\),%es:\(%[er]di\)"}


def step(reg):
    return r"add \$0x8,(?P<%s>%s)" % (reg, REG)


# The loop body of each 64-bit kernel, before its count's decrement.
X87 = {"ReadQWords": [r"fildll \((?P<p>%s)\)" % REG, r"fstp %st\(0\)", step("p")],
       "WriteQWords": [r"fld %st\(0\)", r"fistpll \((?P<p>%s)\)" % REG, step("p")],
       "CopyQWords": [r"fildll \((?P<s>%s)\)" % REG, r"fistpll \((?P<d>%s)\)" % REG, step("s"), step("d")]}


class Mismatch(Exception):
    """A kernel that is not its pattern, named with what was found."""


def require(condition, message):
    # Not assert: python -O would drop the check and pass whatever the kernels are.
    if not condition:
        raise Mismatch(message)


def jump_target(text):
    return int(text.split()[1], 16)


def check_calls_nothing_and_stays_inside(name, body):
    """No call, no vector register, and no jump out of the kernel."""
    first, last = body[0][0], body[-1][0]
    for _, text in body:
        require(not text.startswith("call"), "%s calls: %s" % (name, text))
        require(not re.search(r"%[xyz]mm", text), "%s uses a vector register: %s" % (name, text))
        if re.match(r"jmp \w+", text):
            require(first <= jump_target(text) <= last, "%s jumps out: %s" % (name, text))


def check_string_kernel(name, texts):
    """Exactly one string instruction or jump, the kernel's own, right after cld."""
    found = [i for i, text in enumerate(texts) if re.match(r"rep|lods|stos|movs|j", text)]
    require(len(found) == 1, "%s: %d string instructions or jumps, not 1: %s" % (name, len(found), texts))
    instruction = texts[found[0]]
    require(re.fullmatch(STRING[name], instruction), "%s: %s is not its string instruction" % (name, instruction))
    require(texts[found[0] - 1] == "cld", "%s: no cld before %s" % (name, instruction))


def check_x87_loop(name, body):
    """One backward jne closing the body of the kernel's pattern; the loop in one 64-byte block; a zero count
    tested before the first element."""
    texts = [text for _, text in body]
    backward = [i for i, (at, text) in enumerate(body) if re.match(r"j\w+ (\w+)", text) and jump_target(text) <= at]
    require(len(backward) == 1, "%s: %d backward jumps, not 1: %s" % (name, len(backward), texts))
    end = backward[0]
    require(texts[end].startswith("jne"), "%s: the loop ends with %s, not jne" % (name, texts[end]))
    start = next(i for i, (at, _) in enumerate(body) if at == jump_target(texts[end]))
    loop = X87[name] + [r"dec (?P<n>%s)" % REG]
    require(end - start == len(loop), "%s: the loop is %s" % (name, texts[start:end + 1]))
    registers = {}
    for text, pattern in zip(texts[start:end], loop):
        match = re.fullmatch(pattern, text)
        require(match is not None, "%s: %s is not %s" % (name, text, pattern))
        for role, register in match.groupdict().items():
            known = registers.setdefault(role, register)
            require(known == register, "%s: %s is in %s and %s" % (name, role, known, register))
    if "s" in registers:
        require(registers["s"] != registers["d"], "%s: source and destination share %s" % (name, registers["s"]))
    require(body[start][0] // 64 == (body[end + 1][0] - 1) // 64, "%s: loop straddles a 64-byte boundary" % name)
    guard = start
    while PADDING.fullmatch(texts[guard - 1]):
        guard -= 1
    count = registers["n"]
    require(texts[guard - 2] == "test %s,%s" % (count, count) and
            re.fullmatch(r"j[ez] %x\b.*" % body[end + 1][0], texts[guard - 1]),
            "%s: no zero-count test before the loop: %s" % (name, texts[guard - 2:guard]))


def check_section_aligned(objdump, path):
    """The kernels lie in the section of the code a key may be thrown from (platform/SafeCode.h), aligned
    to 64 bytes."""
    headers = subprocess.run([objdump, "-h", path], check=True, capture_output=True, text=True).stdout
    section = re.search(r"morvit_safe\S*\s.*2\*\*(\d+)", headers)
    require(section is not None, "no morvit_safe section in " + path)
    require(int(section[1]) >= 6, "the kernels' section is aligned to 2**%s bytes, not 64" % section[1])


def disassembly(objdump, path):
    """Each function's instructions, as (address, text)."""
    functions = {}
    current = None
    lines = subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True, capture_output=True,
                           text=True).stdout.splitlines()
    for line in lines:
        if re.match(r"^[0-9a-f]+ <(\S+)>:$", line):
            current = functions.setdefault(line.split("<")[1][:-2], [])
        elif current is not None and re.match(r"^\s*[0-9a-f]+:\s", line):
            at, text = line.split(":", 1)
            current.append((int(at, 16), " ".join(text.split())))
    return functions


def main():
    objdump = sys.argv[1]
    paths = [p for p in ";".join(sys.argv[3:]).split(";") if re.search(r"[/\\]MorvitUtl\.cpp\.o(bj)?$", p)]
    require(len(paths) == 1, "no single MorvitUtl object among the objects: %s" % paths)
    path = paths[0]
    check_section_aligned(objdump, path)
    functions = disassembly(objdump, path)
    for name in list(STRING) + list(X87):
        # Itanium mangling; the i686 Windows build prefixes one more underscore.
        bodies = [b for symbol, b in functions.items() if re.match(r"_*_ZN6morvit%d%sE" % (len(name), name), symbol)]
        require(len(bodies) == 1, "%s: %d functions of that name, not 1" % (name, len(bodies)))
        returns = [i for i, (_, text) in enumerate(bodies[0]) if text.startswith("ret")]
        require(len(returns) > 0, "%s: no ret" % name)
        body = bodies[0][:returns[0] + 1]
        check_calls_nothing_and_stays_inside(name, body)
        if name in STRING:
            check_string_kernel(name, [text for _, text in body])
        else:
            check_x87_loop(name, body)
    print("six kernels match their instruction patterns in " + path)


if __name__ == "__main__":
    try:
        main()
    except Mismatch as error:
        if os.path.exists(sys.argv[2]):
            os.remove(sys.argv[2])  # else the next build would take it as up to date
        raise SystemExit("FAIL: %s" % error)
