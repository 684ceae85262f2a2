"""Phase signals for the module's tests: ordinary wrapped phase with the hard values mixed in."""
import numpy as np

# Values that test the step's edges: signed zeros, subnormals, huge and non-finite values.
_HARD_VALUES = [0.0, -0.0, 5e-324, -1e-310, 1e-40, 3e9, -7.5e12, 1e300, -1e300,
                np.inf, -np.inf, np.nan]
# Pairs (v, x) whose step is exactly pi, -pi, 3*pi or -3*pi, or just beyond -pi.
_STEP_PAIRS = [(0.0, np.pi), (0.0, -np.pi), (0.0, 3 * np.pi), (np.pi, 0.0),
               (0.0, np.nextafter(-np.pi, -4.0))]


def hard_phase(shape, dtype=np.float64, seed=0, hard_fraction=0.02):
    """Wrapped phase in (-pi, pi] of a random walk with wraps on about a third of the steps;
    about hard_fraction of the samples are hard values or exact steps. Time runs along the
    last axis of `shape` in C order."""
    rng = np.random.default_rng(seed)
    n = int(np.prod(shape))
    walk = np.cumsum(rng.normal(0.4, 1.8, n))
    x = np.angle(np.exp(1j * walk))
    picks = np.flatnonzero(rng.random(n) < hard_fraction)
    for i in picks:
        if rng.random() < 0.5 and i > 0:
            x[i - 1], x[i] = _STEP_PAIRS[rng.integers(len(_STEP_PAIRS))]
        else:
            x[i] = _HARD_VALUES[rng.integers(len(_HARD_VALUES))]
    # Exact steps are exact in the data's own precision: the pairs are cast together.
    with np.errstate(over="ignore"):
        return x.astype(dtype).reshape(shape)
