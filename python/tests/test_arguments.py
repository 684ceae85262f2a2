"""The arguments of every front end (kqphasefix2.unwrap, Unwrapper, kqphasefix2.dask.unwrap,
kqphasefix2.xarray.unwrap) as numpy, dask and xarray users write them: one table of bad
arguments, each refused with an error that names it and never shows the data, and one table of
arguments written another way that mean the same."""
import math

import numpy as np
import pytest

import kqphasefix2
from bit_checks import assert_identical

# A value the data holds and no message may show.
MARKER = 1.2345678912345


def _data(dtype):
    """(samples, channels) phase with the marker in it; samples along axis 0 in every front end."""
    x = np.angle(np.exp(1j * np.linspace(0.0, 40.0, 60))).reshape(20, 3)
    x[5, 1] = MARKER
    return x.astype(dtype)


def _dask():
    return pytest.importorskip("dask.array", reason="dask is not installed (python3-dask)")


def _xarray():
    return pytest.importorskip("xarray", reason="xarray is not installed (python3-xarray)")


def _numpy_unwrap(x, **arguments):
    return kqphasefix2.unwrap(x, **{"axis": 0, **arguments})


def _unwrapper(x, **arguments):
    return kqphasefix2.Unwrapper(x.shape[1], dtype=x.dtype, **arguments).process(x)


def _unwrapper_process(x, **arguments):
    # The cutoff through the settable property; everything else to process().
    unwrapper = kqphasefix2.Unwrapper(x.shape[1], dtype=x.dtype)
    if "cutoff" in arguments:
        unwrapper.cutoff = arguments.pop("cutoff")
    return unwrapper.process(x, **arguments)


def _dask_unwrap(x, **arguments):
    da = _dask()
    import kqphasefix2.dask as kqdask
    return kqdask.unwrap(da.from_array(x, chunks=(7, 2)), **{"axis": 0, **arguments}).compute()


def _numpy_unwrap_of_dask(x, **arguments):
    return _numpy_unwrap(_dask().from_array(x, chunks=(7, 2)), **arguments).compute()


def _xarray_unwrap(x, **arguments):
    xarray = _xarray()
    import kqphasefix2.xarray as kqxr
    return kqxr.unwrap(xarray.DataArray(x, dims=("time", "beam")), "time", **arguments).values


def _xarray_dataset_unwrap(x, **arguments):
    xarray = _xarray()
    _dask()
    import kqphasefix2.xarray as kqxr
    dataset = xarray.Dataset({"phase": (("time", "beam"), x)}).chunk({"time": 7})
    return kqxr.unwrap(dataset, "time", **arguments)["phase"].values


FRONT_ENDS = {
    "unwrap": _numpy_unwrap,
    "Unwrapper": _unwrapper,
    "Unwrapper.process": _unwrapper_process,
    "dask.unwrap": _dask_unwrap,
    "unwrap of a dask array": _numpy_unwrap_of_dask,
    "xarray.unwrap": _xarray_unwrap,
    "xarray.unwrap of a dask Dataset": _xarray_dataset_unwrap,
}

# (name, arguments, dtype, error, words the message holds). Front ends without an axis refuse
# axis= as a keyword they do not take, which names it too.
BAD_ARGUMENTS = [
    ("NaN cutoff", {"cutoff": math.nan}, np.float64, ValueError, ["cutoff", "finite"]),
    ("infinite cutoff", {"cutoff": math.inf}, np.float64, ValueError, ["cutoff", "finite"]),
    ("negative infinite cutoff", {"cutoff": -math.inf}, np.float32, ValueError, ["cutoff"]),
    ("NaN cutoff of numpy", {"cutoff": np.float32("nan")}, np.float32, ValueError, ["cutoff"]),
    ("cutoff infinite in float32", {"cutoff": 1e40}, np.float32, ValueError,
     ["cutoff", "float32"]),
    # Halfway between the largest float32 and the next power of two: rounds to infinity.
    ("cutoff rounding to float32 infinity", {"cutoff": 3.4028235677973366e38}, np.float32,
     ValueError, ["cutoff", "float32"]),
    ("cutoff beyond binary64", {"cutoff": 10**400}, np.float64, ValueError, ["cutoff"]),
    ("cutoff as text", {"cutoff": "pi"}, np.float64, TypeError, ["cutoff", "str"]),
    ("complex cutoff", {"cutoff": 1j}, np.float64, TypeError, ["cutoff", "complex"]),
    ("numpy's discont", {"discont": math.pi}, np.float64, TypeError,
     ["'discont'", "use cutoff", "correction", "raw jump"]),
    ("numpy's period", {"period": 360.0}, np.float64, TypeError,
     ["'period'", "radians"]),
    ("axis as a float", {"axis": 0.0}, np.float64, TypeError, ["axis"]),
    ("axis as text", {"axis": "time"}, np.float64, TypeError, ["axis"]),
    ("unknown keyword", {"method": "linear"}, np.float64, TypeError, ["'method'"]),
]


@pytest.mark.parametrize("front_end", FRONT_ENDS)
@pytest.mark.parametrize("name, arguments, dtype, error, words", BAD_ARGUMENTS,
                         ids=[row[0] for row in BAD_ARGUMENTS])
def test_bad_arguments_are_named_and_the_data_is_not_shown(front_end, name, arguments, dtype,
                                                           error, words):
    with pytest.raises(error) as caught:
        FRONT_ENDS[front_end](_data(dtype), **arguments)
    message = str(caught.value)
    for word in words:
        assert word in message, (name, message)
    for shown in (repr(MARKER)[:8], "array(", "Invoked with"):
        assert shown not in message, (name, message)


# (name, arguments, dtype, the same in the plainest form).
SAME_ARGUMENTS = [
    ("cutoff None is the default", {"cutoff": None}, np.float64, {}),
    ("cutoff None in float32", {"cutoff": None}, np.float32, {"cutoff": math.pi}),
    ("largest float32 cutoff", {"cutoff": 3.4e38}, np.float32, {"cutoff": 1e30}),
    ("cutoff rounding down to the largest float32", {"cutoff": 3.4028235677973306e38},
     np.float32, {"cutoff": 1e30}),
    ("cutoff infinite only in float32", {"cutoff": 1e40}, np.float64, {"cutoff": 1e30}),
    ("cutoff as a 0-d array", {"cutoff": np.array(2.0)}, np.float64, {"cutoff": 2.0}),
    ("cutoff as a numpy integer", {"cutoff": np.int8(-7)}, np.float64, {"cutoff": 7.0}),
]


@pytest.mark.parametrize("front_end", FRONT_ENDS)
@pytest.mark.parametrize("name, arguments, dtype, plain", SAME_ARGUMENTS,
                         ids=[row[0] for row in SAME_ARGUMENTS])
def test_arguments_written_another_way_mean_the_same(front_end, name, arguments, dtype, plain):
    x = _data(dtype)
    assert_identical(FRONT_ENDS[front_end](x, **arguments), FRONT_ENDS[front_end](x, **plain))


@pytest.mark.parametrize("arguments, error, word", [
    ({"channels": 2.0}, TypeError, "channels"),
    ({"channels": 0}, ValueError, "channel"),
    ({"channels": 2**64}, ValueError, "channels"),
    ({"channels": 2, "dtype": np.complex64}, TypeError, "complex64"),
])
def test_unwrapper_construction(arguments, error, word):
    with pytest.raises(error, match=word) as caught:
        kqphasefix2.Unwrapper(**arguments)
    assert "Invoked with" not in str(caught.value)
