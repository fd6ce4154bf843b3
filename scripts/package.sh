#!/usr/bin/env bash
# Writes the release as its users fetch it into dist/ (or the given folder, relative to the checkout's top):
# morvit-VERSION.zip for the old PC,
#   MORVIT.EXE  the exe of the win32 build, the one its tests ran; built first when there is none
#   MORVIT.TXT  the user's guide, from docs/MORVIT.TXT.in
#   PC.INF      the template of a PC's description for the companion, from docs/PC.INF
#   RUNS.BAT    runs MORVIT a given number of times into RUN1.TXT, RUN2.TXT, ..., from docs/RUNS.BAT
#   SHA256.TXT  the SHA-256 checksums of the other four
# the companion morvit-report for the PC that compares, as its wheel and source distribution
# (scripts/build-companion.sh), and morvit-VERSION.sha256, the checksums of those three files.
# The zip's text files are ASCII with CR LF line ends and at most 78 columns, for Notepad and EDIT on old
# Windows. Every file is the same bytes every time for the same sources; the zip's members in a fixed order,
# stored uncompressed (no dependence on a compression library's version), all dated at the time of the last
# commit (or SOURCE_DATE_EPOCH). The companion's version must be MORVIT's.
#   scripts/package.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-dist}
exe=build/win32/src/app/MORVIT.EXE
if [ ! -f "$exe" ]; then
  bash scripts/install-deps.sh
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target morvit -j "${MORVIT_JOBS:-2}" >/dev/null
elif ! cmake --build --preset win32 --target morvit -- -n | grep -q 'no work to do'; then
  # Packaging a rebuilt exe would ship one that no test has run.
  echo "package.sh: $exe is older than its sources: build it and run the tests again (bash scripts/test.sh)" >&2
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/win32/CMakeCache.txt)
# shellcheck source=scripts/release-time.sh
. scripts/release-time.sh
release_time package.sh
mkdir -p "$out"

# Built apart, so that a wheel of another version left in the folder cannot pass for this one.
companion=$(mktemp -d)
trap 'rm -rf "$companion"' EXIT
bash scripts/build-companion.sh "$companion"
wheel=morvit_report-$version-py3-none-any.whl
sdist=morvit-report-$version.tar.gz
if [ ! -f "$companion/$wheel" ] || [ ! -f "$companion/$sdist" ]; then
  echo "package.sh: the companion's version (__version__ in scripts/morvit_report/__init__.py) is not MORVIT's" \
    "$version: built $(cd "$companion" && echo *)" >&2
  exit 1
fi
python3 - "$exe" "$version" "$SOURCE_DATE_EPOCH" "$out/morvit-$version.zip" <<'EOF'
import hashlib
import os
import sys
import time
import zipfile

exe_path, version, epoch, zip_path = sys.argv[1:5]
with open(exe_path, "rb") as f:
    exe = f.read()


def text_file(path):
    """The text as DOS reads it: CR LF line ends, the version filled in, no line over 78 columns."""
    with open(path, encoding="ascii") as f:
        lines = f.read().replace("@VERSION@", version).splitlines()
    for number, line in enumerate(lines, 1):
        if len(line) > 78:
            sys.exit("package.sh: %s line %d has %d columns, over 78" % (path, number, len(line)))
    return "".join(line + "\r\n" for line in lines).encode("ascii")


members = [("MORVIT.EXE", exe), ("MORVIT.TXT", text_file("docs/MORVIT.TXT.in")),
           ("PC.INF", text_file("docs/PC.INF")), ("RUNS.BAT", text_file("docs/RUNS.BAT"))]
checksums = "".join("%s  %s\r\n" % (hashlib.sha256(data).hexdigest(), name) for name, data in members).encode("ascii")

# Zip times are local times with no zone and no year before 1980; the UTC time stands for them.
stamp = time.gmtime(max(int(epoch), 315532800))[:6]
temporary = zip_path + ".tmp"
with zipfile.ZipFile(temporary, "w", zipfile.ZIP_STORED) as archive:
    for name, data in members + [("SHA256.TXT", checksums)]:
        member = zipfile.ZipInfo(name, stamp)
        member.create_system = 0  # MS-DOS: the attributes below are DOS ones
        member.external_attr = 0x20  # archive
        archive.writestr(member, data)
os.replace(temporary, zip_path)
print("SHA256.TXT in %s:" % zip_path)
print(checksums.decode("ascii").replace("\r\n", "\n"), end="")
EOF

mv "$companion/$wheel" "$companion/$sdist" "$out"
echo "$out/morvit-$version.sha256:"
(cd "$out" && sha256sum "morvit-$version.zip" "$wheel" "$sdist" | tee "morvit-$version.sha256")
