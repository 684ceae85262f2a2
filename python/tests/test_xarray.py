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


def _packed_phase_store(path):
    """A zarr store of wrapped phase packed as int16 with a scale factor of 1e-4 (values within
    +-3.2768 rad), in zarr chunks of 100 along time."""
    phase = np.angle(np.exp(1j * np.cumsum(np.linspace(0.0, 0.9, 2 * 1000)))).reshape(2, 1000)
    dataset = xarray.Dataset({"phase": (("beam", "time"), phase, {"units": "rad"})},
                             coords={"time": np.arange(1000)})
    dataset["phase"].encoding = {"dtype": "int16", "scale_factor": 1e-4, "_FillValue": -32768,
                                 "chunks": (1, 100)}
    dataset.to_zarr(path)


@pytest.mark.parametrize("backing", ["numpy", "dask"])
def test_packed_store_round_trip_keeps_the_unwrapped_values(tmp_path, backing):
    # The source's packing (int16, scale 1e-4, zarr chunks of 100) describes the wrapped phase,
    # not the result: written back with it, unwrapped phase would be clipped to +-3.28 rad, and
    # rechunked to 250 along time its zarr chunks would overlap.
    pytest.importorskip("zarr", reason="zarr is not installed (python3-zarr)")
    _packed_phase_store(tmp_path / "in.zarr")
    source = xarray.open_zarr(tmp_path / "in.zarr")["phase"]
    if backing == "numpy":
        source = source.load()
    result = kqxr.unwrap(source, "time")
    expected = kqphasefix2.unwrap(source.values, math.pi, source.get_axis_num("time"))
    assert np.abs(expected).max() > 100.0  # far beyond what the int16 packing holds
    assert result.encoding == {} and source.encoding["dtype"] == np.int16
    result.to_dataset().to_zarr(tmp_path / "out.zarr")
    assert_identical(xarray.open_zarr(tmp_path / "out.zarr")["phase"].values, expected)
    result.chunk(time=250).to_dataset().to_zarr(tmp_path / "rechunked.zarr")
    assert_identical(xarray.open_zarr(tmp_path / "rechunked.zarr")["phase"].values, expected)
