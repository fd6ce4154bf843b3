#!/usr/bin/env bash
# Builds everything and runs every test: the native build (with the companion's, its wheel installed and run
# among them), the native build under AddressSanitizer and UndefinedBehaviorSanitizer, the Win32 build under
# Wine, the release (the zip, the companion's wheel and source distribution), and a bounded fuzzing run.
# Installs what it needs first. Exits non-zero when any build or test fails. On a host that cannot execute
# 32-bit programs the Win32 tests that start Wine are skipped (CTest reports them so), and the last line says
# how many and why.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# shellcheck source=scripts/host32.sh
. scripts/host32.sh
runs_32bit=1
if ! host_runs_32bit; then
  runs_32bit=
  explain_no_32bit test.sh
  echo "  The Win32 tests that start Wine are skipped and everything else runs; for them, use $host32_elsewhere." >&2
fi

jobs=${MORVIT_JOBS:-2}
fuzz_seconds=${MORVIT_FUZZ_SECONDS:-30}
status=0

for preset in native sanitize win32; do
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs" || status=1
done

echo "== package: build, check, build again"
if bash scripts/package.sh; then
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/win32/CMakeCache.txt)
  package=dist/morvit-$version.zip
  python3 tests/tools/check_package.py "$package" build/win32/src/app/MORVIT.EXE "$version" || status=1
  # Zip times have a resolution of 2 s: a second release made later must still be the same bytes.
  sleep 2
  again=$(mktemp -d)
  if bash scripts/package.sh "$again" >/dev/null; then
    for file in "morvit-$version.zip" "morvit_report-$version-py3-none-any.whl" "morvit-report-$version.tar.gz"; do
      cmp "dist/$file" "$again/$file" || { echo "FAIL a second $file differs from dist/$file"; status=1; }
    done
  else
    status=1
  fi
  rm -rf "$again"
else
  status=1
fi

echo "== fuzz: build and run for ${fuzz_seconds} s"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
bash scripts/fuzz.sh "$fuzz_seconds" || status=1

summary="all tests passed"
[ "$status" -eq 0 ] || summary="some tests FAILED"
if [ -z "$runs_32bit" ]; then
  # CTest shows a skipped test's status, not its output: the names and the reason are said here.
  mapfile -t skipped < <(ctest --preset win32 -N -L wine | sed -n 's/^ *Test *#[0-9]*: //p')
  echo "== skipped, as they need Wine: ${skipped[*]}"
  [ "$status" -eq 0 ] && summary="all tests that ran passed"
  summary="$summary; ${#skipped[@]} Win32 tests skipped: this host cannot execute 32-bit programs, so Wine cannot run"
fi
echo "== $summary"
exit "$status"
