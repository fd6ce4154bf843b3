# shellcheck shell=bash
# The release's time, sourced by the scripts that write it: SOURCE_DATE_EPOCH as given, else the last commit's
# time, exported so that every file they write is dated by it.
#   release_time SCRIPT-NAME    (fails, saying why, outside a git checkout without SOURCE_DATE_EPOCH)
release_time() {
  if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    if ! SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null); then
      echo "$1: not a git checkout: set SOURCE_DATE_EPOCH to the release's time" >&2
      return 1
    fi
  fi
  export SOURCE_DATE_EPOCH
}
