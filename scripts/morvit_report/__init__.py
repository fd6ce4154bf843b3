"""Compares saved MORVIT runs: the command morvit-report, also python -m morvit_report (scripts/report in a clone).

reading turns a file into a model.Run, sidecar reads what its PC is, checking checks its report lines'
figures, grouping makes the columns (repeats grouped, a baseline's changes, the settings that differ, the
marks), rendering makes the table, exporting the CSV and JSON, chart the bar chart, writing writes the files
all or none, and command ties them together. Each module uses model; sidecar uses reading's decoding,
rendering, exporting and chart use grouping too; command uses them all.
"""

# MORVIT's version, project() in the top CMakeLists.txt: package.sh refuses a release where they differ.
__version__ = "1.0.0"
