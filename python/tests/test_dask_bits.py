"""kqphasefix2.dask.unwrap on the threaded scheduler: the bits of kqphasefix2.unwrap for any
chunking, a lazy result laid out like its input, and the errors at graph build and in a chunk."""
import functools
import math

import numpy as np
import pytest

da = pytest.importorskip(
    "dask.array", reason="dask is not installed (Debian: apt-get install python3-dask)")

import kqphasefix2  # noqa: E402
from dask.blockwise import Blockwise  # noqa: E402
from dask.core import flatten  # noqa: E402
import kqphasefix2.dask as kqdask  # noqa: E402
from dask_cases import (CUTOFFS, CHANNEL_CHUNKS, SPECIALS, assert_identical,  # noqa: E402
                        channels)

DTYPES = [np.float64, np.float32]


def compute(x):
    return x.compute(scheduler="threads")


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("cutoff", CUTOFFS)
@pytest.mark.parametrize("special", SPECIALS)
@pytest.mark.parametrize("chunking", CHANNEL_CHUNKS)
def test_channels_match_one_call(chunking, special, cutoff, dtype):
    x = channels(5, special, dtype)
    chunked = da.from_array(x, chunks=((2, 3), CHANNEL_CHUNKS[chunking]))
    result = kqdask.unwrap(chunked, cutoff)
    assert (result.chunks, result.dtype) == (chunked.chunks, x.dtype)
    assert_identical(compute(result), kqphasefix2.unwrap(x, cutoff))


