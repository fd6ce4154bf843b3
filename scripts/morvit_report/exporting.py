"""The report lines as CSV, and everything read from the runs as JSON."""

import csv
import io
import json

CSV_COLUMNS = ["file", "line", "label", "seconds", "bytes_per_second", "megabytes", "gigabytes", "passes", "bytes",
               "consistent"]


def csv_text(names, runs):
    """One row per report line; the seconds as printed, an empty cell where the run does not tell (the csv
    module writes None so)."""
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(CSV_COLUMNS)
    for name, run in zip(names, runs):
        for line in run.report_lines:
            writer.writerow([name, line.line, line.label, line.seconds, line.bytes_per_second, line.megabytes,
                             line.gigabytes, line.passes, line.bytes, "true" if line.consistent else "false"])
    return out.getvalue()


def json_text(names, paths, runs):
    files = [dict({"name": name, "path": path}, **run.to_json()) for name, path, run in zip(names, paths, runs)]
    return json.dumps({"files": files}, indent=2) + "\n"
