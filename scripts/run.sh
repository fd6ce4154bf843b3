#!/usr/bin/env bash
# Builds MORVIT.EXE and runs it under Wine on a private headless screen, passing the arguments on:
#   scripts/run.sh [TestCount ReadCount BltToSysCount] [/I] [/W] [/Q] [/Dnum]
# MORVIT_SCREEN (default 1024x768x24) sets the screen; its exit status is the program's.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >&2
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target morvit >/dev/null
exec scripts/wine-run.sh --prefix build/win32/wineprefix build/win32/src/app/MORVIT.EXE "$@"
