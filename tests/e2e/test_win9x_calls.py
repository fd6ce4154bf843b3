"""MORVIT.EXE's calls into the system held to what Windows 95, 98 and ME ask of a caller, which Wine does not: Wine
takes a null that 9x refuses, a flag it lacks, a Unicode function it only stubs. Each run below is traced by Wine's
relay channel (every call into a system DLL with its arguments and return address), in a prefix of its own that
traces only calls made from the programs' images, and every call made from the program's image, its own code's and
the runtime's, is checked against cmake/win9x-rules.txt. The fault probe's own scaffolding (its functions that
MORVIT.EXE does not have) stands in for the system and is not checked."""

import bisect
import os
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import DOUBLE, EXE, PROBE, RUNNER, double_env, header, keyed, run, win32_only

RULES = Path(__file__).resolve().parents[2] / "cmake" / "win9x-rules.txt"
NM, OBJDUMP, SYMBOLS = os.environ.get("MORVIT_NM"), os.environ.get("MORVIT_OBJDUMP"), os.environ.get("MORVIT_SYMBOLS")
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
        rows = [(int(address, 16), name) for address, kind, name in rows if kind in "tT"]
        self.addresses = [address for address, _ in rows]
        self.names = [name for _, name in rows]

    def function_at(self, address):
        return self.names[bisect.bisect_right(self.addresses, address) - 1]


def image_size(path):
    dump = subprocess.run([OBJDUMP, "-p", path], check=True, capture_output=True, text=True)
    return int(re.search(r"^SizeOfImage\s+([0-9a-f]+)$", dump.stdout, re.M).group(1), 16)


def breaches(trace, program, symbols, skipped, rules):
    """The calls the traced program's image made, and each breach of a rule, as a sentence."""
    pid, base = next((match.group(1), int(match.group(3), 16)) for match in map(LOADED.match, trace)
                     if match and match.group(2).lower() == os.path.basename(program).lower())
    end, checked, found = base + image_size(program), 0, []
    for call in filter(None, map(CALL.match, trace)):
        caller_address = int(call.group(4), 16)
        if call.group(1) != pid or not base <= caller_address < end:
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


KEY = "a key"  # the run is given a Ctrl+C in its first memory test, through a terminal
ROWS = [  # name, the traced program, its arguments, the double's script (None: Wine's DirectDraw, or the probe)
    ("a complete run on Wine's DirectDraw", EXE, ["2", "1", "2", "/W", "/Q"], None),
    ("/I on Wine's DirectDraw", EXE, ["/I"], None),
    ("a failing step", DOUBLE, ["2", "1", "1"], "fail Blt sysmem<primary 2 80004005"),
    ("a key in a memory test", DOUBLE, ["100000"], KEY),
    ("a fault on another thread", PROBE, ["thread-fault"], None),
    ("the console's closing", PROBE, ["close"], None)]
TRACED = {"MORVIT_WINEDEBUG": "+pid,+loaddll,+relay"}


@win32_only
class Win9xCallsTest(unittest.TestCase):
    def traced_run(self, folder, program, args, script, options):
        """Runs a row's program with the relay trace on: the trace's lines."""
        trace = folder / "trace"
        if script == KEY:
            command = ["sh", "-c", 'exec "$@" 2>"$0"', str(trace)] + RUNNER + options + [program] + args
            env = dict(double_env(folder, ""), **TRACED)
            self.assertEqual(keyed(command, header("SysMem Read").rstrip(), env=env).status, 1, "the key's run")
        else:
            env = dict(double_env(folder, script), **TRACED) if script is not None else TRACED
            with open(trace, "wb") as err:
                run(args, program, env=env, runner_options=options, stderr=err)
        return trace.read_text(encoding="latin-1").splitlines()

    def test_every_call_keeps_the_9x_rules(self):
        rules = read_rules()
        program_symbols, probe_symbols = Symbols(SYMBOLS), Symbols(PROBE)
        scaffolding = set(probe_symbols.names) - set(program_symbols.names)
        options = ["--prefix", os.path.join(os.environ["MORVIT_BUILD"], "wineprefix-relay"), "--screen", "320x200x24"]
        debug = "HKCU\\Software\\Wine\\Debug"
        for value, data in (("RelayFromInclude", "MORVIT.EXE;fault_probe.exe"), ("RelayExclude", "none.none")):
            run(["add", debug, "/v", value, "/d", data, "/f"], "reg", runner_options=options)
        run(["delete", debug, "/v", "RelayFromExclude", "/f"], "reg", runner_options=options)
        # Windows 98 as GetVersion tells it, and an NT: the key's handling differs between the two.
        for version in ("win98", "winxp"):
            run(["add", "HKCU\\Software\\Wine", "/v", "Version", "/d", version, "/f"], "reg", runner_options=options)
            for name, program, args, script in ROWS:
                case = "%s, %s" % (name, version)
                with self.subTest(case), tempfile.TemporaryDirectory() as folder:
                    lines = self.traced_run(Path(folder), program, args, script, options)
                    probe = program == PROBE
                    checked, found = breaches(lines, program, probe_symbols if probe else program_symbols,
                                              scaffolding if probe else set(), rules)
                    print("%s: %d calls checked" % (case, checked))
                    self.assertGreater(checked, 0, case)
                    self.assertEqual(found, [], case)


if __name__ == "__main__":
    unittest.main()
