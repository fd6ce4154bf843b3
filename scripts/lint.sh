#!/usr/bin/env bash
# Checks the style the repository writes down: clang-format (.clang-format) over the C++ sources,
# clang-tidy's bug-finding families (.clang-tidy) over every translation unit of the native build,
# flake8 (.flake8) over the Python, shellcheck over the shell scripts. Prints each finding and exits
# non-zero when there is any. The native build's compile commands are configured when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${MORVIT_JOBS:-2}
status=0

mapfile -t cpp < <(git ls-files '*.cpp' '*.h' '*.inc')
echo "== clang-format: ${#cpp[@]} files"
clang-format --dry-run -Werror "${cpp[@]}" || status=1

[ -f build/native/compile_commands.json ] || cmake --preset native >/dev/null
mapfile -t units < <(python3 -c '
import json, os
for entry in json.load(open("build/native/compile_commands.json")):
    print(os.path.relpath(entry["file"]))' | sort -u)
echo "== clang-tidy: ${#units[@]} translation units"
# --quiet drops the counts of findings suppressed in system headers; findings in ours are errors.
printf '%s\n' "${units[@]}" | xargs -P "$jobs" -n 1 clang-tidy -p build/native --quiet 2>/dev/null || status=1

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
