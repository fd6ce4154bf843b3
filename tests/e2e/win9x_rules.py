"""MORVIT.EXE's calls held to what Windows 95, 98 and ME ask of a caller, where Wine takes what they refuse: a relay
trace (+pid,+loaddll,+relay) gives every call the program's image makes, its own code's and the runtime's, and each
is checked against cmake/win9x-rules.txt. The fault probe's own functions stand in for the system: not checked."""

import bisect
import os
import re
import subprocess
from pathlib import Path

from harness import RUNNER, double_env, header, keyed, read_record, run

RULES = Path(__file__).resolve().parents[2] / "cmake" / "win9x-rules.txt"
NM, SYMBOLS = os.environ.get("MORVIT_NM"), os.environ.get("MORVIT_SYMBOLS")
CALL = re.compile(r"([0-9a-f]{4}):[0-9a-f]{4}:Call [\w.]+\.(\w+)\((.*)\) ret=([0-9a-f]{8})$")
LOADED = re.compile(r'([0-9a-f]{4}):[0-9a-f]{4}:trace:loaddll:\w+ Loaded L"[^"]*\\\\([^"\\]+)" at ([0-9a-f]{8})')
# An argument as the relay channel shows it: its value, and a string's text after it.
ARGUMENT = re.compile(r'([0-9a-f]+)(?: L?"(?:[^"\\]|\\.)*")?(?:,|$)')


def read_rules():
    """Function name -> (its rules, the documentation's words and source)."""
    rules = {}
    for line in RULES.read_text(encoding="utf-8").splitlines():
        body, _, source = line.partition("#")
        if body.strip():
            name, *kinds = body.split()
            rules[name.split("!", 1)[1]] = (kinds, source.strip())
    return rules


class Symbols:
    """The functions of an image, by address, from nm; the program's own code is MORVIT's namespace and main."""

    def __init__(self, path):
        listing = subprocess.run([NM, "-n", "-C", "--defined-only", path], check=True, capture_output=True, text=True)
        rows = [line.split(" ", 2) for line in listing.stdout.splitlines()]
        self.end = max(int(address, 16) for address, _, _ in rows)  # the image's last symbol, past all its code
        rows = [(int(address, 16), name) for address, kind, name in rows if kind in "tT"]
        self.addresses = [address for address, _ in rows]
        self.names = [name for _, name in rows]

    def function_at(self, address):
        return self.names[bisect.bisect_right(self.addresses, address) - 1]


def breaches(trace, program, symbols, skipped, rules):
    """The calls the traced program's image made, and each breach of a rule, as a sentence."""
    pid, base = next((match.group(1), int(match.group(3), 16)) for match in map(LOADED.match, trace)
                     if match and match.group(2).lower() == os.path.basename(program).lower())
    checked, found = 0, []
    for call in filter(None, map(CALL.match, trace)):
        caller_address = int(call.group(4), 16)
        if call.group(1) != pid or not base <= caller_address < symbols.end:
            continue
        caller = symbols.function_at(caller_address)
        if caller in skipped:
            continue
        checked += 1
        name, arguments = call.group(2), ARGUMENT.findall(call.group(3))
        # Wine's kernel32 passes some functions on to ntdll's Rtl functions of the same name.
        if name not in rules and name.startswith("Rtl"):
            name = name[3:]
        if name not in rules:
            found.append("%s, called from %s: no rule covers it" % (name, caller))
            continue
        kinds, source = rules[name]
        for kind in kinds:
            what, _, detail = kind.partition(":")
            if what == "nonnull" and int(arguments[int(detail) - 1], 16) == 0:
                found.append("%s argument %s is null, called from %s: %s" % (name, detail, caller, source))
            elif what == "lacks":
                number, mask = detail.split(":")
                if int(arguments[int(number) - 1], 16) & int(mask, 16):
                    found.append("%s argument %s is %s, with a flag of %s, called from %s: %s" % (
                        name, number, arguments[int(number) - 1], mask, caller, source))
            elif what == "unicode" and (caller.startswith("morvit::") or caller == "main"):
                found.append("%s, a Unicode stub on 9x, called by the program's code in %s: %s" % (
                    name, caller, source))
    return checked, found


def prepare_prefix(options):
    """A prefix whose relay channel traces only calls made from the programs' images, critical sections included."""
    debug = "HKCU\\Software\\Wine\\Debug"
    for value, data in (("RelayFromInclude", "MORVIT.EXE;fault_probe.exe"), ("RelayExclude", "none.none")):
        run(["add", debug, "/v", value, "/d", data, "/f"], "reg", runner_options=options)
    run(["delete", debug, "/v", "RelayFromExclude", "/f"], "reg", runner_options=options)


KEY = "a key"  # the run is given a Ctrl+C in its first memory test, through a terminal
TRACED = {"MORVIT_WINEDEBUG": "+pid,+loaddll,+relay"}


def traced_run(folder, program, args, script, options):
    """Runs a program traced, against the double when a script is given: its result, with the record, and the trace."""
    trace = folder / "trace"
    env = dict(double_env(folder, "" if script == KEY else script), **TRACED) if script is not None else TRACED
    if script == KEY:
        command = ["sh", "-c", 'exec "$@" 2>"$0"', str(trace)] + RUNNER + options + [program] + args
        result = keyed(command, header("SysMem Read").rstrip(), env=env)
    else:
        with open(trace, "wb") as err:
            result = run(args, program, env=env, runner_options=options, stderr=err)
    result.record = read_record(folder)
    return result, trace.read_text(encoding="latin-1").splitlines()
