"""Reads what a run's PC is: NAME.INF beside NAME.TXT, or PC.INF for every run of its folder without one.

Key=Value lines with CR LF or LF ends, ';' comments and an optional [MORVIT] section line, in any encoding a
saved run may have (Notepad's UTF-8 or UTF-16 with a byte-order mark among them). A key or value the
reader cannot use is an error naming the file and line: a sidecar exists to make columns comparable, and one
read half would compare the wrong things quietly.
"""

import os
import re

from .model import SIDECAR_KEYS, ReportError, Sidecar
from .reading import text_of

KEY_NAMES = [key for key, _ in SIDECAR_KEYS]
FORMS = {key.lower(): (key, form) for key, form in SIDECAR_KEYS}
NUMBER = re.compile(r"\d+(?:\.\d+)?")
# KB and MB of 1024: the sizes of caches and memory as their makers state them.
SIZE = re.compile(r"(\d+(?:\.\d+)?) *([KM])B", re.IGNORECASE)
MAX_SIDECAR = 1 << 16


def sidecar_path(run_path):
    """NAME.INF beside NAME.TXT, either letter case, else PC.INF of the folder, else None."""
    folder, name = os.path.split(run_path)
    stem = os.path.splitext(name)[0]
    try:
        entries = sorted(os.listdir(folder or "."))
    except OSError:
        return None
    for wanted in (stem + ".inf", "pc.inf"):
        for entry in entries:
            if entry.lower() == wanted.lower() and os.path.isfile(os.path.join(folder, entry)):
                return os.path.join(folder, entry)
    return None


def read_sidecar(path):
    try:
        with open(path, "rb") as f:
            data = f.read(MAX_SIDECAR + 1)
    except OSError as error:
        raise ReportError("%s: cannot read: %s" % (path, error.strerror or error)) from None
    if len(data) > MAX_SIDECAR:
        raise ReportError("%s: over %d bytes, not a sidecar" % (path, MAX_SIDECAR))
    return parse_sidecar(path, data)


def parse_sidecar(path, data):
    """The sidecar in data, the bytes of a file in any encoding a run may have."""
    try:
        text = text_of(data)
    except UnicodeDecodeError as error:
        raise ReportError("%s: not text in %s" % (path, error.encoding)) from None
    sidecar = Sidecar(path=path)
    seen = {}
    for number, line in enumerate(text.replace("\r\n", "\n").split("\n"), 1):
        line = line.strip()
        if not line or line.startswith(";") or line.upper() == "[MORVIT]":
            continue
        key, equals, value = line.partition("=")
        key, value = key.strip(), value.strip()

        def unusable(why):
            return ReportError("%s:%d: %s; the keys allowed: %s" % (path, number, why, ", ".join(KEY_NAMES)))

        if not equals:
            raise unusable("not Key=Value: %r" % line[:60])
        if key.lower() not in FORMS:
            raise unusable("unknown key %r" % key[:60])
        name, form = FORMS[key.lower()]
        if name in seen:
            raise unusable("%s given again (first on line %d)" % (name, seen[name]))
        seen[name] = number
        if not value:
            continue  # left empty, as the template has it: not known
        if form == "number" and not NUMBER.fullmatch(value):
            raise unusable("%s must be a number, not %r" % (name, value[:60]))
        if form == "size":
            size = SIZE.fullmatch(value)
            if size is None:
                raise unusable("%s must be a number with KB or MB, not %r" % (name, value[:60]))
            value = "%s %sB" % (size.group(1), size.group(2).upper())
        sidecar.values[name] = value
    return sidecar
