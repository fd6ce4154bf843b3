"""Checks every report line's figures against each other and against the bytes the test moved."""

from fractions import Fraction

# Seconds are printed with 4 decimals, rounded half up: the measured time lies within this of them.
HALF_DIGIT = Fraction(1, 20000)


def surface_bytes(pitch, height):
    """The bytes of one pass as the program counts them: the surface in whole 4-byte words, in 32 bits."""
    words = ((pitch * height) & 0xFFFFFFFF) >> 2
    value = (words * 4) & 0xFFFFFFFF
    return value - (1 << 32) if value >= 1 << 31 else value


def rounded_units(value, unit):
    """Whole units, half up; a negative value is truncated, as the program's integer division does."""
    quotient = abs(value) // unit * (1 if value >= 0 else -1)
    return quotient + (1 if value - quotient * unit >= unit // 2 else 0)


def rate_range(total, seconds_text):
    """The lowest and highest rate (None where unbounded) that total bytes give over any time that prints
    as seconds_text: the quotient truncated toward zero, as the program converts it."""
    seconds = Fraction(seconds_text)
    if seconds_text.startswith("-"):
        # A negative time gives the rate of the negated bytes over the positive time.
        total, seconds = -total, -seconds
    if total == 0:
        return 0, 0
    at_longest = int(total / (seconds + HALF_DIGIT))
    # Up to no bound at all as the time nears zero (a time printed as 0.0000).
    at_shortest = int(total / (seconds - HALF_DIGIT)) if seconds > HALF_DIGIT else None
    return (at_longest, at_shortest) if total > 0 else (at_shortest, at_longest)


def line_problems(line):
    """What is wrong with a report line's figures, given its passes and the bytes they moved (None when
    the run does not tell): an empty list when they agree."""
    rate, total = line.bytes_per_second, line.bytes
    problems = []
    if total is not None:
        low, high = rate_range(total, line.seconds)
        # One byte per second either way for the rounding of the program's own 80-bit division.
        if (low is not None and rate < low - 1) or (high is not None and rate > high + 1):
            problems.append("%d bytes/s, but %d bytes (%d passes) in %s s give %s to %s" % (
                rate, total, line.passes, line.seconds, "any" if low is None else low, "any" if high is None else high))
    for figure, unit, printed in (("M", 10 ** 6, line.megabytes), ("G", 10 ** 9, line.gigabytes)):
        expected = rounded_units(rate, unit)
        if printed != expected:
            problems.append("%d%s, but %d bytes/s round to %d%s" % (printed, figure, rate, expected, figure))
    return problems


def check_run(run):
    """Gives every report line its passes and bytes and whether its figures agree. Every test moves the
    same surface, so the pitch printed after the system-memory tests counts for them too; a run that
    ended before printing it leaves the bytes unknown and only megabytes and gigabytes are checked."""
    pass_bytes = None
    if run.screen.pitch is not None and run.screen.height is not None:
        pass_bytes = surface_bytes(run.screen.pitch, run.screen.height)
    for line in run.report_lines:
        line.passes = run.settings.passes(line.label)
        line.bytes = None
        if pass_bytes is not None and line.passes is not None:
            line.bytes = pass_bytes * line.passes
        line.rate_low = line.rate_high = None
        if line.bytes is not None:
            line.rate_low, line.rate_high = rate_range(line.bytes, line.seconds)
        problems = line_problems(line)
        line.consistent = not problems
        line.problem = "; ".join(problems) if problems else None
