"""Checks that docs/DEVELOPING.md's map is the repository's: its layer table names each folder of src/ once, in
the build's order from the top, each with the layers and headers the build lets it include (src/CMakeLists.txt's
morvit_layer calls); its folder table names each folder of the repository. Prints each difference; exits 1 on any.
  check_developing_map.py  (from the checkout's top)"""

import re
import subprocess
import sys
from pathlib import Path

guide = Path("docs/DEVELOPING.md").read_text()
build = Path("src/CMakeLists.txt").read_text()
problems = []

# The build's layers, bottom first, each with what it may include besides itself.
allowed = {}
for layer, items in re.findall(r"^morvit_layer\((\w+) ([^)]*)\)", build, re.MULTILINE):
    allowed[layer] = sorted(item for item in items.split() if item != layer)
rows = re.findall(r"^\| `src/(\w+)` \|[^|]*\| ([^|]*) \|$", guide, re.MULTILINE)
names = [layer for layer, _ in rows]
from_the_top = list(reversed(list(allowed)))
if names != from_the_top:
    problems.append("layer rows %s, but the build's layers from the top are %s" % (names, from_the_top))
folders = sorted(path.name for path in Path("src").iterdir() if path.is_dir())
if sorted(names) != folders:
    problems.append("layer rows %s, but src/ holds %s" % (sorted(names), folders))
for number, (layer, may_include) in enumerate(rows):
    if may_include == "all below":
        listed = names[number + 1:]
    else:
        # The layers named in words, and the headers in backticks.
        words = re.findall(r"\w+", re.sub(r"`[^`]*`", "", may_include))
        listed = [word for word in words if word in allowed] + re.findall(r"`(\w+/\w+\.h)`", may_include)
    if sorted(listed) != allowed.get(layer, []):
        problems.append("src/%s may include %s by the guide, %s by the build" % (layer, sorted(listed),
                                                                                 allowed.get(layer)))

tracked = subprocess.run(["git", "ls-files"], capture_output=True, text=True, check=True).stdout.split("\n")
top = sorted({path.split("/")[0] for path in tracked if "/" in path and not path.startswith(".")})
mapped = sorted(re.findall(r"^\| `(\w+)` \|", guide, re.MULTILINE) + ["src"])
if mapped != top:
    problems.append("folder rows %s, but the repository's folders are %s" % (mapped, top))

for problem in problems:
    print("docs/DEVELOPING.md: " + problem)
sys.exit(1 if problems else 0)
