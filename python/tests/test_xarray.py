"""kqphasefix2.xarray.unwrap: a DataArray keeps its dims, coordinates, attributes and name, and
numpy- and dask-backed arrays give the bits of kqphasefix2.unwrap."""
import math

import numpy as np
import pytest

xarray = pytest.importorskip(
    "xarray", reason="xarray is not installed (Debian: apt-get install python3-xarray)")

import kqphasefix2  # noqa: E402
import kqphasefix2.xarray as kqxr  # noqa: E402
from dask_cases import assert_identical, lanes  # noqa: E402


def _phase(dtype=np.float64):
    data = lanes(6, "hard values", dtype).reshape(2, 3, 40)
    return xarray.DataArray(
        np.moveaxis(data, -1, 1), dims=("antenna", "time", "band"), name="phase",
        coords={"time": np.arange(40) * 0.5, "antenna": ["a", "b"],
                "gain": ("antenna", [1.0, 2.0])},
        attrs={"units": "rad", "source": "test"})


@pytest.mark.parametrize("dtype", [np.float64, np.float32])
@pytest.mark.parametrize("dim", ["time", "antenna", "band"])
@pytest.mark.parametrize("chunks", [None, {"time": 7}, {"time": 1, "band": 2}],
                         ids=["numpy", "dask 7", "dask 1x2"])
def test_unwrap_along_a_named_dimension(dim, chunks, dtype):
    if chunks is not None:
        pytest.importorskip("dask.array", reason="dask is not installed (python3-dask)")
    array = _phase(dtype)
    source = array if chunks is None else array.chunk(chunks)
    result = kqxr.unwrap(source, dim, cutoff=2.0)
    assert (chunks is None) == isinstance(result.data, np.ndarray)
    assert result.dims == array.dims and result.name == array.name
    assert result.attrs == array.attrs
    for name, coordinate in array.coords.items():
        assert result.coords[name].identical(coordinate)
    expected = kqphasefix2.unwrap(array.values, 2.0, array.get_axis_num(dim))
    assert_identical(result.values, expected)


def test_integer_data_becomes_float64():
    array = xarray.DataArray(np.arange(12).reshape(3, 4) * 3, dims=("x", "y"))
    result = kqxr.unwrap(array, "y")
    assert_identical(result.values, kqphasefix2.unwrap(array.values, math.pi, 1))


@pytest.mark.parametrize("argument, dim, error", [
    ("array", "frequency", ValueError),
    ("numpy", "time", TypeError),
    ("complex", "time", TypeError),
])
def test_errors(argument, dim, error):
    array = {"array": _phase(), "numpy": _phase().values,
             "complex": _phase().astype(np.complex128)}[argument]
    with pytest.raises(error, match="frequency" if argument == "array" else None):
        kqxr.unwrap(array, dim)
