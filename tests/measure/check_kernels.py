"""Fails unless each transfer kernel in the built object is the fixed instruction pattern it must be.

Usage: check_kernels.py OBJDUMP OBJECTS

OBJECTS is the library's object list (separated by ';'); the one built from MorvitUtl.cpp is
disassembled. The measured code is the loop body: a compiler that turned a kernel into a library
call, a vector loop or an unrolled one, or added work per element, would change what the program
measures without changing any result a unit test can see.
"""

import re
import subprocess
import sys

FUNCTION = re.compile(r"^[0-9a-f]+ <(\S+)>:$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(.*?)\s*$")
BRANCH = re.compile(r"^(j\w+)\s+([0-9a-f]+)\b")
REG = r"%(?:[er]?[a-d]x|[er][sd]i|[er]bp|r\d+d?|e?[a-d]x)"
# The assembler's alignment padding: instructions that do nothing, or a jump over them to the loop.
PADDING = re.compile(r"^(?:jmp [0-9a-f]+ .*|(?:data16 |cs )*nop\w*\b.*|xchg %ax,%ax|lea (?:0x0)?\(%[er]si(?:,%[er]iz,1)?\),%[er]si"
                     r"|lea (?:0x0)?\(%[er]di(?:,%[er]iz,1)?\),%[er]di|mov %esi,%esi|mov %edi,%edi)$")


def disassemble(objdump, path):
    text = subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True, capture_output=True,
                          text=True).stdout
    functions, current = {}, None
    for line in text.splitlines():
        m = FUNCTION.match(line)
        if m:
            current = functions.setdefault(m.group(1), [])
            continue
        m = INSTRUCTION.match(line)
        if m and current is not None:
            current.append((int(m.group(1), 16), " ".join(m.group(2).split())))
    return functions


def kernel(functions, name):
    # Itanium mangling; the i686 Windows build prefixes one more underscore.
    pattern = re.compile(r"^_*_ZN6morvit%d%sE" % (len(name), name))
    found = [body for symbol, body in functions.items() if pattern.match(symbol)]
    if len(found) != 1:
        raise AssertionError("%s: %d definitions found" % (name, len(found)))
    body = found[0]
    for i, (_, text) in enumerate(body):
        if text == "ret" or text.startswith("ret "):
            return body[: i + 1]
    raise AssertionError("%s: no return" % name)


def common_checks(name, body):
    first, last = body[0][0], body[-1][0]
    for _, text in body:
        jump = re.match(r"jmp ([0-9a-f]+)\b", text)
        if text.startswith("call") or (text.startswith("jmp") and not (jump and first <= int(jump.group(1), 16) <= last)):
            raise AssertionError("%s calls or jumps away: %s" % (name, text))
        if re.search(r"%[xyz]?mm\d", text):
            raise AssertionError("%s uses vector registers: %s" % (name, text))


def check_string_kernel(name, body, instruction):
    common_checks(name, body)
    texts = [text for _, text in body]
    if any(BRANCH.match(text) for text in texts):
        raise AssertionError("%s branches: %s" % (name, texts))
    reps = [i for i, text in enumerate(texts) if text.startswith("rep")]
    if len(reps) != 1 or not re.fullmatch(instruction, texts[reps[0]]):
        raise AssertionError("%s: expected one %r, got %s" % (name, instruction, texts))
    if reps[0] == 0 or texts[reps[0] - 1] != "cld":
        raise AssertionError("%s: the direction flag is not cleared right before %s" % (name, texts[reps[0]]))
    if sum(text.startswith(("lods", "stos", "movs", "rep")) for text in texts) != 1:
        raise AssertionError("%s: more than one string instruction: %s" % (name, texts))


