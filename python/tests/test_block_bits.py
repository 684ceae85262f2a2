"""The module against the block itself: kqhost runs the block on the same data, and the output
files must hold the module's results byte for byte."""
import os
import subprocess

import numpy as np
import pytest

import kqphasefix2
from signals import hard_phase

KQHOST = os.environ.get("KQHOST")
pytestmark = pytest.mark.skipif(not KQHOST, reason="KQHOST does not name a kqhost binary")

PRECISIONS = {"double": np.dtype("<f8"), "single": np.dtype("<f4")}
SUFFIX = {"double": ".f64", "single": ".f32"}


def run_block(tmp_path, x, precision, *options):
    """kqhost run on x (time steps, channels); the block's output as an array of x's shape."""
    assert os.path.isfile(KQHOST), "KQHOST=%s is not a file" % KQHOST
    source = tmp_path / ("in" + SUFFIX[precision])
    target = tmp_path / ("out" + SUFFIX[precision])
    x.astype(PRECISIONS[precision]).tofile(source)
    command = [KQHOST, "run", "--channels", str(x.shape[1]), *options, str(source), str(target)]
    subprocess.run(command, check=True, capture_output=True, text=True)
    return np.fromfile(target, PRECISIONS[precision]).reshape(x.shape)


def assert_same_bytes(module_result, block_result):
    module_result = np.ascontiguousarray(module_result)
    assert module_result.dtype == block_result.dtype
    if module_result.tobytes() != block_result.tobytes():
        raw = "V%d" % block_result.itemsize
        differ = np.flatnonzero(module_result.reshape(-1).view(raw) !=
                                block_result.reshape(-1).view(raw))
        raise AssertionError("%d of %d samples differ, the first at flat index %d" % (
            differ.size, block_result.size, differ[0]))


def frames(length, size):
    return [slice(start, min(start + size, length)) for start in range(0, length, size)]


@pytest.fixture(params=["double", "single"])
def precision(request):
    return request.param


@pytest.fixture(params=[[], ["--in-place"]], ids=["copy", "in place"])
def buffers(request):
    return request.param


# Time-major frames of 3 channels go through staging; 9 are walked row by row at every vector
# level, the last vector overlapping the one before it.
@pytest.mark.parametrize("channels", [3, 9])
def test_stateless_frames(tmp_path, precision, buffers, channels):
    x = hard_phase((channels, 1000), PRECISIONS[precision], seed=20).T.copy()
    block = run_block(tmp_path, x, precision, "--mode", "stateless", "--frame", "64", *buffers)
    module = np.concatenate([kqphasefix2.unwrap(x[f], axis=0) for f in frames(len(x), 64)])
    assert_same_bytes(module, block)


def test_stateless_vector_per_time_step(tmp_path, precision, buffers):
    x = hard_phase((300, 40), PRECISIONS[precision], seed=21)
    block = run_block(tmp_path, x, precision, "--mode", "stateless", "--shape", "vector",
                      "--tolerance", "-7.0", *buffers)
    assert_same_bytes(kqphasefix2.unwrap(x, cutoff=-7.0, axis=1), block)


@pytest.mark.parametrize("channels", [4, 9])
def test_running_frames_with_tolerance_changes_and_resets(tmp_path, precision, buffers, channels):
    x = hard_phase((channels, 1500), PRECISIONS[precision], seed=22).T.copy()
    changes = {5: 0.0, 9: -7.0, 14: 1e-20, 20: 3.141592653589793}
    resets = {12, 17}
    options = ["--frame", "50", *buffers]
    for step, tolerance in changes.items():
        options += ["--set-tolerance", "%d:%r" % (step, tolerance)]
    for step in resets:
        options += ["--reset", str(step)]
    block = run_block(tmp_path, x, precision, *options)

    unwrapper = kqphasefix2.Unwrapper(channels, dtype=PRECISIONS[precision])
    parts = []
    for step, rows in enumerate(frames(len(x), 50)):
        if step in changes:
            unwrapper.cutoff = changes[step]
        if step in resets:
            unwrapper.reset()
        parts.append(unwrapper.process(x[rows]))
    assert_same_bytes(np.concatenate(parts), block)


def test_running_frames_with_a_partial_last_frame(tmp_path, precision):
    x = hard_phase((2, 1001), PRECISIONS[precision], seed=23).T.copy()
    block = run_block(tmp_path, x, precision, "--frame", "128")
    unwrapper = kqphasefix2.Unwrapper(2, dtype=PRECISIONS[precision])
    module = np.concatenate([unwrapper.process(x[rows]) for rows in frames(len(x), 128)])
    assert_same_bytes(module, block)


def test_running_per_element_rows(tmp_path, precision, buffers):
    # A sample-based row: the block runs its per-element kernels, one sample of each channel
    # per output step, which give the bits of per-channel frames of one sample.
    x = hard_phase((5, 200), PRECISIONS[precision], seed=24).T.copy()
    block = run_block(tmp_path, x, precision, "--shape", "row", *buffers)
    unwrapper = kqphasefix2.Unwrapper(5, dtype=PRECISIONS[precision])
    assert_same_bytes(np.concatenate([unwrapper.process(x[t:t + 1]) for t in range(len(x))]),
                      block)


def test_running_vector_is_one_channel_across_steps(tmp_path, precision):
    x = hard_phase((250, 16), PRECISIONS[precision], seed=25)
    block = run_block(tmp_path, x, precision, "--shape", "vector")
    unwrapper = kqphasefix2.Unwrapper(1, dtype=PRECISIONS[precision])
    assert_same_bytes(np.concatenate([unwrapper.process(row) for row in x]).reshape(x.shape),
                      block)
