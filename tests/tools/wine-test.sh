#!/usr/bin/env bash
# Runs a test that starts Win32 programs under Wine, or skips it where this host cannot execute 32-bit
# programs: CTest reports the status below as "Skipped" (the tests' SKIP_RETURN_CODE) and shows the reason.
#   wine-test.sh COMMAND [ARGS...]
# shellcheck source=scripts/host32.sh
. "$(dirname "$0")/../../scripts/host32.sh"
if ! host_runs_32bit; then
  echo "Skipped: this host cannot execute 32-bit x86 programs, so Wine cannot run (scripts/host32.sh)"
  exit 77
fi
exec "$@"