def check_x87_kernel(name, body, loop, before=(), after=()):
    """loop: regexes of the loop body in order, the branch back last; before/after: x87 instructions
    right before the count test and right after the loop."""
    common_checks(name, body)
    backward = [(i, BRANCH.match(text)) for i, (address, text) in enumerate(body)
                if BRANCH.match(text) and int(BRANCH.match(text).group(2), 16) <= address]
    if len(backward) != 1:
        raise AssertionError("%s: expected one loop, found %d" % (name, len(backward)))
    end, branch = backward[0]
    target = int(branch.group(2), 16)
    start = next(i for i, (address, _) in enumerate(body) if address == target)
    texts = [text for _, text in body[start:end + 1]]
    if len(texts) != len(loop):
        raise AssertionError("%s: loop body %s is not %s" % (name, texts, loop))
    groups = {}
    for text, expected in zip(texts, loop):
        m = re.fullmatch(expected, text)
        if not m:
            raise AssertionError("%s: loop body %s is not %s (at %r)" % (name, texts, loop, text))
        for key, value in m.groupdict().items():
            if groups.setdefault(key, value) != value:
                raise AssertionError("%s: %s is %s and %s in %s" % (name, key, groups[key], value, texts))
    if "s" in groups and groups["s"] == groups["d"]:
        raise AssertionError("%s: source and destination in one register: %s" % (name, texts))
    if branch.group(1) not in ("jne", "jnz"):
        raise AssertionError("%s: loop ends with %s" % (name, branch.group(1)))
    # The whole loop lies in one 64-byte block of code (the section keeps that alignment when linked).
    exit_address = body[end + 1][0]
    if body[start][0] // 64 != (exit_address - 1) // 64:
        raise AssertionError("%s: loop %x-%x straddles a 64-byte boundary" % (name, body[start][0], exit_address))
    # The count is tested before the first element: a zero count skips the loop. Padding that aligns
    # the loop may stand between.
    counter = groups["n"]
    guard_end = start
    while guard_end > 0 and PADDING.match(body[guard_end - 1][1]):
        guard_end -= 1
    guard = [text for _, text in body[guard_end - 2:guard_end]]
    if (len(guard) != 2 or guard[0] != "test %s,%s" % (counter, counter)
            or not re.fullmatch(r"j[ez] %x\b.*" % exit_address, guard[1])):
        raise AssertionError("%s: no count test before the loop: %s" % (name, guard))
    x87 = re.compile(r"^f")
    outside = [text for i, (_, text) in enumerate(body) if x87.match(text) and not start <= i <= end]
    if len(outside) != len(before) + len(after):
        raise AssertionError("%s: x87 instructions outside the loop: %s" % (name, outside))
    head = [text for _, text in body[:guard_end - 2] if x87.match(text)]
    tail = [text for _, text in body[end + 1:] if x87.match(text)]
    for texts_, expected in ((head, before), (tail, after)):
        if len(texts_) != len(expected) or not all(re.fullmatch(e, t) for t, e in zip(texts_, expected)):
            raise AssertionError("%s: %s is not %s" % (name, texts_, list(expected)))
    if after and body[end + 1][1] != "fstp %st(0)":
        raise AssertionError("%s: the value is not popped right after the loop" % name)


def main():
    objdump, objects = sys.argv[1], ";".join(sys.argv[2:]).split(";")
    paths = [p for p in objects if re.search(r"[/\\]MorvitUtl\.cpp\.o(bj)?$", p)]
    if len(paths) != 1:
        raise SystemExit("MorvitUtl object not found in %s" % objects)
    functions = disassemble(objdump, paths[0])
    headers = subprocess.run([objdump, "-h", paths[0]], check=True, capture_output=True, text=True).stdout
    alignment = re.search(r"^\s*\d+ \.text\s.*\s2\*\*(\d+)\s*$", headers, re.M)
    if not alignment or int(alignment.group(1)) < 6:
        raise AssertionError(".text is not aligned to 64 bytes: %s" % (alignment and alignment.group(0)))

    si, di = r"%[er]si", r"%[er]di"
    check_string_kernel("ReadDWords", kernel(functions, "ReadDWords"), r"rep lods %%ds:\(%s\),%%eax" % si)
    check_string_kernel("WriteDWords", kernel(functions, "WriteDWords"), r"rep stos %%eax,%%es:\(%s\)" % di)
    check_string_kernel("CopyDWords", kernel(functions, "CopyDWords"),
                        r"rep movsl %%ds:\(%s\),%%es:\(%s\)" % (si, di))

    p, s, d, n = (r"(?P<%s>%s)" % (g, REG) for g in ("p", "s", "d", "n"))
    # Each instruction is matched on its own; a register named twice must be the same register.
    step = lambda reg: r"add \$0x8,(?P<%s>%s)" % (reg, REG)
    back = r"jne [0-9a-f]+ .*"
    check_x87_kernel("ReadQWords", kernel(functions, "ReadQWords"),
                     [r"fildll \(%s\)" % p, r"fstp %st\(0\)", step("p"), r"dec %s" % n, back])
    check_x87_kernel("WriteQWords", kernel(functions, "WriteQWords"),
                     [r"fld %st\(0\)", r"fistpll \(%s\)" % p, step("p"), r"dec %s" % n, back],
                     before=[r"fildll \S+"], after=[r"fstp %st\(0\)"])
    check_x87_kernel("CopyQWords", kernel(functions, "CopyQWords"),
                     [r"fildll \(%s\)" % s, r"fistpll \(%s\)" % d, step("s"), step("d"), r"dec %s" % n, back])
    print("six kernels match their instruction patterns in %s" % paths[0])


if __name__ == "__main__":
    try:
        main()
    except AssertionError as error:
        raise SystemExit("FAIL: %s" % error)
