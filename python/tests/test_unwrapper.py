"""kqphasefix2.Unwrapper: the running block, one output call per chunk."""
import math

import numpy as np
import pytest

import kqphasefix2
import reference_unwrap
from bit_checks import assert_same_bits
from signals import hard_phase

DTYPES = [np.float64, np.float32]


def _random_splits(rng, length, count):
    """count sorted cut points in (0, length), some of them next to each other."""
    cuts = np.sort(rng.choice(np.arange(1, length), size=count, replace=False))
    return np.split(np.arange(length), cuts)


def _chunk_layouts(x):
    """The same (samples, channels) chunk in C order, in Fortran order (channels one after
    another), as every other channel of a Fortran array (contiguous channels with gaps) and
    as every other channel of a C array."""
    fortran_padded = np.zeros((x.shape[0], 2 * x.shape[1]), x.dtype, order="F")
    fortran_padded[:, ::2] = x
    c_padded = np.zeros((x.shape[0], 2 * x.shape[1]), x.dtype)
    c_padded[:, ::2] = x
    return {"C order": np.ascontiguousarray(x), "Fortran order": np.asfortranarray(x),
            "Fortran with gaps": fortran_padded[:, ::2], "C with gaps": c_padded[:, ::2]}


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("channels", [1, 3, 8, 20])
def test_chunks_give_the_running_block_bits(dtype, channels):
    x = hard_phase((channels, 5000), dtype, seed=channels).T.copy()
    # First samples far from 0: a first call that did not seed the state from them would
    # unwrap them against zeros and correct them.
    x[0] = np.linspace(5.0, 50.0, channels)
    rng = np.random.default_rng(channels)
    splits = _random_splits(rng, x.shape[0], 40)
    for layout in ["C order", "Fortran order", "Fortran with gaps", "C with gaps"]:
        module = kqphasefix2.Unwrapper(channels, math.pi, dtype)
        reference = reference_unwrap.Running(channels, math.pi, dtype)
        for rows in splits:
            chunk = _chunk_layouts(x[rows])[layout]
            assert_same_bits(module.process(chunk), reference.process(chunk))


@pytest.mark.parametrize("channels", [1, 5])
def test_float64_bits_do_not_depend_on_the_split(channels):
    x = hard_phase((channels, 20000), np.float64, seed=4).T.copy()
    whole = kqphasefix2.Unwrapper(channels).process(x)
    rng = np.random.default_rng(4)
    for count in [1, 7, 300, 19999]:
        module = kqphasefix2.Unwrapper(channels)
        parts = [module.process(x[rows]) for rows in _random_splits(rng, x.shape[0], count)]
        assert_same_bits(np.concatenate(parts), whole)


def test_float32_bits_depend_on_the_split():
    # The running kernel's own example: a ramp in steps of 4 with the single pi as cutoff.
    ramp = np.arange(0, 32, 4, dtype=np.float32)
    whole = kqphasefix2.Unwrapper(1, dtype=np.float32).process(ramp)
    split = kqphasefix2.Unwrapper(1, dtype=np.float32)
    halves = np.concatenate([split.process(ramp[:4]), split.process(ramp[4:])])
    # The stored correction after four samples, -18.849556 in float32, is rounded from
    # -18.84955644607544, so samples 5 and 6 come out one float32 step apart.
    assert halves[5] == np.float32(-11.415927) and whole[5] == np.float32(-11.415928)
    assert halves[6] == np.float32(-13.699112) and whole[6] == np.float32(-13.699113)
    assert_same_bits(halves[:5], whole[:5])
    # On a long signal, frames of 64 change the bits of many samples.
    x = hard_phase((1, 20000), np.float32, seed=5, hard_fraction=0.0).T.copy()
    one_call = kqphasefix2.Unwrapper(1, dtype=np.float32).process(x)
    chunked = kqphasefix2.Unwrapper(1, dtype=np.float32)
    parts = np.concatenate([chunked.process(x[i:i + 64]) for i in range(0, len(x), 64)])
    assert np.count_nonzero(parts != one_call) > 100


