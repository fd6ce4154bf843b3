#!/usr/bin/env bash
# Builds the companion for the PC that compares runs, from scripts/pyproject.toml, into FOLDER (dist/ by default,
# relative to the checkout's top): the wheel morvit_report-VERSION-py3-none-any.whl, which pip installs, and the
# source distribution morvit-report-VERSION.tar.gz. The same bytes every time for the same sources: flit_core
# dates every member at the last commit's time (or SOURCE_DATE_EPOCH) and fixes their order and modes. Offline:
# the build front end and flit_core are Debian's (install-deps.sh), used without build isolation.
#   scripts/build-companion.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-dist}
# shellcheck source=scripts/release-time.sh
. scripts/release-time.sh
release_time build-companion.sh
mkdir -p "$out"
# Debian's interpreter, whose packages the build tools are: another python3 first on the PATH lacks them.
if ! log=$(/usr/bin/python3 -m build --no-isolation --outdir "$out" scripts 2>&1); then
  echo "$log" >&2
  exit 1
fi
# flit_core writes the wheel through a private temporary file.
chmod 644 "$out"/morvit_report-*.whl "$out"/morvit-report-*.tar.gz
