"""Builds MORVIT.EXE twice more, through the win32 preset, from copies of the sources in two temporary
folders of different depth, one after the other and with different SOURCE_DATE_EPOCH, and fails unless
both copies are byte for byte the exe of this build. On a difference it names the first offset that differs.
  reproducible_build.py SOURCE_DIR MORVIT.EXE"""

import os
import shutil
import subprocess
import sys
import tempfile

source, tested = sys.argv[1:3]


def copy_sources(destination):
    # The sources as they are, built or not: no build folders, no packages, no repository data.
    top_level = os.path.abspath(source)
    skipped = {"build", "dist", ".git"}
    shutil.copytree(source, destination, ignore=lambda folder, names: skipped.intersection(names)
                    if os.path.abspath(folder) == top_level else ())


def build(folder, epoch):
    environment = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch))
    configure = ["cmake", "--preset", "win32"]
    build_exe = ["cmake", "--build", "--preset", "win32", "-j", "1", "--target", "morvit"]
    for command in (configure, build_exe):
        subprocess.run(command, cwd=folder, env=environment, check=True, stdout=subprocess.DEVNULL)
    with open(os.path.join(folder, "build", "win32", "src", "app", "MORVIT.EXE"), "rb") as f:
        return f.read()


def differences(expected, actual):
    if len(expected) != len(actual):
        return "%d bytes instead of %d" % (len(actual), len(expected))
    offsets = [i for i in range(len(expected)) if expected[i] != actual[i]]
    return "%d bytes differ, the first at offset %#x" % (len(offsets), offsets[0])


with open(tested, "rb") as f:
    expected = f.read()
failed = False
with tempfile.TemporaryDirectory() as scratch:
    for name, folder, epoch in (("short path", "a", 1000000000), ("long path", "a-longer/folder/name", 2000000000)):
        folder = os.path.join(scratch, folder)
        copy_sources(folder)
        actual = build(folder, epoch)
        if actual == expected:
            print("%s: the same %d bytes" % (name, len(actual)))
        else:
            print("FAIL %s: %s" % (name, differences(expected, actual)))
            failed = True
sys.exit(1 if failed else 0)
