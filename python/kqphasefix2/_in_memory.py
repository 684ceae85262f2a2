"""kqphasefix2.unwrap and kqphasefix2.Unwrapper: the binding's calls over numpy arrays, behind the
argument checks of _arguments, so that no argument reaches the binding in a form it would refuse
with a message that shows the data."""
import math
import operator
import sys

import numpy as np

from . import _core
from ._arguments import checked_arguments, checked_axis, checked_cutoff, keywords_checked


def _dask_kind(x):
    """"array" for a dask array, "other" for another dask collection (a dask-backed DataArray or
    Dataset, a dask DataFrame, a Delayed), None otherwise. dask is not imported here: an object of
    dask's can only exist once dask has been imported."""
    dask_array = sys.modules.get("dask.array")
    if dask_array is not None and isinstance(x, dask_array.Array):
        return "array"
    dask_base = sys.modules.get("dask.base")
    if dask_base is not None and dask_base.is_dask_collection(x):
        return "other"
    return None


@keywords_checked("kqphasefix2.unwrap")
def unwrap(x, cutoff=math.pi, axis=-1, out=None):
    """Unwrap phase in radians along one axis; every 1-D line of samples along `axis` is a
    channel of its own.

    Along each channel the difference between successive raw samples is reduced to its principal
    value in [-pi, pi) (an upward step of exactly pi counts as +pi); when the resulting
    correction, a whole number of turns of 2*pi, is larger in magnitude than the cutoff, it is
    added to the correction accumulated on the channel. Every output is its input plus that
    correction; sample 0 of every channel passes through unchanged. These are the bits of the
    kqphasefix2 block in stateless operation.

    Parameters
    ----------
    x : array_like or dask.array.Array
        float64 and float32 keep their dtype; integers and booleans become float64. float32 is
        computed as the block computes it: binary64 arithmetic, rounded to float32 where stored.
        Complex, float16, long double, object and string input raise TypeError; 0-d input raises
        ValueError. A dask array is unwrapped lazily by kqphasefix2.dask.unwrap and a dask array
        returned (never loaded here); another dask collection (a dask-backed xarray object)
        raises TypeError: use kqphasefix2.xarray.unwrap.
    cutoff : float or None
        Its magnitude is used (rounded to float32 for float32 data). It bounds the size of the
        correction, not of the raw jump: any cutoff below one turn corrects every wrap. None
        means the default, math.pi. A cutoff that is not finite in the data's precision raises
        ValueError.
    axis : int
        The axis along which to unwrap.
    out : numpy.ndarray, optional
        Where to write the result, of the result's dtype and shape; `out=x` unwraps in place. Any
        strides are accepted. Not with a dask array.

    Returns
    -------
    numpy.ndarray
        `out` when given, else a new array laid out like `x` (a dask array for a dask array).

    Raises
    ------
    TypeError
        For numpy.unwrap's `discont` (use `cutoff`: it bounds the correction, not the jump) and
        `period` (radians only), a non-integer axis, and any other keyword it does not take.

    Notes
    -----
    A NaN sample gives NaN at its own position only: the step into it and the step out of it take
    no correction, and the rest of the channel keeps its correction (numpy.unwrap turns every
    later sample into NaN). Every correction is a whole number of turns rounded to binary64, and
    the rounding changes from step to step instead of repeating, so long signals do not drift:
    over 8 million samples uniform in +-1e9 rad no output is further than 1.1e-4 rad from its
    input plus whole turns (numpy.unwrap: 0.12 rad, growing along the signal).
    The interpreter lock is released while the kernels run.
    """
    kind = _dask_kind(x)
    if kind == "array":
        if out is not None:
            raise TypeError("out is not supported for a dask array: kqphasefix2.unwrap returns "
                            "a lazy dask array for it (kqphasefix2.dask.unwrap); store that "
                            "instead, e.g. with dask.array.store")
        from . import dask as kqdask
        return kqdask.unwrap(x, cutoff, axis)
    if kind == "other":
        raise TypeError(f"kqphasefix2.unwrap does not load a dask-backed {type(x).__name__}: "
                        "use kqphasefix2.xarray.unwrap for xarray objects, or "
                        "kqphasefix2.dask.unwrap for dask arrays, which stay lazy")
    axis = checked_axis(axis)
    data = np.asarray(x)
    _, cutoff, axis = checked_arguments(data.dtype, data.ndim, cutoff, axis)
    return _core.unwrap(data, cutoff, axis, out)


def _checked_channels(channels):
    try:
        count = operator.index(channels)
    except TypeError:
        raise TypeError(f"channels must be an integer, not {type(channels).__name__}") from None
    if not 1 <= count < 2**63:
        raise ValueError(f"an Unwrapper needs at least one channel, not {count}" if count < 1 else
                         f"channels must be below 2**63, not {count}")
    return count


class Unwrapper(_core.Unwrapper):
    __doc__ = _core.Unwrapper.__doc__

    @keywords_checked("Unwrapper")
    def __init__(self, channels, cutoff=math.pi, dtype=np.float64):
        super().__init__(_checked_channels(channels), checked_cutoff(cutoff, dtype), dtype)

    @keywords_checked("Unwrapper.process")
    def process(self, chunk, out=None):
        return super().process(chunk, out)

    process.__doc__ = _core.Unwrapper.process.__doc__

    def _set_cutoff(self, value):
        _core.Unwrapper.cutoff.__set__(self, checked_cutoff(value, self.dtype))

    cutoff = property(_core.Unwrapper.cutoff.__get__, _set_cutoff,
                      doc=_core.Unwrapper.cutoff.__doc__)
