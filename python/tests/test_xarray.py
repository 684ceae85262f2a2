"""kqphasefix2.xarray.unwrap: a DataArray keeps its dims, coordinates, attributes and name, and
numpy- and dask-backed arrays give the bits of kqphasefix2.unwrap."""
import math

import numpy as np
import pytest

xarray = pytest.importorskip(
    "xarray", reason="xarray is not installed (Debian: apt-get install python3-xarray)")

import kqphasefix2  # noqa: E402
import kqphasefix2.xarray as kqxr  # noqa: E402
from dask_cases import assert_identical, channels  # noqa: E402


def _phase(dtype=np.float64):
    data = channels(6, "hard values", dtype).reshape(2, 3, 40)
    return xarray.DataArray(
        np.moveaxis(data, -1, 1), dims=("antenna", "time", "band"), name="phase",
        coords={"time": np.arange(40) * 0.5, "antenna": ["a", "b"],
                "gain": ("antenna", [1.0, 2.0]),
                # Its dims in another order than the data's: it stays as it is.
                "weight": (("band", "time"), np.ones((3, 40)))},
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


def _dataset(chunks=None):
    """phase and level have the dimension time, flag and label do not."""
    phase = _phase()
    dataset = xarray.Dataset(
        {"phase": phase, "level": ("time", channels(1, "nan", np.float32)[0]),
         "flag": ("antenna", [3, 4]), "label": ("antenna", ["x", "y"])},
        attrs={"title": "test"})
    return dataset if chunks is None else dataset.chunk(chunks)


@pytest.mark.parametrize("chunks", [None, {"time": 7}], ids=["numpy", "dask"])
def test_dataset_unwraps_the_variables_that_have_the_dimension(chunks):
    if chunks is not None:
        pytest.importorskip("dask.array", reason="dask is not installed (python3-dask)")
    source = _dataset(chunks)
    result = kqxr.unwrap(source, "time", cutoff=2.0)
    assert isinstance(result, xarray.Dataset) and result.attrs == source.attrs
    assert list(result.data_vars) == list(source.data_vars)
    for name in ("phase", "level"):
        array = source[name].compute()
        assert result[name].dims == array.dims and result[name].attrs == array.attrs
        assert_identical(result[name].values,
                         kqphasefix2.unwrap(array.values, 2.0, array.get_axis_num("time")))
    for name in ("flag", "label"):
        assert result[name].identical(source[name])
    assert result.coords.to_dataset().identical(source.coords.to_dataset())


# (keep_attrs, xarray's keep_attrs option, kept): None follows the option, whose "default"
# keeps them, as xarray's interpolate_na does.
KEEP_ATTRS = [
    (None, "default", True),
    (None, False, False),
    (None, True, True),
    (False, "default", False),
    (True, False, True),
]


@pytest.mark.parametrize("kind", ["DataArray", "Dataset"])
@pytest.mark.parametrize("keep_attrs, option, kept", KEEP_ATTRS)
def test_keep_attrs(keep_attrs, option, kept, kind):
    source = _phase() if kind == "DataArray" else _dataset()
    with xarray.set_options(keep_attrs=option):
        result = kqxr.unwrap(source, "time", keep_attrs=keep_attrs)
    unwrapped = result if kind == "DataArray" else result["phase"]
    assert unwrapped.attrs == (_phase().attrs if kept else {})
    assert result.attrs == (source.attrs if kept else {})
    assert result.coords["gain"].identical(source.coords["gain"])


def test_dask_is_told_by_the_array_not_by_its_module():
    da = pytest.importorskip("dask.array", reason="dask is not installed (python3-dask)")
    # A dask array of a class defined outside dask: it is told by what it is, not by its module.
    lazy_type = type("LazyPhase", (da.Array,), {"__module__": "lab.arrays"})
    chunked = da.from_array(_phase().values, chunks=(1, 7, 3))
    data = da.Array.__new__(lazy_type, chunked.dask, chunked.name, chunked.chunks,
                            meta=chunked._meta)
    result = kqxr.unwrap(_phase().copy(data=data), "time")
    assert isinstance(result.data, da.Array)
    assert_identical(result.values, kqphasefix2.unwrap(_phase().values, math.pi, 1))


def test_unknown_chunk_sizes_say_what_to_call():
    da = pytest.importorskip("dask.array", reason="dask is not installed (python3-dask)")
    values = da.from_array(np.arange(10.0) * 2.5, chunks=3)
    array = xarray.DataArray(xarray.Variable(("time",), values[values > 4.0]))
    with pytest.raises(ValueError, match=r"'time'.*array\.copy\(data=array\.data\."
                                         r"compute_chunk_sizes\(\)\)"):
        kqxr.unwrap(array, "time")
    # What the message says to call.
    known = array.copy(data=array.data.compute_chunk_sizes())
    assert_identical(kqxr.unwrap(known, "time").values,
                     kqphasefix2.unwrap(np.arange(2, 10) * 2.5))


@pytest.mark.parametrize("argument, dim, keywords, error, words", [
    ("array", "frequency", {}, ValueError, ["frequency"]),
    ("dataset", "frequency", {}, ValueError, ["frequency"]),
    ("numpy", "time", {}, TypeError, ["DataArray or Dataset"]),
    ("complex", "time", {}, TypeError, ["complex"]),
    ("complex dataset", "time", {}, TypeError, ["'phase'", "complex"]),
    ("array", "time", {"keep_attrs": "yes"}, TypeError, ["keep_attrs"]),
    ("array", "time", {"axis": 1}, TypeError, ["'axis'", "dim"]),
])
def test_errors(argument, dim, keywords, error, words):
    array = {"array": _phase, "dataset": _dataset, "numpy": lambda: _phase().values,
             "complex": lambda: _phase().astype(np.complex128),
             "complex dataset": lambda: _dataset().assign(
                 phase=_phase().astype(np.complex128))}[argument]()
    with pytest.raises(error) as caught:
        kqxr.unwrap(array, dim, **keywords)
    for word in words:
        assert word in str(caught.value)


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
