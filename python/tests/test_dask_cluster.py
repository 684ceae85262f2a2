"""kqphasefix2.dask.unwrap on a LocalCluster of worker processes: the bits of one call, and an
out-of-core run from zarr to zarr with the workers' memory limit well below the array's size."""
import math
import resource

import numpy as np
import pytest

da = pytest.importorskip(
    "dask.array", reason="dask is not installed (Debian: apt-get install python3-dask)")
distributed = pytest.importorskip(
    "distributed", reason="dask.distributed is not installed (Debian: python3-distributed)")

import kqphasefix2  # noqa: E402
import kqphasefix2.dask as kqdask  # noqa: E402
from dask_cases import CHANNEL_CHUNKS, SPECIALS, assert_identical, channels  # noqa: E402

# Per worker. A worker process alone takes about 100 MB (distributed, numpy, zarr); the run
# itself may add a few chunks to that.
MEMORY_LIMIT = 192_000_000


@pytest.fixture(scope="module")
def client():
    # The workers find kqphasefix2 through PYTHONPATH, as this process does.
    with distributed.LocalCluster(processes=True, n_workers=2, threads_per_worker=1,
                                  memory_limit=MEMORY_LIMIT, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as connected:
            yield connected


@pytest.mark.parametrize("dtype", [np.float64, np.float32])
@pytest.mark.parametrize("chunking", ["chunks of 1", "uneven", "edge before the wrap",
                                      "empty chunks"])
def test_processes_give_the_bits_of_one_call(client, chunking, dtype):
    x = np.concatenate([channels(3, special, dtype) for special in SPECIALS])
    result = kqdask.unwrap(da.from_array(x, chunks=(5, CHANNEL_CHUNKS[chunking])), 0.5)
    assert_identical(client.compute(result).result(), kqphasefix2.unwrap(x, 0.5))


def test_failing_chunk_is_named_across_processes(client):
    # np.emath.sqrt turns the negative samples of the last chunk of channel 1 complex, against the
    # declared dtype; the function pickles by name, as the workers need.
    x = np.ones((2, 8))
    x[1, 6:] = -1.0
    spoilt = da.from_array(x, chunks=(1, 3)).map_blocks(np.emath.sqrt, dtype=np.float64)
    with pytest.raises(kqdask.UnwrapChunkError, match=r"chunk \(1, 2\) failed: TypeError"):
        client.compute(kqdask.unwrap(spoilt)).result()


def _write_phase(store, shape, chunks):
    """Wrapped random-walk phase written chunk by chunk, never whole in this process."""
    zarr = pytest.importorskip("zarr", reason="zarr is not installed (Debian: python3-zarr)")
    target = zarr.open(store, mode="w", shape=shape, chunks=chunks, dtype=np.float64,
                       compressor=None)
    rng = np.random.default_rng(7)
    for channel in range(shape[0]):
        for start in range(0, shape[1], chunks[1]):
            walk = np.cumsum(rng.normal(0.3, 1.9, chunks[1])) + 1e4 * channel
            target[channel, start:start + chunks[1]] = np.angle(np.exp(1j * walk))
    return target


def test_out_of_core_zarr_to_zarr(client, tmp_path):
    zarr = pytest.importorskip("zarr", reason="zarr is not installed (Debian: python3-zarr)")
    shape, chunks = (6, 1 << 23), (1, 1 << 19)  # 403 MB in 96 chunks of 4 MB, 16 per channel
    source = _write_phase(str(tmp_path / "phase.zarr"), shape, chunks)
    workers = set(client.scheduler_info()["workers"])
    kqdask.unwrap(da.from_zarr(str(tmp_path / "phase.zarr"))).to_zarr(
        str(tmp_path / "unwrapped.zarr"), compressor=None, compute=True)
    # No worker was restarted for memory, and none ever held more than its limit.
    assert set(client.scheduler_info()["workers"]) == workers
    peaks = client.run(resource.getrusage, resource.RUSAGE_SELF)
    assert max(usage.ru_maxrss * 1024 for usage in peaks.values()) < MEMORY_LIMIT
    assert source.nbytes > 2 * MEMORY_LIMIT
    written = zarr.open(str(tmp_path / "unwrapped.zarr"), mode="r")
    assert written.chunks == chunks
    for channel in range(shape[0]):
        assert_identical(written[channel], kqphasefix2.unwrap(source[channel], math.pi))
