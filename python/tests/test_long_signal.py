"""Long signals do not drift: the corrections of 8 million steps between values uniform in
+-1e9 rad leave every output within a small distance of its input plus whole turns."""
import numpy as np

import kqphasefix2
from exact_phase_error import phase_error

SAMPLES = 8 * 2**20


def test_no_drift_over_8_million_samples_uniform_in_1e9():
    x = np.random.default_rng(27609).uniform(-1e9, 1e9, SAMPLES)
    error = phase_error(x, kqphasefix2.unwrap(x))
    # A corrected step of ~1e9 rad is rounded to ~1e-7 rad; errors that all leaned one way
    # would add up to ~0.1 rad over this signal (numpy.unwrap's do), unbiased ones to ~1e-4.
    assert error.max() < 1e-3
    # The output really is unwrapped: every step is at most half a turn.
    assert np.all(np.abs(np.diff(kqphasefix2.unwrap(x))) <= np.pi + 1e-6)


def test_a_long_signal_in_chunks_is_the_signal_in_one_call():
    x = np.random.default_rng(1).uniform(-1e9, 1e9, 2**20)
    unwrapper = kqphasefix2.Unwrapper(1)
    chunks = np.concatenate([unwrapper.process(part) for part in np.array_split(x, 97)])
    assert np.array_equal(chunks, kqphasefix2.unwrap(x))
