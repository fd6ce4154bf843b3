"""Fails when MORVIT.EXE could not load on Windows 98 SE and later: an import that the list of functions
Windows 98 SE exports lacks, any import of ddraw.dll, a PE header asking for a newer system, an exe not
stripped or over 512 KiB; or when its version resource, which Explorer's Properties page shows, does not carry
the project's version. Also what the 9x loader and runtime need beyond Windows NT's: the header fields that
loader reads as it expects them (below), a Unicode import only where the 9x rules mark it as a stub the runtime
may call, every import covered by those rules, the TLS callbacks exactly the runtime's own (the 9x loader does
not run them at load) and no pseudo-relocation (no data of a DLL that the runtime must patch into the image at
start, a path no 9x system has run here); the last two read from the twin linked with symbols.
  check_exe.py OBJDUMP NM MORVIT.EXE SYMBOLS-TWIN API-LIST 9X-RULES VERSION     (a failing MORVIT.EXE is deleted)"""

import os
import re
import struct
import subprocess
import sys

objdump, nm, exe, twin, listing, rules_file, version = sys.argv[1:8]
with open(listing) as f:
    allowed = {line.split("#", 1)[0].strip() for line in f} - {""}
with open(rules_file, encoding="utf-8") as f:
    rules = dict(line.split("#", 1)[0].split(None, 1) for line in f if line.split("#", 1)[0].strip())
dump = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout


def symbols(nm, path):
    """Name -> address of the twin's symbols (several names may share an address)."""
    listing = subprocess.run([nm, path], check=True, capture_output=True, text=True).stdout
    return {row[2]: int(row[0], 16) for row in map(str.split, listing.splitlines()) if len(row) == 3}


# The Windows 9x loader: it maps an image only at its preferred base (an exe is never relocated), section by
# section in the order and at the places the header gives; it knows no load configuration, bound or delayed
# imports; it writes the import address table in place, so the section holding the imports must be writable.
# The two DllCharacteristics bits GNU ld sets (DYNAMIC_BASE 0x40, NX_COMPAT 0x100) are later systems' and 9x
# ignores them; no other bit may appear unseen.
DLL_CHARACTERISTICS = 0x0140
RUNTIME_TLS_CALLBACKS = ["___dyn_tls_init@12", "___dyn_tls_dtor@12"]  # mingw-w64's tlssup.c, in this order
DIRECTORIES = {10: "load configuration", 11: "bound import", 13: "delay import"}


def pe_problems(image, names):
    found = []
    header = struct.unpack_from("<I", image, 0x3C)[0]
    sections_count, optional_size = struct.unpack_from("<2xH12xH", image, header + 4)
    optional = header + 24
    image_base, section_alignment, file_alignment = struct.unpack_from("<III", image, optional + 28)
    headers_size = struct.unpack_from("<I", image, optional + 60)[0]
    characteristics = struct.unpack_from("<H", image, optional + 70)[0]
    directories = [struct.unpack_from("<II", image, optional + 96 + 8 * n) for n in range(16)]
    for field, value, wanted in (("ImageBase", image_base, 0x400000), ("SectionAlignment", section_alignment, 0x1000),
                                 ("FileAlignment", file_alignment, 0x200)):
        if value != wanted:
            found.append("%s is %#x, not %#x" % (field, value, wanted))
    if characteristics & ~DLL_CHARACTERISTICS:
        found.append("DllCharacteristics %#06x has bits beyond %#06x" % (characteristics, DLL_CHARACTERISTICS))
    for number, name in DIRECTORIES.items():
        if directories[number] != (0, 0):
            found.append("a %s directory" % name)

    def align(value):
        return (value + section_alignment - 1) // section_alignment * section_alignment

    expected, table = align(headers_size), optional + optional_size

    def to_offset(rva):
        """The file offset of a relative virtual address."""
        for n in range(sections_count):
            virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", image, table + 40 * n + 8)
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError("address %#x lies in no section" % rva)

    for n in range(sections_count):
        name, virtual_size, address, raw_size, flags = struct.unpack_from("<8sIII16xI", image, table + 40 * n)
        name = name.rstrip(b"\0").decode()
        if address != expected:
            found.append("section %s at %#x, not at %#x right after the one before" % (name, address, expected))
        if address <= directories[1][0] < address + max(virtual_size, raw_size) and not flags & 0x80000000:
            found.append("the imports' section %s is not writable" % name)
        expected = align(address + max(virtual_size, raw_size))
    tls = directories[9][0]
    if tls:
        # IMAGE_TLS_DIRECTORY32: the template's start and end, the index's address, then AddressOfCallBacks, a
        # virtual address of a null-terminated array of virtual addresses.
        at = to_offset(struct.unpack_from("<I", image, to_offset(tls) + 12)[0] - image_base)
        callbacks = []
        while struct.unpack_from("<I", image, at)[0]:
            callbacks.append(struct.unpack_from("<I", image, at)[0])
            at += 4
        if callbacks != [names.get(name) for name in RUNTIME_TLS_CALLBACKS]:
            named = [sorted(name for name, address in names.items() if address == callback) for callback in callbacks]
            found.append("TLS callbacks %s, not the runtime's own %s" % (named, RUNTIME_TLS_CALLBACKS))
    start, end = (names.get("___RUNTIME_PSEUDO_RELOC_LIST%s__" % part) for part in ("", "_END"))
    if start is None or start != end:
        found.append("pseudo-relocations: data imported without __declspec(dllimport), patched at start")
    return found


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
    elif entry not in rules:
        problems.append(entry + ": no 9x rule covers it (" + os.path.basename(rules_file) + ")")
    elif re.search(r"[a-z]W$", entry) and not entry.startswith("msvcrt.dll!") and "unicode" not in rules[entry].split():
        problems.append(entry + ": a Unicode function that the 9x rules do not list as a stub the runtime may call")

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
problems += pe_problems(image, symbols(nm, twin))
size = os.path.getsize(exe)
if size > 512 * 1024:
    problems.append("%d bytes, over 512 KiB" % size)

print("%d imports, %d bytes" % (len(imports), size))
for problem in problems:
    print("FAIL " + problem)
if problems:
    os.remove(exe)  # else the next build would take the failed exe as up to date
sys.exit(1 if problems else 0)
