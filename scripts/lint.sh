#!/usr/bin/env bash
# Checks the style the repository writes down: clang-format (.clang-format) over the C++ sources,
# clang-tidy's bug-finding families and naming convention (.clang-tidy) over every translation unit of the native
# and Win32 builds, clang's -Wcomma over the tests, the developer's map against the layers and folders, flake8
# (.flake8) over the Python, shellcheck over the shell scripts. Prints each finding and exits non-zero when there
# is any. The builds' compile commands are configured when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${MORVIT_JOBS:-2}
status=0

mapfile -t cpp < <(git ls-files '*.cpp' '*.h' '*.inc')
echo "== clang-format: ${#cpp[@]} files"
clang-format --dry-run -Werror "${cpp[@]}" || status=1

# Each build's compile commands, configured when missing. Win32 files are read with clang's mingw-w64 target and
# their cross compiler's C++ headers, which clang does not find alone.
for preset in native fuzz win32; do
  [ -f "build/$preset/compile_commands.json" ] || cmake --preset "$preset" >/dev/null
done
mapfile -t checks < <(python3 - <<'END'
import functools, json, os, shlex, subprocess


@functools.cache
def mingw_target(compiler):
    search = subprocess.run([compiler, "-xc++", "-E", "-v", os.devnull], capture_output=True, text=True).stderr
    folders = [line.strip() for line in search.splitlines() if line.startswith(" /") and "/c++" in line]
    return ["--target=i686-w64-mingw32", "-nostdinc++"] + ["-isystem" + folder for folder in folders]


tidy, comma = set(), set()
for build in ("native", "fuzz", "win32"):
    for entry in json.load(open(f"build/{build}/compile_commands.json")):
        source, command = os.path.relpath(entry["file"]), shlex.split(entry["command"])
        if not source.endswith(".cpp"):
            continue
        target = mingw_target(command[0]) if build == "win32" else []
        # clang-tidy reads the native and the Win32 build: the platform halves, the double and the probes differ.
        if build != "fuzz":
            extra = ["--extra-arg-before=" + arg for arg in target[:1]] + ["--extra-arg=" + arg for arg in target[1:]]
            tidy.add(shlex.join(["clang-tidy", "-p", "build/" + build, "--quiet", *extra, source]))
        # Tests are written as plain statements: clang's -Wcomma over every C++ file of tests/ and fuzz/, read as
        # each build that compiles it reads it (defines, include folders: a file sees only the layers it may use).
        if source.startswith(("tests/", "fuzz/")):
            flags = [arg for arg in command if arg.startswith(("-I", "-D", "-std="))]
            comma.add(shlex.join(["clang++", *target, *flags, "-fsyntax-only", "-Wno-everything", "-Wcomma",
                                  "-Werror=comma", source]))
for kind, lines in (("tidy", tidy), ("comma", comma)):
    for line in sorted(lines):
        print(kind, line)
END
)
mapfile -t tidy_checks < <(printf '%s\n' "${checks[@]}" | sed -n 's/^tidy //p')
mapfile -t comma_checks < <(printf '%s\n' "${checks[@]}" | sed -n 's/^comma //p')

echo "== clang-tidy: ${#tidy_checks[@]} translation units of the native and Win32 builds"
[ "${#tidy_checks[@]}" -gt 0 ] || status=1
# --quiet drops the counts of findings suppressed in system headers; findings in ours are errors.
printf '%s\n' "${tidy_checks[@]}" | xargs -d '\n' -P "$jobs" -I {} sh -c '{} 2>/dev/null' || status=1

echo "== clang -Wcomma: ${#comma_checks[@]} compilations of test files"
[ "${#comma_checks[@]}" -gt 0 ] || status=1
for check in "${comma_checks[@]}"; do
  eval "$check" || status=1
done

echo "== docs/DEVELOPING.md: its layer and folder tables against src/CMakeLists.txt and the folders"
python3 scripts/check_developing_map.py || status=1

mapfile -t python < <(git ls-files '*.py'; echo scripts/report)
echo "== flake8: ${#python[@]} files"
flake8 "${python[@]}" || status=1

mapfile -t shell < <(git ls-files '*.sh'; echo .ci/run)
echo "== shellcheck: ${#shell[@]} files"
shellcheck "${shell[@]}" || status=1

if [ "$status" -ne 0 ]; then
  echo "== lint FAILED"
else
  echo "== lint passed"
fi
exit "$status"
