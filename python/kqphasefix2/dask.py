"""The unwrap of kqphasefix2 on dask arrays, chunked along its axis, with the bits of one call.

unwrap(x, cutoff, axis) gives, for any chunking, the bits of kqphasefix2.unwrap(x.compute(),
cutoff, axis): every lane along the axis is one channel, as if unwrapped in one call. Which
corrections a lane takes depends on its raw samples alone; only their sum is sequential. So every
chunk after the first along the axis gets three tasks besides its own:

- prev: the last sample plane of the chunk before it (a small task, so that no task pulls a
  whole neighbouring chunk);
- taken (for the chunk before): the corrections that chunk's steps take, from its samples and the
  prev plane before it, in parallel over all chunks;
- sum: the carried correction sum entering the chunk, the sum entering the chunk before plus its
  taken corrections, one binary64 addition each, in order: a chain along the axis that never
  passes over the samples.

The chunk's own task then runs the kernels seeded with its sum and prev plane, in parallel over all
chunks. The first chunk along the axis is the stateless call. float32 carries its sum in binary64
between chunks, as one call keeps it within the call.
"""
import itertools
import math

try:
    import dask.array as da
    from dask.base import tokenize
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


def _chunk_failed(index, error):
    return UnwrapChunkError(
        f"kqphasefix2.dask.unwrap: chunk {index} failed: {type(error).__name__}: {error}")


def _lanes(block, axis):
    """The block as a C-contiguous (lanes, samples) array, lanes in C order of the other axes."""
    moved = np.moveaxis(block, axis, -1)
    return np.ascontiguousarray(moved).reshape(math.prod(moved.shape[:-1]), moved.shape[-1])


# The tasks: module-level functions, so that distributed workers import them by name.

def _first_chunk(block, cutoff, axis, index):
    try:
        return _core.unwrap(block, cutoff, axis)
    except Exception as error:
        raise _chunk_failed(index, error) from error


def _last_plane(block, axis, index):
    try:
        return np.ascontiguousarray(np.take(block, -1, axis=axis)).reshape(-1)
    except Exception as error:
        raise _chunk_failed(index, error) from error


def _taken_chunk(block, prev, cutoff, axis, index):
    try:
        return _core._taken_corrections(_lanes(block, axis), prev, cutoff)
    except Exception as error:
        raise _chunk_failed(index, error) from error


def _carry(sums, taken, index):
    try:
        return _core._add_taken(sums, *taken)
    except Exception as error:
        raise _chunk_failed(index, error) from error


def _carried_chunk(block, prev, sums, cutoff, axis, index):
    try:
        moved_shape = np.moveaxis(block, axis, -1).shape
        out = _core._unwrap_carried(_lanes(block, axis), prev, sums, cutoff)
        return np.moveaxis(out.reshape(moved_shape), -1, axis)
    except Exception as error:
        raise _chunk_failed(index, error) from error


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
    name = "kqphasefix2-unwrap-" + tokenize(x, cutoff, axis)
    prev_name, taken_name, sum_name = (name + "-prev", name + "-taken", name + "-sum")

    # The chunks along the axis that hold samples; the first of them is the stateless call, and
    # every later one carries on from the one before it in this list.
    filled = [k for k, size in enumerate(x.chunks[axis]) if size > 0]
    before = dict(zip(filled[1:], filled))

    def at(index, k):
        return index[:axis] + (k,) + index[axis + 1:]

    layer = {}
    for index in itertools.product(*(range(n) for n in x.numblocks)):
        k = index[axis]
        if k not in before:
            layer[(name,) + index] = (_first_chunk, (x.name,) + index, cutoff, axis, index)
            continue
        j = before[k]
        previous = at(index, j)
        layer[(prev_name,) + previous] = (_last_plane, (x.name,) + previous, axis, previous)
        layer[(taken_name,) + previous] = (
            _taken_chunk, (x.name,) + previous,
            (prev_name,) + at(index, before[j]) if j in before else None, cutoff, axis, previous)
        layer[(sum_name,) + index] = (
            _carry, (sum_name,) + previous if j in before else None, (taken_name,) + previous,
            previous)
        layer[(name,) + index] = (
            _carried_chunk, (x.name,) + index, (prev_name,) + previous, (sum_name,) + index,
            cutoff, axis, index)
    graph = HighLevelGraph.from_collections(name, layer, dependencies=[x])
    return da.Array(graph, name, chunks=x.chunks, dtype=dtype)
