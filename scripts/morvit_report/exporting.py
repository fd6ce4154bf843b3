"""The report lines as CSV, and everything read from the runs, their sidecars and columns as JSON."""

import csv
import io
import json

from .grouping import is_cache_resident, is_short, suggested_count
from .model import SIDECAR_KEYS

# The group's settings as the table shows them, in the order of grouping.SETTINGS.
SETTING_KEYS = ["screen", "pitch", "test_count", "read_count", "blt_to_sys_count", "switches", "device"]
SIDECAR_COLUMNS = [key.lower() for key, _ in SIDECAR_KEYS]
CSV_COLUMNS = ["file", "line", "label", "seconds", "bytes_per_second", "megabytes", "gigabytes", "passes", "bytes",
               "consistent", "group", "short", "suggested_count", "cache_resident"] + SIDECAR_COLUMNS


def true_or_false(value):
    return "true" if value else "false"


def csv_text(comparison):
    """One row per report line; the seconds as printed, an empty cell where the run does not tell (the csv
    module writes None so)."""
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(CSV_COLUMNS)
    for column in comparison.columns:
        for entry in column.entries:
            pc = {} if entry.sidecar is None else entry.sidecar.values
            for line in entry.run.report_lines:
                writer.writerow([entry.name, line.line, line.label, line.seconds, line.bytes_per_second,
                                 line.megabytes, line.gigabytes, line.passes, line.bytes,
                                 true_or_false(line.consistent), column.name, true_or_false(is_short(line)),
                                 suggested_count(line) if is_short(line) else None,
                                 true_or_false(is_cache_resident(entry, line.label))]
                                + [pc.get(key) for key, _ in SIDECAR_KEYS])
    return out.getvalue()


def file_json(column, entry):
    document = {"name": entry.name, "path": entry.path, "sha256": entry.run.sha256, "group": column.name,
                "sidecar": None if entry.sidecar is None else entry.sidecar.to_json()}
    document.update(entry.run.to_json())
    for line, line_document in zip(entry.run.report_lines, document["report_lines"]):
        line_document["short"] = is_short(line)
        line_document["suggested_count"] = suggested_count(line) if is_short(line) else None
        line_document["cache_resident"] = is_cache_resident(entry, line.label)
    return document


def figures_json(figure):
    rates = figure.rates
    return {"label": figure.label, "n": figure.n, "median": figure.median, "min": min(rates) if rates else None,
            "max": max(rates) if rates else None, "spread_percent": figure.spread, "unsteady": figure.unsteady,
            "short": bool(figure.short), "cache_resident": figure.cache_resident, "change_percent": figure.change,
            "within_noise": figure.within_noise}


def json_text(comparison):
    files, groups = [], []
    for column in comparison.columns:
        files += [file_json(column, entry) for entry in column.entries]
        groups.append({"name": column.name, "machine": column.entries[0].machine(),
                       "files": [entry.name for entry in column.entries],
                       "settings": dict(zip(SETTING_KEYS, column.settings)),
                       "tests": [figures_json(figure) for figure in column.figures]})
    differences = [{"setting": setting, "values": [{"value": value, "columns": names} for value, names in values]}
                   for setting, values in comparison.differences]
    document = {"files": files, "groups": groups, "baseline": comparison.baseline, "differences": differences}
    return json.dumps(document, indent=2) + "\n"
