"""The unwrap of kqphasefix2 on xarray DataArrays, along a named dimension.

unwrap(array, dim, cutoff) keeps dims, coordinates, attributes and name. A numpy-backed array is
unwrapped in memory by kqphasefix2.unwrap, a dask-backed one lazily by kqphasefix2.dask.unwrap,
chunk by chunk; both give the same bits.
"""
import math

try:
    import xarray
except ImportError as error:  # pragma: no cover - depends on the installation
    raise ImportError(
        "kqphasefix2.xarray needs xarray: install Debian's python3-xarray "
        "(apt-get install python3-xarray) or pip install xarray"
    ) from error
import numpy as np

from . import _core

__all__ = ["unwrap"]


def _is_dask_array(data):
    return type(data).__module__.split(".")[0] == "dask"


def unwrap(array, dim, cutoff=math.pi):
    """unwrap(array, dim, cutoff=math.pi)

    kqphasefix2.unwrap of an xarray.DataArray along the dimension named dim, as a new DataArray
    with the same dims, coordinates, attributes and name, and no encoding: the source's storage
    packing is not applied to the unwrapped phase, as xarray's own operations drop it. Dask-backed data stays lazy (its bits
    are those of the in-memory call, for any chunking). ValueError for a dimension the array
    lacks; the dtype errors of kqphasefix2.unwrap otherwise.
    """
    if not isinstance(array, xarray.DataArray):
        raise TypeError(f"kqphasefix2.xarray.unwrap takes an xarray.DataArray, not "
                        f"{type(array).__name__}")
    if dim not in array.dims:
        raise ValueError(f"kqphasefix2.xarray.unwrap: the array has no dimension {dim!r}; its "
                         f"dimensions are {array.dims}")
    axis = array.get_axis_num(dim)
    data = array.data
    if _is_dask_array(data):
        from . import dask as kqdask
        result = kqdask.unwrap(data, cutoff, axis)
    else:
        result = _core.unwrap(np.asarray(data), cutoff, axis)
    unwrapped = array.copy(deep=False, data=result)
    # The source's storage packing (dtype, scale_factor, _FillValue, zarr chunks) describes the
    # wrapped phase: written back with it, the unwrapped phase would be clipped or overlap chunks.
    unwrapped.encoding = {}
    return unwrapped
