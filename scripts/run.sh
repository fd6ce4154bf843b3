#!/usr/bin/env bash
# Builds MORVIT.EXE and runs it under Wine on a private headless screen, passing the arguments on:
#   scripts/run.sh [--display DISPLAY] [TestCount ReadCount BltToSysCount] [/I] [/W] [/Q] [/Dnum]
# MORVIT_SCREEN (default 1024x768x24) sets the screen; its exit status is the program's. On a host that cannot
# execute 32-bit programs it builds the exe and the release zip, says where they are, and exits with 69.
# --display (or MORVIT_DISPLAY) runs it on that existing X display instead, for example :0, the
# desktop's real screen: the video-memory write and copy tests then overwrite what it shows.
set -euo pipefail
cd "$(dirname "$0")/.."

display=${MORVIT_DISPLAY:-}
if [ "${1:-}" = --display ]; then
  if [ $# -lt 2 ]; then
    echo "usage: run.sh [--display DISPLAY] [MORVIT.EXE arguments...]" >&2
    exit 2
  fi
  display=$2
  shift 2
fi
runner_options=()
if [ -n "$display" ]; then
  runner_options=(--display "$display")
  echo "run.sh: running on display $display: the video-memory write and copy tests overwrite the visible screen" >&2
fi

bash scripts/install-deps.sh >&2
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target morvit >/dev/null

# shellcheck source=scripts/host32.sh
. scripts/host32.sh
if ! host_runs_32bit; then
  # What was built is still of use: the exe and the zip its users carry to a Windows PC.
  exe=build/win32/src/app/MORVIT.EXE
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/win32/CMakeCache.txt)
  what="copy $exe"
  if bash scripts/package.sh >/dev/null; then
    what="$what, or the release zip dist/morvit-$version.zip (the exe, its guide and checksums),"
  fi
  explain_no_32bit run.sh
  echo "  What to do: $what to a Windows PC and run it there; or use $host32_elsewhere." >&2
  exit "$host32_unavailable"
fi
exec scripts/wine-run.sh --prefix build/win32/wineprefix "${runner_options[@]}" build/win32/src/app/MORVIT.EXE "$@"
