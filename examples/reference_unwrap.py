#!/usr/bin/env python3
"""Independent reference for kqhost's default run of the kqphasefix2 block.

    python3 reference_unwrap.py INPUT.csv OUTPUT.csv     (OUTPUT "-" writes to standard output)

The default run: double precision, running mode, one time step per output call, each value of a
step (each CSV column) unwrapped on its own as a running sequence, cutoff pi. Every arithmetic
operation below is one binary64 operation in the block's order, so the result should agree with
the block to the last bit. Plain Python on purpose: it shares no code with the block or kqhost.

Input: one line per time step, comma-separated numbers; blank lines and lines starting with '#'
are skipped. Output: the same shape, each value with 17 significant digits ('%.17g'), NaN as
"nan", infinities as "inf" and "-inf", after '#' lines that say how it was made.
"""

import math
import os
import sys

PI = 3.141592653589793
TWO_PI = 6.283185307179586
INV_TWO_PI = 0.15915494309189535
FLOOR_BIAS = 0.9999999999
CUTOFF = PI


def turn_count(t_biased):
    """k: the truncation toward zero, kept a whole binary64 number of any size (NaN and
    infinities pass through and make the step's correction NaN, which is never taken)."""
    if not math.isfinite(t_biased):
        return t_biased
    return float(math.trunc(t_biased))


def wrap_correction(prev, x, cumsum, cutoff):
    """One step: returns the new accumulated correction and the output sample."""
    d = x - prev
    u = d + PI
    t = u * INV_TWO_PI
    t_biased = t if t > 0.0 else t - FLOOR_BIAS
    k = turn_count(t_biased)
    p = (u - k * TWO_PI) - PI
    if p == -PI and d > 0.0:
        p = PI  # an upward step of exactly pi is not corrected
    c = p - d
    if cutoff < abs(c):
        cumsum = cumsum + c
    return cumsum, cumsum + x


def read_steps(lines):
    for number, line in enumerate(lines, start=1):
        text = line.strip()
        if not text or text.startswith("#"):
            continue
        try:
            yield [float(field) for field in text.split(",")]
        except ValueError:
            sys.exit("reference_unwrap.py: line %d: not a list of numbers: %r" % (number, text))


def format_value(value):
    return "nan" if math.isnan(value) else "%.17g" % value


def unwrap(lines, out):
    prev = cumsum = None
    for values in read_steps(lines):
        if prev is None:
            # The first call seeds each element's previous sample with its own value and a zero
            # correction; the step still runs (so its output is 0 + x).
            prev = list(values)
            cumsum = [0.0] * len(values)
        elif len(values) != len(prev):
            sys.exit("reference_unwrap.py: expected %d values per line, found %d"
                     % (len(prev), len(values)))
        outputs = []
        for i, x in enumerate(values):
            cumsum[i], y = wrap_correction(prev[i], x, cumsum[i], CUTOFF)
            prev[i] = x
            outputs.append(format_value(y))
        out.write(",".join(outputs) + "\n")


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: reference_unwrap.py INPUT.csv OUTPUT.csv")
    source, target = argv[1], argv[2]
    name = os.path.basename(source)
    header = ("# %s unwrapped by examples/reference_unwrap.py: double precision, running, one step\n"
              "# per call, each value on its own, cutoff pi (python3 reference_unwrap.py %s OUT.csv)\n"
              % (name, name))
    with open(source, encoding="utf-8") as lines:
        if target == "-":
            sys.stdout.write(header)
            unwrap(lines, sys.stdout)
        else:
            with open(target, "w", encoding="utf-8", newline="\n") as out:
                out.write(header)
                unwrap(lines, out)


if __name__ == "__main__":
    main(sys.argv)
