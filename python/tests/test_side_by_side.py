"""Channels side by side, one sample of each per row (a C-order (samples, channels) array along
axis 0): the module walks them row by row, while channel-major copies of the same data go to the
block's kernels one channel after another. Both must give the same bytes, NaN payloads included,
and the bits of the block's arithmetic."""
import math
import os
import subprocess
import sys

import numpy as np
import pytest

import kqphasefix2
import reference_unwrap
from bit_checks import assert_same_bits
from signals import hard_phase

DTYPES = [np.float64, np.float32]
# Around the vector widths 4 and 8: fewer channels than a vector, whole vectors, a last vector
# that overlaps the one before it, and rows wider than the walk keeps in registers.
CHANNELS = [2, 3, 4, 5, 7, 8, 9, 12, 15, 16, 17, 20, 31, 32, 33, 40, 100]
CUTOFFS = [math.pi, 0.0, 1e-20, 1e-16, 2e-15, 7.0, 2 * math.pi, 1e30]


def assert_same_bytes(actual, expected):
    assert actual.dtype == expected.dtype and actual.shape == expected.shape
    ints = {8: np.uint64, 4: np.uint32}[actual.dtype.itemsize]
    a = np.ascontiguousarray(actual).view(ints)
    e = np.ascontiguousarray(expected).view(ints)
    differ = np.flatnonzero(a != e)
    assert differ.size == 0, "%d samples differ, first at flat index %d: %r != %r" % (
        differ.size, differ[0], actual.reshape(-1)[differ[0]], expected.reshape(-1)[differ[0]])


def time_major(channels, samples, dtype, seed):
    """Hard phase, time-major, with a first row of -0, NaN, infinities and huge values (sample 0
    passes through unwrap unchanged, -0 and NaN payload included)."""
    x = hard_phase((channels, samples), dtype, seed=seed).T.copy()
    firsts = np.array([-0.0, np.nan, np.inf, -np.inf, 1e30, -3e9, 2.5, -0.0], dtype)
    x[0] = np.resize(firsts, channels)
    # A NaN with a payload of its own, which the first row must keep.
    ints = {8: np.uint64, 4: np.uint32}[np.dtype(dtype).itemsize]
    x[0, 1:2].view(ints)[...] |= 0x5A5
    return x


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("channels", CHANNELS)
def test_unwrap_rows_match_the_kernels_on_channel_major_data(dtype, channels):
    x = time_major(channels, 700, dtype, seed=channels)
    for cutoff in CUTOFFS:
        expected = kqphasefix2.unwrap(np.ascontiguousarray(x.T), cutoff).T
        assert_same_bytes(kqphasefix2.unwrap(x, cutoff, axis=0), expected)
        in_place = x.copy()
        assert kqphasefix2.unwrap(in_place, cutoff, axis=0, out=in_place) is in_place
        assert_same_bytes(in_place, expected)
        assert_same_bits(expected, reference_unwrap.stateless(x, cutoff, 0))


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("channels", CHANNELS)
def test_unwrapper_rows_match_the_kernels_on_channel_major_chunks(dtype, channels):
    # Fortran-order chunks hold each channel contiguous: the running per-channel kernel runs on
    # them as they are. In float32 the stored correction is rounded at the end of every chunk,
    # so the walk must carry it in binary64 from row to row within a chunk, as that kernel does.
    x = time_major(channels, 3000, dtype, seed=100 + channels)
    rng = np.random.default_rng(channels)
    cuts = np.sort(rng.choice(np.arange(1, len(x)), size=25, replace=False))
    walked = kqphasefix2.Unwrapper(channels, dtype=dtype)
    kernels = kqphasefix2.Unwrapper(channels, dtype=dtype)
    reference = reference_unwrap.Running(channels, dtype=dtype)
    cutoffs = {2: 0.0, 6: 1e-20, 9: 2e-15, 14: 7.0, 19: math.pi}
    for step, rows in enumerate(np.split(np.arange(len(x)), cuts)):
        if step in cutoffs:
            walked.cutoff = kernels.cutoff = reference.cutoff = cutoffs[step]
        if step == 11:
            walked.reset()
            kernels.reset()
            reference.reset()
        chunk = x[rows]
        expected = kernels.process(np.asfortranarray(chunk))
        if step % 2:
            result = chunk.copy()
            walked.process(result, out=result)
        else:
            result = walked.process(chunk)
        assert_same_bytes(result, expected)
        assert_same_bits(expected, reference.process(chunk))


@pytest.mark.parametrize("dtype", DTYPES)
def test_a_chunk_rounds_its_float32_correction_once(dtype):
    # The ramp in steps of 4 of the running kernel's example, on 8 channels: in one chunk the
    # correction is carried in binary64 and gives the one-channel kernel's bits. Chunks of one
    # row round it to float32 after every row, which changes sample 6 in float32.
    ramp = np.arange(0, 32, 4, dtype=dtype)
    one_channel = kqphasefix2.Unwrapper(1, dtype=dtype).process(ramp)
    rows = np.repeat(ramp[:, None], 8, axis=1)
    whole = kqphasefix2.Unwrapper(8, dtype=dtype).process(rows)
    assert_same_bytes(whole, np.repeat(one_channel[:, None], 8, axis=1))
    by_row = kqphasefix2.Unwrapper(8, dtype=dtype)
    parts = np.concatenate([by_row.process(rows[i:i + 1]) for i in range(len(rows))])
    if dtype == np.float32:
        assert (whole[6] == np.float32(-13.699113)).all()
        assert (parts[6] == np.float32(-13.699114)).all()
    else:
        assert_same_bytes(parts, whole)


@pytest.mark.parametrize("dtype", DTYPES)
def test_other_side_by_side_layouts(dtype):
    base = hard_phase((9, 5, 400), dtype, seed=30).transpose(2, 0, 1).copy()  # (400, 9, 5)
    cases = [
        ("rows of groups", base, 0),                       # 9 groups of 5 side by side
        ("middle axis", base.transpose(1, 0, 2).copy(), 1),  # (9, 400, 5) along axis 1
        ("rows backwards", base[::-1], 0),                 # a negative row step
        ("every other row", base[::2], 0),
        ("one row repeated", np.broadcast_to(base[:1], base.shape), 0),  # a row step of 0
    ]
    for name, x, axis in cases:
        expected = np.moveaxis(
            kqphasefix2.unwrap(np.ascontiguousarray(np.moveaxis(x, axis, -1))), -1, axis)
        try:
            assert_same_bytes(kqphasefix2.unwrap(x, axis=axis), expected)
            out = np.empty(x.shape, dtype)  # C order, whatever the layout of x
            kqphasefix2.unwrap(x, axis=axis, out=out)
            assert_same_bytes(out, expected)
        except AssertionError as error:
            raise AssertionError("%s: %s" % (name, error)) from None


def test_a_level_the_processor_lacks_or_an_unknown_name_fails_the_import():
    for name, message in [("avx9", "names no vector level"), ("scalar", None)]:
        env = dict(os.environ, KQPHASEFIX2_VECTOR_LEVEL=name)
        run = subprocess.run(
            [sys.executable, "-c", "import kqphasefix2; print(kqphasefix2.vector_level)"],
            env=env, capture_output=True, text=True)
        if message is None:
            assert run.returncode == 0 and run.stdout.strip() == name, run.stderr
        else:
            assert run.returncode != 0 and message in run.stderr
