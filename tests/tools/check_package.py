"""Checks the release zip as a user gets it: its members, in order, with 8.3 names and one fixed time; the
text files ASCII with CR LF line ends and at most 78 columns; MORVIT.EXE the very exe the tests ran;
SHA256.TXT right about the other four; RUNS.BAT free of what Windows 98's COMMAND.COM cannot run.
  check_package.py ZIP TESTED-EXE VERSION"""

import hashlib
import os
import re
import sys
import zipfile

zip_path, tested_path, version = sys.argv[1:4]
problems = []


def check(fact, what):
    if not fact:
        problems.append(what)


MEMBERS = ["MORVIT.EXE", "MORVIT.TXT", "PC.INF", "RUNS.BAT", "SHA256.TXT"]
CHECKSUMMED = MEMBERS[:-1]
TEXTS = MEMBERS[1:]
# Command extensions of CMD.EXE that COMMAND.COM takes for errors or for other commands.
NOT_FOR_COMMAND_COM = [rb"FOR /L", rb"SETLOCAL", rb"%~", rb"IF /I", rb"!\w+!", rb"CALL :", rb"GOTO :EOF"]
check(os.path.basename(zip_path) == "morvit-%s.zip" % version, "zip name is not morvit-%s.zip" % version)
with zipfile.ZipFile(zip_path) as archive:
    members = archive.infolist()
    names = [member.filename for member in members]
    contents = {name: archive.read(name) for name in names}
check(names == MEMBERS, "members %s, not %s" % (names, MEMBERS))
for name in names:
    check(re.fullmatch(r"[A-Z0-9_]{1,8}(\.[A-Z0-9_]{1,3})?", name), name + ": no 8.3 name in capitals")
check(len({member.date_time for member in members}) == 1, "members with different times")

for name in TEXTS:
    text = contents.get(name, b"")
    check(text.endswith(b"\r\n"), name + ": does not end with CR LF")
    check(all(byte < 128 for byte in text), name + ": not ASCII")
    lines = text.split(b"\r\n")
    for number, line in enumerate(lines, 1):
        check(b"\n" not in line and b"\r" not in line, "%s line %d: a line end other than CR LF" % (name, number))
        check(len(line) <= 78, "%s line %d: %d columns, over 78" % (name, number, len(line)))
check(contents.get("MORVIT.TXT", b"").startswith(b"MORVIT %s " % version.encode()),
      "MORVIT.TXT does not begin with the version")

with open(tested_path, "rb") as f:
    check(contents.get("MORVIT.EXE") == f.read(), "MORVIT.EXE is not the tested exe " + tested_path)
listed = {}
for line in contents.get("SHA256.TXT", b"").splitlines():
    match = re.fullmatch(rb"([0-9a-f]{64})  (\S+)", line)
    check(match, "SHA256.TXT: no checksum line: %r" % line)
    if match:
        listed[match.group(2)] = match.group(1)
for name in CHECKSUMMED:
    actual = hashlib.sha256(contents.get(name, b"")).hexdigest().encode()
    check(listed.get(name.encode()) == actual, "SHA256.TXT: wrong or no checksum for " + name)
check(len(listed) == len(CHECKSUMMED), "SHA256.TXT: %d lines, not %d" % (len(listed), len(CHECKSUMMED)))
# Outside the comments, which name them.
batch = b"\n".join(line for line in contents.get("RUNS.BAT", b"").splitlines() if not line.upper().startswith(b"REM"))
for construct in NOT_FOR_COMMAND_COM:
    check(not re.search(construct, batch, re.IGNORECASE),
          "RUNS.BAT uses %s, which COMMAND.COM lacks" % construct.decode())

print("%s: %d members, %d bytes" % (zip_path, len(names), os.path.getsize(zip_path)))
for problem in problems:
    print("FAIL " + problem)
sys.exit(1 if problems else 0)
