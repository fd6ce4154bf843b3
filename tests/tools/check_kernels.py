"""Fails unless each transfer kernel in the object built from MorvitUtl.cpp is its fixed instruction pattern,
and each loop lies in one 64-byte block of code. A compiler that made a kernel a library call, a vector or
unrolled loop, or added work per element, would change what the program measures and no result.
  check_kernels.py OBJDUMP OBJECTS (the library's object list, separated by ';')"""

import re
import subprocess
import sys

REG = r"%(?:[er]?[a-d]x|[er][sd]i|[er]bp|r\d+d?)"
# The assembler's alignment padding: instructions that do nothing, or a jump over them to the loop.
PADDING = re.compile(r"jmp \w+ .*|(?:data16 |cs )*nop.*|xchg %ax,%ax"
                     r"|lea (?:0x0)?\(%[er]([sd])i(?:,%[er]iz,1)?\),%[er]\1i")
STRING = {"ReadDWords": r"rep lods %ds:\(%[er]si\),%eax", "WriteDWords": r"rep stos %eax,%es:\(%[er]di\)",
          "CopyDWords": r"rep movsl %ds:\(%[er]si\),%es:\(%[er]di\)"}


def STEP(reg):
    return r"add \$0x8,(?P<%s>%s)" % (reg, REG)


# The loop body of each 64-bit kernel.
X87 = {"ReadQWords": [r"fildll \((?P<p>%s)\)" % REG, r"fstp %st\(0\)", STEP("p")],
       "WriteQWords": [r"fld %st\(0\)", r"fistpll \((?P<p>%s)\)" % REG, STEP("p")],
       "CopyQWords": [r"fildll \((?P<s>%s)\)" % REG, r"fistpll \((?P<d>%s)\)" % REG, STEP("s"), STEP("d")]}


def check(name, body):
    texts = [text for _, text in body]
    for text in texts:
        jump = re.match(r"jmp (\w+)", text)
        assert not text.startswith("call") and not (jump and not body[0][0] <= int(jump[1], 16) <= body[-1][0]), text
        assert not re.search(r"%[xyz]mm", text), text
    if name in STRING:
        rep = [i for i, text in enumerate(texts) if re.match(r"rep|lods|stos|movs|j", text)]
        assert len(rep) == 1 and re.fullmatch(STRING[name], texts[rep[0]]) and texts[rep[0] - 1] == "cld", texts
        return
    back = [i for i, (at, text) in enumerate(body) if re.match(r"j\w+ (\w+)", text) and int(text.split()[1], 16) <= at]
    assert len(back) == 1 and texts[back[0]].startswith("jne"), texts
    end = back[0]
    start = next(i for i, (at, _) in enumerate(body) if at == int(texts[end].split()[1], 16))
    groups, loop = {}, X87[name] + [r"dec (?P<n>%s)" % REG]
    assert end - start == len(loop), texts[start:end + 1]
    for text, pattern in zip(texts[start:end], loop):
        m = re.fullmatch(pattern, text)
        assert m and all(groups.setdefault(k, v) == v for k, v in m.groupdict().items()), (text, pattern)
    assert groups.get("s") != groups.get("d") or "s" not in groups, texts[start:end]
    assert body[start][0] // 64 == (body[end + 1][0] - 1) // 64, "%s: loop straddles a 64-byte boundary" % name
    guard = start
    while PADDING.fullmatch(texts[guard - 1]):
        guard -= 1
    # The count is tested before the first element: a zero count skips the loop.
    assert texts[guard - 2] == "test %s,%s" % (groups["n"], groups["n"]) and re.fullmatch(
        r"j[ez] %x\b.*" % body[end + 1][0], texts[guard - 1]), texts[guard - 2:guard]


def main():
    objdump = sys.argv[1]
    path = [p for p in ";".join(sys.argv[2:]).split(";") if re.search(r"[/\\]MorvitUtl\.cpp\.o(bj)?$", p)][0]
    headers = subprocess.run([objdump, "-h", path], check=True, capture_output=True, text=True).stdout
    # The kernels lie in the section of the code a key may be thrown from (platform/SafeCode.h).
    alignment = int(re.search(r"morvit_safe\S*\s.*2\*\*(\d+)", headers)[1])
    assert alignment >= 6, "the kernels' section is not aligned to 64 bytes"
    functions, current = {}, None
    for line in subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True, capture_output=True,
                               text=True).stdout.splitlines():
        if re.match(r"^[0-9a-f]+ <(\S+)>:$", line):
            current = functions.setdefault(line.split("<")[1][:-2], [])
        elif current is not None and re.match(r"^\s*[0-9a-f]+:\s", line):
            at, text = line.split(":", 1)
            current.append((int(at, 16), " ".join(text.split())))
    for name in list(STRING) + list(X87):
        # Itanium mangling; the i686 Windows build prefixes one more underscore.
        body = [b for symbol, b in functions.items() if re.match(r"_*_ZN6morvit%d%sE" % (len(name), name), symbol)]
        assert len(body) == 1, name
        check(name, body[0][:next(i for i, (_, t) in enumerate(body[0]) if t.startswith("ret")) + 1])
    print("six kernels match their instruction patterns in " + path)


if __name__ == "__main__":
    try:
        main()
    except AssertionError as error:
        raise SystemExit("FAIL: %s" % error)
