"""kqphasefix2.unwrap: the block's stateless bits over any layout, and the argument rules."""
import math
import threading

import numpy as np
import pytest

import kqphasefix2
import reference_unwrap
from bit_checks import assert_same_bits
from signals import hard_phase

DTYPES = [np.float64, np.float32]
# 1e-16 and 2e-15 lie on either side of the kernels' calm bound 1e-15 (kCalmCutoff); a cutoff that
# is not finite is refused (test_arguments.py).
CUTOFFS = [math.pi, -math.pi, 0.0, -0.0, 1e-16, 2e-15, 1.0, 2 * math.pi, 7.0, 1e30]


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("cutoff", CUTOFFS)
def test_bits_match_the_block_arithmetic(dtype, cutoff):
    x = hard_phase((5, 3000), dtype, seed=1)
    assert_same_bits(kqphasefix2.unwrap(x, cutoff), reference_unwrap.stateless(x, cutoff))


def _layouts(dtype):
    """(name, input array, axis): one signal laid out every way numpy allows."""
    base = hard_phase((6, 7, 500), dtype, seed=2)
    # Channels that start on -0 or NaN, along each axis: sample 0 must pass through as it is.
    base[0, :3, :3] = -0.0
    base[1, :3, :3] = np.nan
    raw = np.zeros(base.nbytes + base.itemsize, np.uint8)
    unaligned = raw[1:1 + base.nbytes].view(dtype).reshape(base.shape)
    unaligned[...] = base
    return [
        ("C order, last axis", base, -1),
        ("C order, first axis", base, 0),
        ("C order, middle axis", base, 1),
        ("Fortran order, first axis", np.asfortranarray(base), 0),
        ("Fortran order, last axis", np.asfortranarray(base), 2),
        ("reversed", base[::-1, :, ::-1], -1),
        ("every third sample", base[:, :, ::3], -1),
        ("every other channel", base[::2, 1::2, :], 0),
        ("unaligned", unaligned, -1),
        ("byte-swapped", base.astype(np.dtype(dtype).newbyteorder()), -1),
        ("one channel", base[2, 3, :], 0),
        ("channels of one sample", base[:, :, :1], -1),
        ("channels of two samples", base[:, :, :2], -1),
        ("broadcast channels", np.broadcast_to(base[:1], base.shape), 2),
        ("broadcast samples", np.broadcast_to(base[:1], base.shape), 0),
    ]


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("in_place", [False, True], ids=["copy", "in place"])
def test_every_layout_gives_the_bits_of_a_contiguous_channel(dtype, in_place):
    for index in range(len(_layouts(dtype))):
        # Fresh arrays for every layout: in place, a view writes into its base.
        name, x, axis = _layouts(dtype)[index]
        expected = reference_unwrap.stateless(x.astype(dtype), math.pi, axis)
        if in_place and x.dtype.isnative and x.flags.writeable:
            result = kqphasefix2.unwrap(x, axis=axis, out=x)
            assert result is x, name
        else:
            before = x.copy()
            result = kqphasefix2.unwrap(x, axis=axis)
            assert_same_bits(x, before)  # the input is left alone
        assert result.dtype == np.dtype(dtype), name
        try:
            assert_same_bits(result, expected)
        except AssertionError as error:
            raise AssertionError("%s: %s" % (name, error)) from None


@pytest.mark.parametrize("dtype", DTYPES)
def test_out_with_other_strides_or_overlapping_the_input(dtype):
    x = hard_phase((400, 8), dtype, seed=3)
    expected = reference_unwrap.stateless(x, math.pi, 0)
    fortran = np.empty_like(x, order="F")
    assert_same_bits(kqphasefix2.unwrap(x, axis=0, out=fortran), expected)
    # out is the input read backwards: every sample is read before it is overwritten.
    buffer = x.copy()
    reversed_view = buffer[::-1]
    expected_reversed = reference_unwrap.stateless(reversed_view.copy(), math.pi, 0)
    kqphasefix2.unwrap(reversed_view, axis=0, out=buffer)
    assert_same_bits(buffer, expected_reversed)
    # Shifted by one channel in the same memory.
    shared = np.concatenate([x, x[:, :1]], axis=1)
    source, target = shared[:, 1:], shared[:, :-1]
    expected_shifted = reference_unwrap.stateless(source.copy(), math.pi, 0)
    kqphasefix2.unwrap(source, axis=0, out=target)
    assert_same_bits(target, expected_shifted)