@pytest.mark.parametrize("dtype", DTYPES)
def test_first_chunk_passes_its_first_samples_and_reset_starts_over(dtype):
    x = hard_phase((4, 600), dtype, seed=6).T.copy()
    x[0] = [3.0, -0.0, np.nan, 1e9]
    module = kqphasefix2.Unwrapper(4, dtype=dtype)
    first = module.process(x[:300])
    # The first samples come out as 0 + x: unchanged, but -0 becomes +0.
    assert_same_bits(first[0], np.array([3.0, 0.0, np.nan, 1e9], dtype))
    module.process(x[300:])
    module.reset()
    assert_same_bits(module.process(x[300:]), kqphasefix2.Unwrapper(4, dtype=dtype).process(x[300:]))


@pytest.mark.parametrize("dtype", DTYPES)
def test_cutoff_changes_between_chunks(dtype):
    x = hard_phase((2, 3000), dtype, seed=7).T.copy()
    module = kqphasefix2.Unwrapper(2, 1.0, dtype)
    reference = reference_unwrap.Running(2, 1.0, dtype)
    for i, cutoff in enumerate([-4.0, 0.0, 7.0, 1e-16, 2.5, math.pi]):
        rows = slice(500 * i, 500 * (i + 1))
        module.cutoff = cutoff
        reference.cutoff = cutoff
        assert module.cutoff == reference_unwrap.stored_cutoff(cutoff, dtype)
        assert_same_bits(module.process(x[rows]), reference.process(x[rows]))


def test_float32_cutoff_is_stored_rounded():
    module = kqphasefix2.Unwrapper(1, cutoff=-0.1, dtype=np.float32)
    assert module.cutoff == float(np.float32(0.1)) != 0.1
    assert kqphasefix2.Unwrapper(1, cutoff=-0.1).cutoff == 0.1


@pytest.mark.parametrize("dtype", DTYPES)
def test_in_place_out_and_empty_chunks(dtype):
    x = hard_phase((3, 900), dtype, seed=8).T.copy()
    expected = kqphasefix2.Unwrapper(3, dtype=dtype).process(x)
    module = kqphasefix2.Unwrapper(3, dtype=dtype)
    empty = module.process(np.zeros((0, 3), dtype))
    assert empty.shape == (0, 3) and empty.dtype == np.dtype(dtype)
    chunk = x.copy()
    assert module.process(chunk, out=chunk) is chunk
    assert_same_bits(chunk, expected)
    # An empty chunk leaves the state alone: the next chunk carries on.
    module.process(np.zeros((0, 3), dtype))
    follow = kqphasefix2.Unwrapper(3, dtype=dtype)
    follow.process(x)
    assert_same_bits(module.process(x[::-1]), follow.process(x[::-1]))


def test_chunk_types_and_shapes():
    single = kqphasefix2.Unwrapper(1, dtype=np.float32)
    assert single.process([0, 4, 8]).dtype == np.float32  # integers take the object's dtype
    assert single.process(np.zeros((5, 1), np.float32)).shape == (5, 1)
    with pytest.raises(TypeError, match="float32"):
        single.process(np.zeros(4))
    with pytest.raises(TypeError):
        single.process(np.zeros(4, np.complex64))
    several = kqphasefix2.Unwrapper(3)
    with pytest.raises(ValueError, match=r"\(samples, 3\)"):
        several.process(np.zeros(6))
    with pytest.raises(ValueError, match=r"\(samples, 3\)"):
        several.process(np.zeros((6, 2)))
    with pytest.raises(ValueError, match="shape"):
        several.process(np.zeros((6, 3)), out=np.zeros((3, 6)))


def test_constructor_arguments():
    assert repr(kqphasefix2.Unwrapper(2, dtype="float32")) == (
        "Unwrapper(channels=2, cutoff=3.1415927410125732, dtype=float32)")
    unwrapper = kqphasefix2.Unwrapper(4)
    assert (unwrapper.channels, unwrapper.dtype, unwrapper.cutoff) == (4, np.float64, math.pi)
    with pytest.raises(ValueError):
        kqphasefix2.Unwrapper(0)
    with pytest.raises(TypeError):
        kqphasefix2.Unwrapper(1, dtype=np.int32)
    with pytest.raises(AttributeError):
        unwrapper.channels = 3
