"""How far an unwrapped signal is from its input in phase: the distance of output - input from
the nearest whole number of turns, computed to about 1e-12 rad, far below the errors measured.

output - input is taken exactly as a sum of two doubles, and the turns are taken off with 2*pi
split into three parts (Cody and Waite): the first two have 21 significant bits, so their
products with turn counts below 2**31 are exact.
"""
import math
from fractions import Fraction

import numpy as np

# 2*pi to 68 digits.
_TWO_PI = Fraction("6.28318530717958647692528676655900576839433879875021164194988918461563")


def _leading_bits(value, bits):
    """value truncated to its first `bits` significant bits, as a float."""
    _, exponent = math.frexp(float(value))
    scale = Fraction(2) ** (bits - exponent)
    return float(math.floor(value * scale) / scale)


_C1 = _leading_bits(_TWO_PI, 21)
_C2 = _leading_bits(_TWO_PI - Fraction(_C1), 21)
_C3 = float(_TWO_PI - Fraction(_C1) - Fraction(_C2))


def phase_error(x, y):
    """|y - x - 2*pi*k| for the nearest whole k, sample by sample, in float64."""
    x = np.asarray(x, np.float64)
    y = np.asarray(y, np.float64)
    hi = y - x
    # Two-sum: hi + lo == y - x exactly.
    back = hi - y
    lo = (y - (hi - back)) + (-x - back)
    k = np.rint(hi / (2 * np.pi))
    assert np.all(np.abs(k) < 2.0 ** 31), "turn counts beyond the exact range"
    return np.abs((((hi - k * _C1) - k * _C2) - k * _C3) + lo)
