"""Comparison of results to the bit, for the module's tests."""
import numpy as np


def assert_same_bits(actual, expected):
    """Same dtype, shape and bits; NaNs only need to sit at the same places (their payloads
    follow the order of the operands of an addition, which the oracle does not fix)."""
    actual = np.asarray(actual)
    expected = np.asarray(expected)
    assert actual.dtype == expected.dtype, (actual.dtype, expected.dtype)
    assert actual.shape == expected.shape, (actual.shape, expected.shape)
    nan = np.isnan(actual)
    assert np.array_equal(nan, np.isnan(expected)), "NaNs at different places"
    ints = {8: np.uint64, 4: np.uint32}[actual.dtype.itemsize]
    a = np.ascontiguousarray(actual).view(ints)[~nan]
    e = np.ascontiguousarray(expected).view(ints)[~nan]
    mismatch = np.flatnonzero(a != e)
    assert mismatch.size == 0, "%d samples differ, first at flat index %d: %r != %r" % (
        mismatch.size, mismatch[0], actual[~nan][mismatch[0]], expected[~nan][mismatch[0]])


def assert_identical(actual, expected):
    """Same dtype, shape and every bit, NaN payloads and zero signs included: for results of the
    same kernels, which must not differ even there."""
    actual, expected = np.asarray(actual), np.asarray(expected)
    assert actual.dtype == expected.dtype and actual.shape == expected.shape
    ints = {8: np.uint64, 4: np.uint32}[actual.dtype.itemsize]
    differ = np.flatnonzero(np.ascontiguousarray(actual).view(ints) !=
                            np.ascontiguousarray(expected).view(ints))
    assert differ.size == 0, "%d values differ, first at flat index %d: %r != %r" % (
        differ.size, differ[0], actual.flat[differ[0]], expected.flat[differ[0]])
