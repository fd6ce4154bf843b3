"""Compares saved MORVIT runs; scripts/report is its command line.

reading turns a file into a model.Run, checking checks its report lines' figures, rendering makes the
table, exporting the CSV and JSON, chart the bar chart, writing writes the files all or none, and command
ties them together. Each module uses model and none of the others, except command.
"""
