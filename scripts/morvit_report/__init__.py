"""Compares saved MORVIT runs; scripts/report is its command line.

reading turns a file into a model.Run, sidecar reads what its PC is, checking checks its report lines'
figures, grouping makes the columns (repeats grouped, a baseline's changes, the settings that differ, the
marks), rendering makes the table, exporting the CSV and JSON, chart the bar chart, writing writes the files
all or none, and command ties them together. Each module uses model; rendering, exporting and chart use
grouping too; command uses them all.
"""
