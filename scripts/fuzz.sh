#!/usr/bin/env bash
# Runs the command-line fuzzer of the fuzz preset for the given number of seconds (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
corpus=build/fuzz/corpus
mkdir -p "$corpus"
cp fuzz/seeds/* "$corpus"/ 2>/dev/null || true
ASAN_OPTIONS=handle_segv=0:handle_sigfpe=0:allow_user_segv_handler=1 \
  build/fuzz/fuzz/command_line_fuzzer -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 "$corpus"
