"""The unwrap of kqphasefix2 on xarray DataArrays and Datasets, along a named dimension.

unwrap(obj, dim, cutoff, keep_attrs) keeps dims, coordinates and name, and attributes as xarray's
own functions keep them, through xarray.apply_ufunc. Numpy-backed data is unwrapped in memory
by kqphasefix2.unwrap, dask-backed data lazily by kqphasefix2.dask.unwrap, chunk by chunk; both
give the same bits.
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

from ._arguments import checked_arguments, checked_cutoff, keywords_checked
from ._in_memory import _dask_kind
from ._in_memory import unwrap as unwrap_in_memory

__all__ = ["unwrap"]


def _kept_attrs(keep_attrs):
    """keep_attrs as xarray's functions that transform values (interpolate_na, rolling_exp) read
    it: None follows xarray.set_options(keep_attrs=...), whose "default" keeps them."""
    if keep_attrs is None:
        option = xarray.get_options()["keep_attrs"]
        return True if option == "default" else bool(option)
    if not isinstance(keep_attrs, (bool, np.bool_)):
        raise TypeError(f"keep_attrs must be True, False or None, not {type(keep_attrs).__name__}")
    return bool(keep_attrs)


def _check(array, dim, cutoff):
    """The errors of unwrapping one DataArray along dim, raised before apply_ufunc runs: those
    of kqphasefix2.unwrap for its dtype and the cutoff in its precision, and a ValueError for
    unknown dask chunk sizes along dim."""
    axis = array.get_axis_num(dim)
    checked_arguments(array.dtype, array.ndim, cutoff, axis)
    data = array.data
    if _dask_kind(data) is not None and any(math.isnan(size) for size in data.chunks[axis]):
        raise ValueError(
            f"kqphasefix2.xarray.unwrap needs the chunk sizes along {dim!r}, which dask does "
            "not know here (after indexing with a dask array of booleans, for example): "
            "give them to dask with array.copy(data=array.data.compute_chunk_sizes()), or "
            "load the array with array.load()")


def _unwrapped_along_last_axis(data, cutoff):
    """apply_ufunc's function, for data with the dimension to unwrap last: dask-backed data (any
    dask collection: dask's array, or a subclass of it from any module) lazily, the rest in
    memory."""
    if _dask_kind(data) is not None:
        from . import dask as kqdask
        return kqdask.unwrap(data, cutoff, -1)
    return unwrap_in_memory(np.asarray(data), cutoff, -1)


def _apply(obj, dim, cutoff, keep_attrs):
    """obj, all of whose data variables have dim, unwrapped along it. The variables come back
    with dim last; their encoding is not carried over: the source's storage packing (dtype,
    scale_factor, _FillValue, zarr chunks) describes the wrapped phase, and written back with it
    the unwrapped phase would be clipped or overlap chunks."""
    return xarray.apply_ufunc(
        _unwrapped_along_last_axis, obj, input_core_dims=[[dim]], output_core_dims=[[dim]],
        kwargs={"cutoff": cutoff}, dask="allowed", keep_attrs=keep_attrs)


@keywords_checked("kqphasefix2.xarray.unwrap",
                  hints={"axis": "name the dimension to unwrap along with dim"})
def unwrap(obj, dim, cutoff=math.pi, keep_attrs=None):
    """kqphasefix2.unwrap of an xarray.DataArray or Dataset along the dimension named dim.

    Parameters
    ----------
    obj : xarray.DataArray or xarray.Dataset
        Numpy- or dask-backed. In a Dataset, every data variable that has the dimension dim is
        unwrapped; the other data variables, and all coordinates, are returned unchanged.
    dim : hashable
        The dimension along which to unwrap.
    cutoff : float or None
        As in kqphasefix2.unwrap: its magnitude bounds the size of the correction (None: the
        default, math.pi); ValueError for a cutoff that is not finite in a variable's precision.
    keep_attrs : bool or None
        Whether the unwrapped variables (and a Dataset) keep their attributes. None follows
        xarray.set_options(keep_attrs=...), which keeps them by default, as xarray's
        interpolate_na does.

    Returns
    -------
    xarray.DataArray or xarray.Dataset
        The same type, dims, coordinates and names; the unwrapped variables have no encoding (the
        source's storage packing, such as an int16 scale_factor, is not applied to the unwrapped
        phase, as xarray's own operations drop it). Dask-backed data stays lazy, with the bits of
        the in-memory call for any chunking.

    Raises
    ------
    ValueError for a dimension obj lacks and for unknown dask chunk sizes along dim; the dtype
    and argument errors of kqphasefix2.unwrap, prefixed with the variable's name in a Dataset.
    """
    keep = _kept_attrs(keep_attrs)
    if not isinstance(obj, (xarray.DataArray, xarray.Dataset)):
        raise TypeError(f"kqphasefix2.xarray.unwrap takes an xarray.DataArray or Dataset, not "
                        f"{type(obj).__name__}")
    if dim not in obj.dims:
        raise ValueError(f"kqphasefix2.xarray.unwrap: the {type(obj).__name__} has no dimension "
                         f"{dim!r}; its dimensions are {tuple(obj.dims)}")
    cutoff = checked_cutoff(cutoff, np.float64)  # again in each variable's precision below
    if isinstance(obj, xarray.DataArray):
        _check(obj, dim, cutoff)
        return _apply(obj, dim, cutoff, keep).transpose(*obj.dims, transpose_coords=False)
    names = [name for name, variable in obj.data_vars.items() if dim in variable.dims]
    for name in names:
        try:
            _check(obj[name], dim, cutoff)
        except (TypeError, ValueError) as error:
            if type(error) not in (TypeError, ValueError):
                raise
            raise type(error)(f"data variable {name!r}: {error}") from error
    others = [name for name in obj.data_vars if name not in names]
    unwrapped = _apply(obj.drop_vars(others), dim, cutoff, keep)
    # Every unwrapped variable back in its own order of dims, in place of its source; the other
    # data variables and the coordinates stay as they are.
    result = obj.assign({name: unwrapped[name].variable.transpose(*obj[name].dims)
                         for name in names})
    result.attrs = unwrapped.attrs
    return result
