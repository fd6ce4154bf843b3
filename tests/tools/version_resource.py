"""Reads the version resource of MORVIT.EXE the way Windows reads it, from the PE file's resource directory,
and checks it against the project version.
  version_resource.py MORVIT.EXE VERSION"""

import struct
import sys
import unittest

RT_VERSION = 16
FIXED_SIGNATURE = 0xFEEF04BD
VOS__WINDOWS32 = 0x4  # what Windows 95 and 98 expect; later systems read it as well
VFT_APP = 0x1


def resource_bytes(image, resource_type):
    """The data of the first resource of the type: first name, first language."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    directory_rva = struct.unpack_from("<I", image, optional + 96 + 2 * 8)[0]
    if directory_rva == 0:
        raise ValueError("no resource directory")
    table = optional + optional_size
    spans = [struct.unpack_from("<4I", image, table + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        for size, address, raw_size, raw_offset in spans:
            if address <= rva < address + max(size, raw_size):
                return raw_offset + rva - address
        raise ValueError("RVA %#x lies in no section" % rva)

    base = offset(directory_rva)
    child = 0x80000000
    for wanted in (resource_type, None, None):  # type, name, language
        if not child & 0x80000000:
            raise ValueError("resource tree ends early")
        child &= 0x7FFFFFFF
        named, numbered = struct.unpack_from("<HH", image, base + child + 12)
        entries = [struct.unpack_from("<II", image, base + child + 16 + 8 * i) for i in range(named + numbered)]
        matches = [e for e in entries if wanted is None or e[0] == wanted]
        if not matches:
            raise ValueError("no resource of type %d" % resource_type)
        child = matches[0][1]
    if child & 0x80000000:
        raise ValueError("resource tree goes deeper than type, name and language")
    data_rva, size = struct.unpack_from("<II", image, base + child)
    return image[offset(data_rva):offset(data_rva) + size]


def block(data, start):
    """One block of the version data: (key, value, children, end); text values as str."""
    length, value_length, kind = struct.unpack_from("<HHH", data, start)
    end = start + length
    if length < 6 or end > len(data):
        raise ValueError("block at %d has length %d, beyond its data" % (start, length))
    key_end = data.index(b"\0\0", start + 6)
    while (key_end - start) % 2:
        key_end = data.index(b"\0\0", key_end + 1)
    key = data[start + 6:key_end].decode("utf-16-le")
    position = (key_end + 2 + 3) & ~3
    if kind == 1:
        value = data[position:position + 2 * value_length].decode("utf-16-le").rstrip("\0")
        position += 2 * value_length
    else:
        value = data[position:position + value_length]
        position += value_length
    children = []
    position = (position + 3) & ~3
    while position < end:
        child = block(data, position)
        children.append(child)
        position = (child[3] + 3) & ~3
    return key, value, children, end


class VersionResource(unittest.TestCase):
    exe = version = None

    @classmethod
    def setUpClass(cls):
        with open(cls.exe, "rb") as f:
            data = resource_bytes(f.read(), RT_VERSION)
        cls.root = block(data, 0)
        cls.parts = {child[0]: child for child in cls.root[2]}

    def test_fixed_part(self):
        key, value = self.root[0], self.root[1]
        self.assertEqual(key, "VS_VERSION_INFO")
        fields = struct.unpack("<13I", value)
        numbers = [int(n) for n in self.version.split(".")] + [0]
        packed = (numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3])
        rows = {"signature": (fields[0], FIXED_SIGNATURE), "file version": (fields[2:4], packed),
                "product version": (fields[4:6], packed), "file OS": (fields[8], VOS__WINDOWS32),
                "file type": (fields[9], VFT_APP)}
        for name, (actual, expected) in rows.items():
            self.assertEqual(actual, expected, name)

    def test_strings(self):
        tables = self.parts["StringFileInfo"][2]
        self.assertEqual(len(tables), 1, "string tables")
        strings = {child[0]: child[1] for child in tables[0][2]}
        rows = {"FileVersion": self.version, "ProductVersion": self.version,
                "OriginalFilename": "MORVIT.EXE", "ProductName": "MORVIT"}
        for name, expected in rows.items():
            self.assertEqual(strings.get(name), expected, name)
        for name in ("FileDescription", "LegalCopyright"):
            self.assertTrue(strings.get(name), name + " is empty")
        for name, text in strings.items():
            self.assertTrue(text.isascii(), name + " is not ASCII")

    def test_translation_names_the_string_table(self):
        translation = self.parts["VarFileInfo"][2][0]
        self.assertEqual(translation[0], "Translation")
        language, code_page = struct.unpack("<HH", translation[1])
        table = self.parts["StringFileInfo"][2][0][0]
        self.assertEqual(table, "%04X%04X" % (language, code_page))


if __name__ == "__main__":
    VersionResource.exe, VersionResource.version = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