@pytest.mark.parametrize("dtype", [np.int8, np.uint16, np.int64, np.bool_])
def test_integers_and_booleans_become_float64(dtype):
    x = (np.arange(-40, 40) * 7 % 13).astype(dtype)
    result = kqphasefix2.unwrap(x)
    assert result.dtype == np.float64
    assert_same_bits(result, reference_unwrap.stateless(x.astype(np.float64)))


def test_lists_and_empty_arrays():
    assert_same_bits(kqphasefix2.unwrap([0, 4, 8.0]),
                     np.array([0, -2.2831853071795862, -4.5663706143591725]))
    for shape in [(0,), (3, 0), (0, 5)]:
        for dtype in DTYPES:
            result = kqphasefix2.unwrap(np.zeros(shape, dtype))
            assert result.shape == shape and result.dtype == np.dtype(dtype)


def test_float32_cutoff_is_rounded_to_float32():
    x = np.array([0.0, 4.0], np.float32)
    correction = float(reference_unwrap.corrections(x[:1], x[1:], 0.0, np.float32)[0])
    magnitude = abs(correction)
    assert float(np.float32(magnitude)) == magnitude  # the single correction is a float32 value
    # Just below the correction in binary64, but equal to it once rounded to float32: no
    # correction is taken (the comparison is strict).
    cutoff = np.nextafter(magnitude, 0.0)
    assert float(np.float32(cutoff)) == magnitude
    assert kqphasefix2.unwrap(x, cutoff)[1] == np.float32(4.0)
    # One float32 step lower, the correction is taken.
    below = float(np.nextafter(np.float32(magnitude), np.float32(0.0)))
    assert kqphasefix2.unwrap(x, below)[1] == np.float32(4.0 - magnitude)


@pytest.mark.parametrize("value, error", [
    (np.array([1 + 1j, 2 + 0j]), TypeError),
    (np.array([1, 2], np.float16), TypeError),
    (np.array([1, 2], np.longdouble), TypeError),
    (np.array([1.0, "a"], object), TypeError),
    (np.array(["0.5", "1.5"]), TypeError),
    (np.array(["2024-01-01"], "datetime64[D]"), TypeError),
    (np.float64(1.0), ValueError),
    (3.0, ValueError),
])
def test_refused_input(value, error):
    with pytest.raises(error):
        kqphasefix2.unwrap(value)


def test_refused_axis_and_out():
    x = np.zeros((3, 4))
    with pytest.raises(np.AxisError):
        kqphasefix2.unwrap(x, axis=2)
    with pytest.raises(np.AxisError):
        kqphasefix2.unwrap(x, axis=-3)
    with pytest.raises(TypeError, match="dtype"):
        kqphasefix2.unwrap(x, out=np.zeros((3, 4), np.float32))
    with pytest.raises(ValueError, match="shape"):
        kqphasefix2.unwrap(x, out=np.zeros((4, 3)))
    with pytest.raises(TypeError, match="numpy array"):
        kqphasefix2.unwrap(x, out=[[0.0] * 4] * 3)
    read_only = np.zeros((3, 4))
    read_only.flags.writeable = False
    with pytest.raises(ValueError, match="read-only"):
        kqphasefix2.unwrap(x, out=read_only)
    with pytest.raises(TypeError):
        kqphasefix2.unwrap(x, cutoff="pi")


def test_threads_share_nothing():
    # Channels that need staging, in both precisions, from several threads at once.
    signals = [hard_phase((3000, 5), dtype, seed=10 + i) for i, dtype in enumerate(DTYPES * 2)]
    expected = [reference_unwrap.stateless(x, math.pi, 0) for x in signals]
    results = [None] * len(signals)

    def run(i):
        for _ in range(20):
            results[i] = kqphasefix2.unwrap(signals[i], axis=0)

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(signals))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for result, reference in zip(results, expected):
        assert_same_bits(result, reference)


def test_vector_level_is_named():
    # The names come from the kernels' one level list; the scalar level is always there.
    assert kqphasefix2.vector_level in kqphasefix2.vector_levels
    assert kqphasefix2.vector_levels[0] == "scalar"
    assert len(set(kqphasefix2.vector_levels)) == len(kqphasefix2.vector_levels)


