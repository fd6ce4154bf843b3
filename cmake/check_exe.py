"""Fails when MORVIT.EXE could not load on Windows 98 SE and later: an import that the list of functions
Windows 98 SE exports lacks, any import of ddraw.dll, a PE header asking for a newer system, an exe not
stripped or over 512 KiB; or when its version resource, which Explorer's Properties page shows, does not carry
the project's version.
  check_exe.py OBJDUMP MORVIT.EXE API-LIST VERSION     (a failing MORVIT.EXE is deleted)"""

import os
import re
import struct
import subprocess
import sys

objdump, exe, listing, version = sys.argv[1:5]
with open(listing) as f:
    allowed = {line.split("#", 1)[0].strip() for line in f} - {""}
dump = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout

problems = []
imports, dll = [], None
for line in dump.splitlines():
    name = re.match(r"\s*DLL Name: (\S+)", line)
    entry = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\S+)\s*$", line)
    if name:
        dll = name.group(1).lower()
    elif not line.strip():
        dll = None
    elif dll and entry:
        imports.append(dll + "!" + entry.group(1))
if not imports:
    problems.append("no import table found")
for entry in imports:
    if entry.startswith("ddraw.dll!"):
        problems.append(entry + ": ddraw.dll must be looked up at run time")
    elif entry not in allowed:
        problems.append(entry + ": not exported by Windows 98 SE")

header = dict(re.findall(r"^(\w+)\s+(\S+)$", dump, re.M))
for field in ("MajorOSystemVersion", "MajorSubsystemVersion"):
    if header.get(field) != "4":
        problems.append("%s is %s, not 4" % (field, header.get(field)))
for field in ("MinorOSystemVersion", "MinorSubsystemVersion"):
    if header.get(field) != "0":
        problems.append("%s is %s, not 0" % (field, header.get(field)))
if int(header.get("Characteristics", "0"), 16) & 0x8 == 0:  # IMAGE_FILE_LOCAL_SYMS_STRIPPED
    problems.append("symbols not stripped")
with open(exe, "rb") as f:
    image = f.read()
# VS_FIXEDFILEINFO: its signature, the structure version, then the file version as major.minor, patch.build.
fixed = image.find(struct.pack("<I", 0xFEEF04BD))
major, minor, patch = (int(part) for part in version.split("."))
if fixed < 0 or struct.unpack_from("<II", image, fixed + 8) != (major << 16 | minor, patch << 16):
    problems.append("no version resource with file version %s" % version)
for key in ("FileVersion", "ProductVersion"):  # UTF-16 strings, each key padded to 32 bits before its value
    if not re.search(re.escape(key.encode("utf-16-le")) + b"(\0\0)+" + re.escape(version.encode("utf-16-le")), image):
        problems.append("the version resource's %s is not %s" % (key, version))
size = os.path.getsize(exe)
if size > 512 * 1024:
    problems.append("%d bytes, over 512 KiB" % size)

print("%d imports, %d bytes" % (len(imports), size))
for problem in problems:
    print("FAIL " + problem)
if problems:
    os.remove(exe)  # else the next build would take the failed exe as up to date
sys.exit(1 if problems else 0)