# (shape, chunks, axis): channels along the first, middle and last axis, chunked across too.
LAYOUTS = [
    ((40, 6), ((7, 1, 32), (4, 2)), 0),
    ((40, 6), (2, 3), 0),
    ((6, 40), (4, (10, 10, 1, 19)), -1),
    ((3, 40, 5), ((1, 2), (13, 27), (2, 3)), 1),
    ((5, 4, 40), ((5,), (3, 1), (1,) * 40), 2),
    ((40, 2, 3), ((19, 21), (1, 1), (3,)), -3),
    ((40,), ((40,),), 0),
    ((0, 40), ((0,), (10,) * 4), -1),
    ((40, 0), (10, 1), 0),
]


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("shape, chunks, axis", LAYOUTS)
def test_any_axis_and_chunks_across_it(shape, chunks, axis, dtype):
    channels_last = channels(math.prod(shape) // 40, "hard values", dtype)
    x = np.moveaxis(channels_last.reshape(np.moveaxis(np.empty(shape), axis, -1).shape), -1, axis)
    result = compute(kqdask.unwrap(da.from_array(x, chunks=chunks), math.pi, axis))
    assert_identical(result, kqphasefix2.unwrap(x, math.pi, axis))


@pytest.mark.parametrize("values, dtype", [
    (np.arange(-20, 20) * 3, np.float64),
    (np.arange(40, dtype=np.uint8) * 7, np.float64),
    (np.arange(40) % 3 == 0, np.float64),
    (channels(1, "plain", np.float32)[0], np.float32),
])
def test_numpy_and_integer_input(values, dtype):
    result = kqdask.unwrap(values, 1.0)
    assert result.dtype == dtype
    assert_identical(compute(result), kqphasefix2.unwrap(values, 1.0))
    assert_identical(compute(kqdask.unwrap(da.from_array(values, chunks=3), 1.0)),
                     kqphasefix2.unwrap(values, 1.0))


def test_graph_is_lazy_and_named_by_its_inputs():
    x = da.from_array(channels(4, "plain", np.float64), chunks=(2, 7))
    touched = []

    def record(block):
        touched.append(block.shape)
        return block

    watched = x.map_blocks(record, dtype=x.dtype)
    touched.clear()  # map_blocks tries its function on an empty block
    result = kqdask.unwrap(watched)
    assert touched == [] and result.shape == x.shape
    assert kqdask.unwrap(x, 1.0).name == kqdask.unwrap(x, 1.0).name
    assert len({kqdask.unwrap(x, c).name for c in (1.0, 2.0)} |
               {kqdask.unwrap(x, 1.0, 0).name}) == 3
    # A part of the result computes only what it needs, with the same bits.
    assert_identical(compute(kqdask.unwrap(x, 1.0)[1:3, -4:]),
                     kqphasefix2.unwrap(x.compute(), 1.0)[1:3, -4:])
    # Two results of one graph do not share keys that would mix them up.
    both = da.stack([kqdask.unwrap(x, 1.0), kqdask.unwrap(x, 5.0)])
    assert_identical(compute(both)[1], kqphasefix2.unwrap(x.compute(), 5.0))


@pytest.mark.parametrize("chunking", CHANNEL_CHUNKS)
def test_tasks_per_chunk(chunking):
    # Two blockwise layers (taken corrections, result) and the hand-written chain between them.
    # Per block of channels, after culling: the result and the chain's state for every chunk along
    # the axis, the taken corrections of every chunk with samples but the last; a single chunk
    # with samples is the stateless call alone. So 3N - 1 for N chunks with samples (4N - 3
    # before the blockwise layers), and two for an empty chunk.
    x = da.from_array(channels(5, "plain", np.float64), chunks=((2, 3), CHANNEL_CHUNKS[chunking]))
    result = kqdask.unwrap(x)
    graph = result.__dask_graph__()
    ours = {name: layer for name, layer in graph.layers.items() if name.startswith("kqphasefix2")}
    blockwise = sorted(name for name, layer in ours.items() if isinstance(layer, Blockwise))
    chunks, filled = x.numblocks[-1], sum(size > 0 for size in x.chunks[-1])
    if filled > 1:
        assert len(ours) == 3 and len(blockwise) == 2 and result.name in blockwise
        expected = 2 * chunks + filled - 1
    else:
        assert list(ours) == blockwise == [result.name]
        expected = chunks
    culled = graph.cull(set(flatten(result.__dask_keys__())))
    tasks = [key for key in dict(culled) if key[0].startswith("kqphasefix2")]
    assert len(tasks) == expected * x.numblocks[0]
    assert_identical(compute(result), kqphasefix2.unwrap(x.compute()))


@pytest.mark.parametrize("values, axis, error", [
    (np.zeros(8, np.complex128), -1, TypeError),
    (np.zeros(8, np.float16), -1, TypeError),
    (np.array(["a"] * 8), -1, TypeError),
    (np.zeros((4, 8)), 2, np.exceptions.AxisError if hasattr(np, "exceptions")
     else np.AxisError),
    (np.zeros((4, 8)), -3, np.exceptions.AxisError if hasattr(np, "exceptions")
     else np.AxisError),
    (np.zeros(()), -1, ValueError),
])
def test_argument_errors_at_graph_build(values, axis, error):
    with pytest.raises(error):
        kqdask.unwrap(da.from_array(values, chunks=4) if values.ndim else da.from_array(values),
                      1.0, axis)
    with pytest.raises(error):
        kqphasefix2.unwrap(values, 1.0, axis)


def test_unknown_chunk_sizes_along_the_axis_are_refused():
    x = da.from_array(np.arange(10.0), chunks=3)
    unknown = x[x > 2]
    with pytest.raises(ValueError, match="compute_chunk_sizes"):
        kqdask.unwrap(unknown)
    unknown.compute_chunk_sizes()
    assert_identical(compute(kqdask.unwrap(unknown)), kqphasefix2.unwrap(np.arange(3.0, 10.0)))


def _spoil(block, column, block_info=None):
    """The block of channel block 1 in the given column becomes complex, against its dtype."""
    location = block_info[0]["chunk-location"]
    return block.astype(np.complex128) if location == (1, column) else block


# The chunk that fails: the last (its result fails), one in the middle (its taken corrections
# fail first, or its result), the only one (the stateless call).
@pytest.mark.parametrize("chunks, column", [((2, 10), 3), ((2, 10), 1), ((2, 40), 0)],
                         ids=["carried chunk", "middle chunk", "first chunk"])
def test_failing_chunk_is_named(chunks, column):
    x = da.from_array(channels(4, "plain", np.float64), chunks=chunks)
    spoilt = x.map_blocks(functools.partial(_spoil, column=column), dtype=np.float64)
    with pytest.raises(kqdask.UnwrapChunkError,
                       match=r"chunk \(1, %d\) failed: TypeError" % column) as caught:
        compute(kqdask.unwrap(spoilt))
    assert isinstance(caught.value.__cause__, TypeError)
