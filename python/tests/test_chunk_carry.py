"""The three passes of an unwrap cut into chunks (kqphasefix2._core._taken_corrections,
_add_taken, _unwrap_carried): each against the numpy transcription of the block's arithmetic, and
together against one call, for any cuts, at every vector level CTest runs."""
import math

import numpy as np
import pytest

import reference_unwrap
from bit_checks import assert_identical
from kqphasefix2 import _core
from signals import hard_phase

DTYPES = [np.float64, np.float32]
# Either side of the kernels' calm bound 1e-15, and negative: the taken pass compares magnitudes.
CUTOFFS = [math.pi, 0.0, 1e-16, 2e-15, 7.0, -7.0, 1e30, math.nan]
CUTS = [[], [1], [1, 2, 3, 4], [17], [5, 300, 301, 999], list(range(0, 1000, 97))]


def taken_by_reference(channels, prev, cutoff):
    """Each channel's nonzero corrections, in order, from the transcription."""
    before = np.concatenate([prev[:, None], channels[:, :-1]], axis=1)
    c = reference_unwrap.corrections(before, channels, cutoff, channels.dtype)
    return [row[row != 0.0] for row in c]


def unwrap_in_pieces(channels, cuts, cutoff):
    """The three passes over the pieces between cuts, as kqphasefix2.dask chains them: the first
    piece with samples is the stateless call, every later one carries on from the one before."""
    out = []
    before, prev, sums = None, None, None
    for piece in np.split(channels, cuts, axis=1):
        if piece.shape[1] == 0:
            out.append(piece.copy())
            continue
        if before is None:
            out.append(_core.unwrap(piece, cutoff))
        else:
            sums = _core._add_taken(sums, *_core._taken_corrections(before, prev, cutoff))
            prev = np.ascontiguousarray(before[:, -1])
            out.append(_core._unwrap_carried(np.ascontiguousarray(piece), prev, sums, cutoff))
        before = np.ascontiguousarray(piece)
    return np.concatenate(out, axis=1)


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("cutoff", CUTOFFS)
@pytest.mark.parametrize("shape", [(6, 700), (2, 9000), (3, 1)])
def test_taken_corrections_are_the_steps_corrections_in_order(shape, dtype, cutoff):
    channels = hard_phase(shape, dtype, seed=3, hard_fraction=0.05)
    prev = hard_phase(shape[:1], dtype, seed=4, hard_fraction=0.3)
    counts, values = _core._taken_corrections(channels, prev, cutoff)
    expected = taken_by_reference(channels, prev, cutoff)
    assert counts.tolist() == [len(row) for row in expected]
    assert_identical(values, np.concatenate(expected))
    if shape[1] > 1 and cutoff <= 7.0:
        assert values.size > 0
    # Without a sample before the block, the steps start at sample 0 of every channel.
    counts, values = _core._taken_corrections(channels, None, cutoff)
    expected = taken_by_reference(channels[:, 1:], channels[:, 0], cutoff)
    assert counts.tolist() == [len(row) for row in expected]
    assert_identical(values, np.concatenate(expected))


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("cutoff", CUTOFFS)
@pytest.mark.parametrize("cuts", CUTS, ids=str)
def test_pieces_give_the_bits_of_one_call(dtype, cutoff, cuts):
    channels = hard_phase((5, 1000), dtype, seed=5, hard_fraction=0.05)
    channels[0, 0] = -0.0
    channels[1, 0] = np.frombuffer(np.array([0x7FF8000000ABCDEF]).tobytes(), np.float64)[0]
    assert_identical(unwrap_in_pieces(channels, cuts, cutoff), _core.unwrap(channels, cutoff))


def test_sums_are_added_one_at_a_time_in_order():
    # 2**53 + 1 rounds back to 2**53 at every step; adding the ones first would reach 2**53 + 4.
    counts = np.array([4, 0, 2], np.int64)
    values = np.array([1.0, 1.0, 1.0, 1.0, 3.0, -2.0])
    sums = np.array([2.0**53, 5.0, 0.1])
    expected = [2.0**53, 5.0, (0.1 + 3.0) + -2.0]
    assert _core._add_taken(sums, counts, values).tolist() == expected
    assert _core._add_taken(None, counts, values).tolist() == [4.0, 0.0, 1.0]


def test_float32_carried_sum_stays_binary64():
    # S lies above the float32 midpoint 1 + 2**-24, so float32(S) is 1 + 2**-23; the output
    # S + x with x = -2**-23 rounds to 1 - 2**-24, float32(S) + x to 1.
    x = np.full((1, 3), -(2.0**-23), np.float32)
    sums = np.array([1.0 + 2.0**-24 + 2.0**-40])
    out = _core._unwrap_carried(x, x[:, 0].copy(), sums, math.pi)
    assert out.tolist() == [[1.0 - 2.0**-24] * 3]


@pytest.mark.parametrize("call, arguments, error", [
    ("_taken_corrections", (np.zeros(4), None, 1.0), ValueError),
    ("_taken_corrections", (np.zeros((2, 4)), np.zeros(3), 1.0), ValueError),
    ("_taken_corrections", (np.zeros((2, 4)), np.zeros(2, np.float32), 1.0), ValueError),
    ("_taken_corrections", (np.zeros((2, 4), np.int64), None, 1.0), TypeError),
    ("_taken_corrections", (np.zeros((4, 2)).T, None, 1.0), ValueError),
    ("_add_taken", (None, np.array([3]), np.zeros(2)), ValueError),
    ("_add_taken", (np.zeros(2), np.array([1]), np.zeros(2)), ValueError),
    ("_unwrap_carried", (np.zeros((2, 4)), np.zeros(2), np.zeros(2, np.float32), 1.0),
     ValueError),
    ("_unwrap_carried", (np.zeros((2, 4), np.float32), np.zeros(2), np.zeros(2), 1.0),
     ValueError),
])
def test_private_functions_check_their_arguments(call, arguments, error):
    with pytest.raises(error):
        getattr(_core, call)(*arguments)
