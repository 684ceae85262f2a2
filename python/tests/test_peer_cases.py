"""Test cases of two peers, numpy (TestUnwrap in numpy/lib/tests/test_function_base.py) and
DSP.jl (the "Unwrap 1D" testset of test/unwrap.jl), with their inputs and expected outputs.
Where a peer works in another period, its numbers are scaled to radians. Where the block's rule
differs from a peer's by design, the test shows the difference."""

import numpy as np
import pytest
from numpy.testing import assert_allclose, assert_array_equal

import kqphasefix2

TWO_PI = 2 * np.pi


def in_radians(values, period):
    return np.asarray(values, dtype=np.float64) * (TWO_PI / period)


# numpy


def test_numpy_simple():
    assert_array_equal(kqphasefix2.unwrap([1, 1 + TWO_PI]), [1, 1])
    # Continuity after unwrapping random values in [0, 100).
    x = np.random.default_rng(0).random(10) * 100
    assert np.all(np.diff(kqphasefix2.unwrap(x)) < np.pi)


@pytest.mark.parametrize("period, values, expected", [
    (255, [1, 1 + 256], [1, 2]),
    (255, np.mod([0, 75, 150, 225, 300], 255), [0, 75, 150, 225, 300]),
    (250, np.mod([0, 75, 150, 225, 300, 430], 250), [0, 75, 150, 225, 300, 180]),
])
def test_numpy_period_cases_in_radians(period, values, expected):
    assert_allclose(kqphasefix2.unwrap(in_radians(values, period)),
                    in_radians(expected, period), rtol=0, atol=1e-12)


def test_numpy_discont_above_pi_has_no_counterpart():
    # numpy with discont=140 (period 250) leaves the raw jump of 130 alone and corrects the
    # jump of -175: [0, 75, 150, 225, 300, 430]. The cutoff acts on the size of the correction,
    # a whole turn for both jumps: below one turn both are corrected, from one turn on neither.
    period = 250
    x = in_radians(np.mod([0, 75, 150, 225, 300, 430], period), period)
    numpy_result = np.unwrap(np.mod([0, 75, 150, 225, 300, 430], period), discont=140,
                             period=period)
    assert_array_equal(numpy_result, [0, 75, 150, 225, 300, 430])
    for cutoff in [0.0, 1.0, np.pi, 6.2]:
        assert_allclose(kqphasefix2.unwrap(x, cutoff),
                        in_radians([0, 75, 150, 225, 300, 180], period), atol=1e-12)
    for cutoff in [6.3, 100.0]:
        assert_array_equal(kqphasefix2.unwrap(x, cutoff), x)


def test_numpy_nan_poisons_the_rest_but_the_block_does_not():
    x = [0.0, 4.0, np.nan, 8.0, 12.0]
    assert np.all(np.isnan(np.unwrap(x)[2:]))
    result = kqphasefix2.unwrap(x)
    # Only the NaN's own position is NaN; the step after it takes no correction, the one
    # after that does, and the earlier correction of -2*pi stays.
    assert_array_equal(np.isnan(result), [False, False, True, False, False])
    assert_allclose(result[[1, 3, 4]], [4 - TWO_PI, 8 - TWO_PI, 12 - 2 * TWO_PI], atol=1e-12)


@pytest.mark.parametrize("dtype", [np.float64, np.float32])
def test_numpy_dtype_is_kept(dtype):
    x = np.mod(np.linspace(0, 20, 50), TWO_PI).astype(dtype)
    assert kqphasefix2.unwrap(x).dtype == dtype


# DSP.jl


@pytest.mark.parametrize("x, expected", [
    ([0.1, 0.2, 0.3, 0.4], [0.1, 0.2, 0.3, 0.4]),
    ([0.1, 0.2 + TWO_PI, 0.3, 0.4], [0.1, 0.2, 0.3, 0.4]),
    ([0.1, 0.2 - TWO_PI, 0.3, 0.4], [0.1, 0.2, 0.3, 0.4]),
    ([0.1, 0.2 - TWO_PI, 0.3 - TWO_PI, 0.4], [0.1, 0.2, 0.3, 0.4]),
    ([0.1, 0.2 + 3 * TWO_PI, 0.3, 0.4], [0.1, 0.2, 0.3, 0.4]),
    ([0.1 + TWO_PI, 0.2, 0.3, 0.4], np.array([0.1, 0.2, 0.3, 0.4]) + TWO_PI),
])
def test_dsp_unwrap_1d(x, expected):
    assert_allclose(kqphasefix2.unwrap(x), expected, rtol=1e-12)


def test_dsp_in_place_and_out_of_place():
    a = np.array([0.1, 0.2, 0.3 + TWO_PI, 0.4])
    original = a.copy()
    assert_allclose(kqphasefix2.unwrap(a), [0.1, 0.2, 0.3, 0.4], rtol=1e-12)
    assert_array_equal(a, original)
    assert kqphasefix2.unwrap(a, out=a) is a
    assert_allclose(a, [0.1, 0.2, 0.3, 0.4], rtol=1e-12)


def test_dsp_two_columns():
    column = [0.1, 0.2 + TWO_PI, 0.3, 0.4]
    x = np.array([column, column]).T
    assert_allclose(kqphasefix2.unwrap(x, axis=0), np.array([[0.1, 0.2, 0.3, 0.4]] * 2).T,
                    rtol=1e-12)
    assert_array_equal(kqphasefix2.unwrap(x, axis=1), x)


def test_dsp_range_10():
    assert_allclose(kqphasefix2.unwrap(in_radians(np.arange(1, 101) % 10, 10)),
                    in_radians(np.arange(1, 101), 10), rtol=1e-12)


@pytest.mark.parametrize("dtype, rtol", [(np.float64, 1e-12), (np.float32, 1e-6)])
def test_dsp_ranges(dtype, rtol):
    x = np.linspace(0, 4 * np.pi, 10)
    result = kqphasefix2.unwrap((x % TWO_PI).astype(dtype))
    assert result.dtype == dtype
    assert_allclose(result, x.astype(dtype), rtol=rtol, atol=10 * np.finfo(dtype).eps)
    # Range 2, scaled to radians.
    y = np.linspace(0, 4, 10)
    assert_allclose(kqphasefix2.unwrap(in_radians(y % 2, 2).astype(dtype)),
                    in_radians(y, 2).astype(dtype), rtol=rtol, atol=10 * np.finfo(dtype).eps)
