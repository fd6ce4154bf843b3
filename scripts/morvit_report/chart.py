"""A bar chart of the rates: one group per test, one bar per column (a run, or a group's median with its
min-max range), on a logarithmic MB/s axis."""

import io

from .model import TEST_LABELS, ReportError


def chart_bytes(comparison, file_format):
    """The chart as PNG or SVG bytes; the same runs give the same bytes."""
    figure = chart_figure(comparison)
    out = io.BytesIO()
    figure.savefig(out, format=file_format, metadata={"Date": None} if file_format == "svg" else None)
    figure.clf()
    return out.getvalue()


def chart_figure(comparison):
    """The chart as a matplotlib figure of its own, drawn by no window (the Agg backend)."""
    try:
        import matplotlib
    except ImportError:
        raise ReportError("--chart needs matplotlib: pip install \"morvit-report[chart]\" (on Debian: apt install "
                          "python3-matplotlib)") from None
    matplotlib.use("Agg")
    matplotlib.rcParams["svg.hashsalt"] = "morvit-report"  # the same runs give the same SVG
    import matplotlib.pyplot as plt
    from matplotlib.patches import Patch

    figure, axes = plt.subplots(figsize=(12, 8), dpi=100)
    columns = comparison.columns
    bar = 0.8 / len(columns)
    values, legend = [], []
    for i, column in enumerate(columns):
        color = "C%d" % (i % 10)
        ys, xs, ranges = [], [], [[], []]
        for k, test in enumerate(column.figures):
            # A logarithmic axis shows no zero or negative rate.
            if test.n and min(test.rates) > 0:
                median = test.median / 1e6
                ys.append(k - 0.4 + bar * (i + 0.5))
                xs.append(median)
                ranges[0].append(median - min(test.rates) / 1e6)
                ranges[1].append(max(test.rates) / 1e6 - median)
        values += [x - low for x, low in zip(xs, ranges[0])] + [x + high for x, high in zip(xs, ranges[1])]
        name = column.name
        spread = len(column.entries) > 1
        bars = axes.barh(ys, xs, height=bar * 0.9, color=color, xerr=ranges if spread else None,
                         error_kw={"ecolor": "black", "capsize": 2, "elinewidth": 1})
        if spread:
            name += " (median of %d, min-max)" % len(column.entries)
        legend.append(Patch(color=color, label=name if xs else name + " (no timed test)"))
        if len(columns) <= 4:
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
    plt.close(figure)  # pyplot forgets it; it stays drawable
    return figure
