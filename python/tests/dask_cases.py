"""Signals and chunkings that hurt a chunked unwrap, shared by the dask tests: chunk edges next
to wraps and to special values, chunks of one and two samples, uneven and empty chunks."""
import math
import time

import numpy as np

from bit_checks import assert_identical  # noqa: F401 (the dask tests import it from here)
from signals import hard_phase

# A channel of 40 samples with a wrap at sample WRAP (the step from WRAP - 1 to WRAP takes a turn).
LENGTH = 40
WRAP = 20

# name -> chunks along a channel of LENGTH samples.
CHANNEL_CHUNKS = {
    "one chunk": (LENGTH,),
    "chunks of 1": (1,) * LENGTH,
    "chunks of 2": (2,) * (LENGTH // 2),
    "chunks of 10": (10,) * (LENGTH // 10),
    "uneven": (3, 7, 1, 13, 16),
    "edge before the wrap": (WRAP - 1, LENGTH - WRAP + 1),
    "edge at the wrap": (WRAP, LENGTH - WRAP),
    "edge after the wrap": (WRAP + 1, LENGTH - WRAP - 1),
    "empty chunks": (0, 5, 0, 0, 15, 0, 20, 0),
}


def _channel(special):
    """One channel: wrapped phase, a wrap at WRAP, and a special value next to chunk edges."""
    x = np.angle(np.exp(1j * np.linspace(0.0, 9.0, LENGTH)))
    x[WRAP - 1], x[WRAP] = 3.0, -3.0
    if special == "nan":
        x[[5, 13, 19, 21]] = np.nan
    elif special == "nan at sample 0":
        x[0] = np.frombuffer(np.array([0x7FF800000000BEEF], np.uint64).tobytes(), np.float64)[0]
    elif special == "-0 at sample 0":
        x[0] = -0.0
    elif special == "infinity":
        x[[4, 20]] = [np.inf, -np.inf]
    elif special == "huge jump":
        x[WRAP - 1], x[WRAP] = 0.0, 1e11
    elif special == "hard values":
        x = hard_phase((LENGTH,), np.float64, seed=11, hard_fraction=0.3)
    return x


SPECIALS = ["plain", "nan", "nan at sample 0", "-0 at sample 0", "infinity", "huge jump",
            "hard values"]
# Either side of the kernels' calm bound 1e-15, and negative: the taken pass compares magnitudes.
CUTOFFS = [math.pi, 0.0, 1e-16, 2e-15, 7.0, -7.0]


def channels(count, special, dtype):
    """count channels, each the special channel with its samples rolled by the channel's index
    % 3, so that the special values meet the chunk edges at other places in other channels."""
    base = _channel(special)
    rows = [np.roll(base, r % 3) if special != "nan at sample 0" else base for r in range(count)]
    with np.errstate(over="ignore"):
        return np.array(rows).astype(dtype)




def slowly(block):
    """The block itself, a little later: stretches a run on a cluster so that a worker can be
    stopped during it. Here so that the workers import it by name."""
    time.sleep(0.05)
    return block
