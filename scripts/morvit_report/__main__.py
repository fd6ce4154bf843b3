"""python -m morvit_report: the morvit-report command, for a Python whose scripts folder is not on the PATH."""

import sys

from .command import run_command

sys.exit(run_command())
