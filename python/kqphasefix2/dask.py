"""The unwrap of kqphasefix2 on dask arrays, chunked along its axis, with the bits of one call.

unwrap(x, cutoff, axis) gives, for any chunking, the bits of kqphasefix2.unwrap(x.compute(),
cutoff, axis): every line along the axis is one channel, as if unwrapped in one call. Which
corrections a channel takes depends on its raw samples alone; only their sum is sequential. So the
graph has three layers, the way dask's own cumulative reductions are built:

- taken (blockwise, in parallel over all chunks): the corrections a chunk's steps take among its
  own samples, in order, with its first and last sample planes;
- carry (the one hand-written layer, the chain along the axis): the state entering a chunk, that
  is the last sample plane of the chunk before it and the carried correction sum, the sum
  entering the chunk before plus the correction of the step into that chunk plus its taken
  corrections, one binary64 addition each, in order. It never passes over the samples;
- the result (blockwise, in parallel): every chunk run by the kernels from the state entering
  it; a chunk without one before it along the axis is the stateless call.

float32 carries its sum in binary64 between chunks, as one call keeps it within the call.
"""
import itertools
import math

try:
    import dask.array as da
    from dask.base import tokenize
    from dask.blockwise import BlockIndex
    from dask.blockwise import blockwise as blockwise_layer
    from dask.highlevelgraph import HighLevelGraph
except ImportError as error:  # pragma: no cover - depends on the installation
    raise ImportError(
        "kqphasefix2.dask needs dask (its array module): install Debian's python3-dask "
        "(apt-get install python3-dask python3-distributed) or pip install 'dask[array]'"
    ) from error
import numpy as np

from . import _core
from ._arguments import checked_arguments, keywords_checked

__all__ = ["unwrap", "UnwrapChunkError"]


class UnwrapChunkError(RuntimeError):
    """A chunk of kqphasefix2.dask.unwrap failed; the message names the chunk and the cause."""


class _InChunk:
    """A task of the graph: runs one pass for the chunk whose block index comes first, and names
    that index when the pass fails. Pickles by reference to the pass, as workers need."""

    def __init__(self, chunk_pass):
        self.chunk_pass = chunk_pass

    def __call__(self, index, *args):
        try:
            return self.chunk_pass(*args)
        except Exception as error:
            raise UnwrapChunkError(f"kqphasefix2.dask.unwrap: chunk {tuple(index)} failed: "
                                   f"{type(error).__name__}: {error}") from error


def _channels(block, axis):
    """The block as a C-contiguous (channels, samples) array, channels in C order of the rest."""
    moved = np.moveaxis(block, axis, -1)
    return np.ascontiguousarray(moved).reshape(math.prod(moved.shape[:-1]), moved.shape[-1])


# The passes: module-level functions, so that distributed workers import them by name.

def _taken(block, cutoff, axis):
    """(counts, values, first plane, last plane): the corrections of the steps within the chunk."""
    if block.shape[axis] == 0:
        return None  # never asked for: the chain passes over empty chunks
    channels = _channels(block, axis)
    counts, values = _core._taken_corrections(channels, None, cutoff)
    first, last = np.ascontiguousarray(channels[:, 0]), np.ascontiguousarray(channels[:, -1])
    return counts, values, first, last


def _carry(carry_before, taken_before, cutoff):
    """The state (last sample plane, correction sums) entering the chunk after the one whose
    taken corrections are taken_before, which was entered with carry_before (None: the first)."""
    counts, values, first, last = taken_before
    sums = None
    if carry_before is not None:
        prev, sums = carry_before
        into_first = _core._taken_corrections(first.reshape(-1, 1), prev, cutoff)
        sums = _core._add_taken(sums, *into_first)
    return last, _core._add_taken(sums, counts, values)


def _unwrapped(block, carry, cutoff, axis):
    if carry is None:
        return _core.unwrap(block, cutoff, axis)
    prev, sums = carry
    moved_shape = np.moveaxis(block, axis, -1).shape
    out = _core._unwrap_carried(_channels(block, axis), prev, sums, cutoff)
    return np.moveaxis(out.reshape(moved_shape), -1, axis)