@pytest.mark.parametrize("name", ["unknown", "SCALAR"])
def test_unknown_vector_level_names_the_levels(name):
    import os
    import subprocess
    import sys
    call = "import kqphasefix2; kqphasefix2.unwrap([0.0, 4.0])"
    ran = subprocess.run([sys.executable, "-c", call], capture_output=True, text=True,
                         env=dict(os.environ, KQPHASEFIX2_VECTOR_LEVEL=name))
    assert ran.returncode != 0
    assert all(level in ran.stderr for level in kqphasefix2.vector_levels), ran.stderr


def test_signature_docstring_and_version():
    import inspect
    import pathlib
    import pydoc
    assert list(inspect.signature(kqphasefix2.unwrap).parameters) == ["x", "cutoff", "axis", "out"]
    assert list(inspect.signature(kqphasefix2.Unwrapper).parameters) == [
        "channels", "cutoff", "dtype"]
    shown = pydoc.render_doc(kqphasefix2.unwrap, renderer=pydoc.plaintext)
    assert "unwrap(x, cutoff=3.141592653589793, axis=-1, out=None)" in shown
    for parameter in ("x :", "cutoff :", "axis :", "out :", "Returns"):
        assert parameter in shown
    assert "channels :" in pydoc.render_doc(kqphasefix2.Unwrapper, renderer=pydoc.plaintext)
    # One version for the project: the file CMake reads.
    version_file = pathlib.Path(__file__).resolve().parents[2] / "VERSION"
    assert kqphasefix2.__version__ == version_file.read_text().strip()
    assert kqphasefix2.__version__.count(".") == 2


def test_dask_array_stays_lazy():
    da = pytest.importorskip("dask.array", reason="dask is not installed (python3-dask)")
    x = hard_phase((4, 60), np.float32, seed=5)
    touched = []

    def record(block):
        touched.append(block.shape)
        return block

    watched = da.from_array(x, chunks=(2, 25)).map_blocks(record, dtype=x.dtype)
    touched.clear()  # map_blocks tries its function on an empty block
    result = kqphasefix2.unwrap(watched, 2.0, axis=-1)
    assert isinstance(result, da.Array) and touched == []
    assert result.chunks == watched.chunks and result.dtype == np.float32
    assert_same_bits(result.compute(scheduler="threads"), kqphasefix2.unwrap(x, 2.0))
    with pytest.raises(TypeError, match="out"):
        kqphasefix2.unwrap(watched, out=np.empty_like(x))


def test_dask_backed_xarray_is_not_loaded():
    xarray = pytest.importorskip("xarray", reason="xarray is not installed (python3-xarray)")
    pytest.importorskip("dask.array", reason="dask is not installed (python3-dask)")
    lazy = xarray.DataArray(hard_phase((4, 60)), dims=("beam", "time")).chunk({"time": 25})
    with pytest.raises(TypeError, match="kqphasefix2.xarray.unwrap"):
        kqphasefix2.unwrap(lazy)
    # A numpy-backed DataArray is an array like any other.
    assert_same_bits(kqphasefix2.unwrap(lazy.compute()), kqphasefix2.unwrap(lazy.values))


# Imports run in a fresh interpreter where dask and xarray cannot be imported.
_WITHOUT = """
import sys
class Absent:
    def find_spec(self, name, path=None, target=None):
        if name.split(".")[0] in ("dask", "distributed", "xarray"):
            raise ImportError("No module named " + repr(name))
sys.meta_path.insert(0, Absent())
import kqphasefix2
print(kqphasefix2.unwrap([0.0, 4.0]).tolist())
try:
    import kqphasefix2.%s
except ImportError as error:
    print(error)
"""


@pytest.mark.parametrize("submodule, package", [("dask", "python3-dask"),
                                                ("xarray", "python3-xarray")])
def test_package_imports_without_dask_and_xarray(submodule, package):
    import subprocess
    import sys
    ran = subprocess.run([sys.executable, "-c", _WITHOUT % submodule], capture_output=True,
                         text=True, check=True)
    lines = ran.stdout.splitlines()
    assert lines[0] == str(kqphasefix2.unwrap([0.0, 4.0]).tolist())
    assert len(lines) == 2 and package in lines[1] and "kqphasefix2." + submodule in lines[1]
