"""A bar chart of the rates: one group per test, one bar per run, on a logarithmic MB/s axis."""

import io

from .model import TEST_LABELS, ReportError


def chart_bytes(names, runs, file_format):
    """The chart as PNG or SVG bytes; the same runs give the same bytes."""
    try:
        import matplotlib
    except ImportError:
        raise ReportError("--chart needs matplotlib (Debian package python3-matplotlib)") from None
    matplotlib.use("Agg")
    matplotlib.rcParams["svg.hashsalt"] = "morvit-report"  # the same runs give the same SVG
    import matplotlib.pyplot as plt
    from matplotlib.patches import Patch

    figure, axes = plt.subplots(figsize=(12, 8), dpi=100)
    bar = 0.8 / len(runs)
    values, legend = [], []
    for i, (name, run) in enumerate(zip(names, runs)):
        color = "C%d" % (i % 10)
        rates = {line.label: line.bytes_per_second / 1e6 for line in run.report_lines}
        ys, xs = [], []
        for k, label in enumerate(TEST_LABELS):
            if rates.get(label, 0) > 0:  # a logarithmic axis shows no zero or negative rate
                ys.append(k - 0.4 + bar * (i + 0.5))
                xs.append(rates[label])
        values += xs
        bars = axes.barh(ys, xs, height=bar * 0.9, color=color)
        legend.append(Patch(color=color, label=name if xs else name + " (no timed test)"))
        if len(runs) <= 4:
            axes.bar_label(bars, labels=["%.0f" % x for x in xs], padding=3, fontsize=8)
    axes.set_xscale("log")
    if values:
        axes.set_xlim(10 ** int(f"{min(values):e}".split("e")[1]), max(values) * 4)
    else:
        axes.set_xlim(1, 10)
        axes.text(0.5, 0.5, "no timed tests in these runs", transform=axes.transAxes, ha="center")
    axes.set_yticks(range(len(TEST_LABELS)), TEST_LABELS)
    axes.set_ylim(len(TEST_LABELS) - 0.5, -0.5)  # the first test on top
    axes.set_xlabel("Rate in MB/s ($10^6$ bytes per second), logarithmic scale")
    axes.set_ylabel("Test")
    axes.set_title("MORVIT memory bandwidth")
    axes.grid(axis="x", which="both", alpha=0.3)
    # Beside the bars, never over them.
    axes.legend(handles=legend, title="Run", loc="upper left", bbox_to_anchor=(1.01, 1))
    figure.tight_layout()
    out = io.BytesIO()
    figure.savefig(out, format=file_format, metadata={"Date": None} if file_format == "svg" else None)
    plt.close(figure)
    return out.getvalue()
