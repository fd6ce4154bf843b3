#!/usr/bin/env bash
# Builds the bandwidth benchmark natively and for Win32 and runs both, the Win32 one under Wine.
#
#   bench/run.sh            build directories build/bench-native and build/bench-win32
#
# MORVIT_BENCH_NATIVE and MORVIT_BENCH_WIN32 choose other build directories. Exits non-zero when a
# reported rate and its independent timing differ by 1 % or more.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
native=${MORVIT_BENCH_NATIVE:-$root/build/bench-native}
win32=${MORVIT_BENCH_WIN32:-$root/build/bench-win32}
jobs=${MORVIT_JOBS:-2}

cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVIT_TESTS=OFF >/dev/null
ninja -C "$native" -j "$jobs" morvit_bench >/dev/null
cmake -S "$root" -B "$win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVIT_TESTS=OFF >/dev/null
ninja -C "$win32" -j "$jobs" morvit_bench >/dev/null

status=0
echo "Linux x86-64 (native build)"
"$native/bench/morvit_bench" || status=$?
echo
echo "Win32 (i486 build under Wine)"
"$root/scripts/wine-run.sh" --prefix "$win32/wineprefix" "$win32/bench/morvit_bench.exe" || status=$?
exit $status