def _small_blocks(name, graph, like):
    """A dask array of one small object per block of `like`, for the layers in between."""
    chunks = tuple((1,) * n for n in like.numblocks)
    return da.Array(graph, name, chunks=chunks, meta=np.empty((0,) * like.ndim, dtype=object))


@keywords_checked("kqphasefix2.dask.unwrap")
def unwrap(x, cutoff=math.pi, axis=-1):
    """unwrap(x, cutoff=math.pi, axis=-1)

    kqphasefix2.unwrap over a dask array, lazily: a dask array of the same shape and chunks (a
    numpy array is wrapped with dask.array.asarray), float64 or float32 as kqphasefix2.unwrap
    gives it (integers and booleans become float64). Its bits equal those of
    kqphasefix2.unwrap(x.compute(), cutoff, axis) for any chunking. The errors of
    kqphasefix2.unwrap about the dtype, the axis, the cutoff (None: the default) and keywords it
    does not take are raised here, when the graph is built, as is a ValueError for unknown chunk
    sizes along the axis; a chunk that fails when computed raises UnwrapChunkError naming the
    chunk's block index, with the original error as its cause.
    """
    if not isinstance(x, da.Array):
        x = da.asarray(x)
    dtype, cutoff, axis = checked_arguments(x.dtype, x.ndim, cutoff, axis)
    if any(math.isnan(size) for size in x.chunks[axis]):
        raise ValueError("kqphasefix2.dask.unwrap needs the chunk sizes along the axis, which are "
                         "unknown here; call x.compute_chunk_sizes() first")
    if x.dtype != dtype:
        x = x.astype(dtype)
    token = tokenize(x, cutoff, axis)
    name = "kqphasefix2-unwrap-" + token
    every = tuple(range(x.ndim))
    numblocks = {x.name: x.numblocks}
    block_index = BlockIndex(x.numblocks)

    # The chunks along the axis that hold samples; every one after the first carries on from the
    # one before it in this list.
    filled = [k for k, size in enumerate(x.chunks[axis]) if size > 0]
    before = dict(zip(filled[1:], filled))
    if not before:
        layer = blockwise_layer(_InChunk(_unwrapped), name, every, block_index, every,
                                x.name, every, None, None, cutoff, None, axis, None,
                                numblocks=numblocks)
        graph = HighLevelGraph.from_collections(name, layer, dependencies=[x])
        return da.Array(graph, name, chunks=x.chunks, dtype=dtype)

    taken_name = "kqphasefix2-unwrap-taken-" + token
    layer = blockwise_layer(_InChunk(_taken), taken_name, every, block_index, every,
                            x.name, every, cutoff, None, axis, None, numblocks=numblocks)
    taken = _small_blocks(taken_name,
                          HighLevelGraph.from_collections(taken_name, layer, dependencies=[x]),
                          x)

    carry_name = "kqphasefix2-unwrap-carry-" + token
    link = _InChunk(_carry)
    chain = {}
    for index in itertools.product(*(range(n) for n in x.numblocks)):
        k = index[axis]
        if k not in before:
            chain[(carry_name,) + index] = None  # the stateless call, or an empty chunk
            continue
        j = before[k]
        previous = index[:axis] + (j,) + index[axis + 1:]
        chain[(carry_name,) + index] = (
            link, previous, (carry_name,) + previous if j in before else None,
            (taken_name,) + previous, cutoff)
    carry = _small_blocks(carry_name,
                          HighLevelGraph.from_collections(carry_name, chain, dependencies=[taken]),
                          x)

    numblocks[carry_name] = x.numblocks
    layer = blockwise_layer(_InChunk(_unwrapped), name, every, block_index, every, x.name, every,
                            carry_name, every, cutoff, None, axis, None, numblocks=numblocks)
    graph = HighLevelGraph.from_collections(name, layer, dependencies=[x, carry])
    return da.Array(graph, name, chunks=x.chunks, dtype=dtype)
