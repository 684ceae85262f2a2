"""The arguments of kqphasefix2's front ends (unwrap, Unwrapper, kqphasefix2.dask.unwrap,
kqphasefix2.xarray.unwrap), checked the same way in each, before any data reaches the binding:
every error names the argument, and none shows the data.

- keywords_checked(caller): a decorator that turns a keyword the function does not take into a
  TypeError naming it, with advice for numpy.unwrap's discont and period;
- checked_cutoff(cutoff, dtype): the cutoff as a float (None: the default);
- checked_axis(axis, ndim): the axis as an int, normalised into [0, ndim) when ndim is given;
- checked_arguments(dtype, ndim, cutoff, axis): all of kqphasefix2.unwrap's checks for data of
  a dtype and a number of dimensions, for a front end that does not hand it the data (dask).
"""
import functools
import inspect
import math
import numbers
import operator

import numpy as np

from . import _core

DEFAULT_CUTOFF = math.pi

_AxisError = np.exceptions.AxisError if hasattr(np, "exceptions") else np.AxisError
_FLOAT64 = np.dtype(np.float64)
_FLOAT32 = np.dtype(np.float32)
_FLOAT32_MAX = float(np.finfo(np.float32).max)

# numpy.unwrap's keywords that have no counterpart here, and what to write instead.
_NUMPY_KEYWORDS = {
    "discont": (
        "use cutoff instead. cutoff bounds the size of the correction, a whole number of turns "
        "of 2*pi, not the size of the raw jump that numpy's discont bounds: any cutoff below "
        "2*pi corrects every wrap, as numpy does with discont=None or any discont up to pi; "
        "cutoff=None is the default, math.pi"),
    "period": (
        "a period is not supported: the phase is in radians only (a period of 2*pi); scale "
        "by 2*pi/period before and by period/(2*pi) after"),
}


def keywords_checked(caller, hints=None):
    """Decorates a front end so that a keyword it does not take raises a TypeError naming the
    keyword (with what to use instead for numpy's discont and period, or for a name in hints)
    before the function runs. inspect.signature and help() show the function's own signature."""
    advice = dict(_NUMPY_KEYWORDS, **(hints or {}))

    def decorate(function):
        taken = {name for name, parameter in inspect.signature(function).parameters.items()
                 if parameter.kind in (parameter.POSITIONAL_OR_KEYWORD, parameter.KEYWORD_ONLY)}

        @functools.wraps(function)
        def checked(*args, **keywords):
            for name in keywords:
                if name not in taken:
                    message = f"{caller}() got an unexpected keyword argument {name!r}"
                    if name in advice:
                        message += ": " + advice[name]
                    raise TypeError(message)
            return function(*args, **keywords)

        return checked

    return decorate


def _is_single(dtype):
    if not isinstance(dtype, np.dtype):
        try:
            dtype = np.dtype(dtype)
        except TypeError:
            return False
    return dtype.kind == "f" and dtype.itemsize == 4


# Half a step above the largest float32: from here on binary32 rounding to nearest gives infinity
# (the tie too, the largest float32 having an odd significand).
_FLOAT32_OVERFLOW = float.fromhex("0x1.ffffffp+127")


def _rounds_to_float32_infinity(magnitude):
    """Whether a finite binary64 magnitude rounds to infinity in binary32 (to nearest, as the
    binding's conversion rounds): beyond the largest float32 by half its last step or more. A
    comparison, not a conversion, so the thread's rounding mode does not move the answer."""
    return magnitude >= _FLOAT32_OVERFLOW


def checked_cutoff(cutoff, dtype):
    """The cutoff as a Python float for data of `dtype`: None gives the default, math.pi, as
    numpy's discont=None does. TypeError naming cutoff for anything but a real number; ValueError
    naming it for a cutoff that is not finite in the data's precision (NaN, infinities, and for
    float32 data a magnitude that rounds to infinity in float32, such as 1e40). The sign is kept:
    the binding takes the magnitude."""
    if cutoff is None:
        return DEFAULT_CUTOFF
    if type(cutoff) is float and -_FLOAT32_MAX <= cutoff <= _FLOAT32_MAX:
        return cutoff  # finite in both precisions: the common case, without the checks below
    real_array = (isinstance(cutoff, np.ndarray) and cutoff.ndim == 0
                  and cutoff.dtype.kind in "fiub")
    if not isinstance(cutoff, numbers.Real) and not real_array:
        raise TypeError(f"cutoff must be a real number, not {type(cutoff).__name__}")
    try:
        value = float(cutoff)
    except OverflowError:  # an integer beyond binary64
        value = math.inf
    single = _is_single(dtype)
    finite = math.isfinite(value) and not (single and _rounds_to_float32_infinity(abs(value)))
    if not finite:
        precision = "float32, the data's precision" if single else "float64"
        raise ValueError(
            f"cutoff must be a number that is finite in {precision}, not {cutoff!r:.40}")
    return value


def checked_axis(axis, ndim=None):
    """axis as a Python int: a TypeError naming axis for anything but an integer (1.0 included,
    as numpy refuses it). With ndim, normalised into [0, ndim), numpy's AxisError outside
    [-ndim, ndim)."""
    try:
        index = operator.index(axis)
    except TypeError:
        raise TypeError(f"axis must be an integer, not {type(axis).__name__}") from None
    if ndim is None:
        return index
    if not -ndim <= index < ndim:
        raise _AxisError(index, ndim)
    return index % ndim


def unwrapped_dtype(dtype):
    """The dtype of kqphasefix2.unwrap's result for data of `dtype`: float64 and float32 stay,
    integers and booleans become float64; the binding's TypeError for the dtypes it refuses."""
    dtype = np.dtype(dtype)
    if dtype.kind == "f" and dtype.itemsize in (4, 8):
        return _FLOAT32 if dtype.itemsize == 4 else _FLOAT64
    if dtype.kind in "iub":
        return _FLOAT64
    # The binding decides the rest (and refuses complex, float16, long double, objects, text).
    return _core.unwrap(np.zeros(1, dtype)).dtype


def checked_arguments(dtype, ndim, cutoff, axis):
    """(result dtype, cutoff, axis in [0, ndim)) for data of `dtype` with `ndim` dimensions, with
    the errors kqphasefix2.unwrap raises for them: TypeError for a refused dtype or a non-integer
    axis, ValueError for 0-d data or a cutoff that is not finite, numpy's AxisError for an axis
    out of range."""
    axis = checked_axis(axis)
    result = unwrapped_dtype(dtype)
    if ndim == 0:
        raise ValueError("unwrap needs an array of at least one dimension, not a 0-d value")
    return result, checked_cutoff(cutoff, result), checked_axis(axis, ndim)
