"""kqphasefix2.dask.unwrap on a cluster started as users deploy one, under faults: a scheduler and
two workers started by the `dask scheduler` and `dask worker` programs on the loopback address, a
zarr store in a temporary folder, and a worker killed in the middle of a run, workers that must
spill to disk, a chunk that fails when computed."""
import math
import os
import shutil
import signal
import subprocess
import time

import numpy as np
import pytest

da = pytest.importorskip(
    "dask.array", reason="dask is not installed (Debian: apt-get install python3-dask)")
distributed = pytest.importorskip(
    "distributed", reason="dask.distributed is not installed (Debian: python3-distributed)")
zarr = pytest.importorskip("zarr", reason="zarr is not installed (Debian: python3-zarr)")

import kqphasefix2  # noqa: E402
import kqphasefix2.dask as kqdask  # noqa: E402
from dask_cases import assert_identical, slowly  # noqa: E402

DASK = shutil.which("dask")
if DASK is None:
    pytest.skip("the dask program is not installed (Debian: python3-distributed)",
                allow_module_level=True)

TESTS = os.path.dirname(os.path.abspath(__file__))
# Every wait in these tests is bounded by this many seconds.
PATIENCE = 120


def _until(condition, what, timeout=PATIENCE, step=0.02):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise TimeoutError(f"gave up waiting for {what} after {timeout} s")
        time.sleep(step)


def _signal_group(process, signum):
    try:
        os.killpg(process.pid, signum)
    except ProcessLookupError:
        pass


class CommandLineCluster:
    """`dask scheduler` and `dask worker` processes on 127.0.0.1, each in its own process group
    (a worker is a nanny and its worker process), stopped by close() whatever happened."""

    def __init__(self, folder, memory_limit, environment=None):
        self.folder = folder
        self.memory_limit = memory_limit
        self.processes = []
        self.client = None
        # The workers import kqphasefix2 (and this folder's helpers) as this process does.
        paths = [os.path.dirname(os.path.dirname(kqphasefix2.__file__)), TESTS,
                 os.environ.get("PYTHONPATH", "")]
        self.environment = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in paths if p),
                                **(environment or {}))

    def start(self):
        scheduler_file = str(self.folder / "scheduler.json")
        # Port 0: the system gives the scheduler a free port, which it writes to the file. Should
        # this process die without close(), the scheduler ends after ten idle minutes, and the
        # workers a minute after it.
        self._start("scheduler", [DASK, "scheduler", "--host", "127.0.0.1", "--port", "0",
                                  "--no-dashboard", "--scheduler-file", scheduler_file,
                                  "--idle-timeout", "600"])
        _until(lambda: os.path.exists(scheduler_file), "the scheduler's address")
        for n in range(2):
            self._start(f"worker{n}", [
                DASK, "worker", "--scheduler-file", scheduler_file, "--host", "127.0.0.1",
                "--nthreads", "1", "--memory-limit", str(self.memory_limit), "--no-dashboard",
                "--local-directory", str(self.folder / f"worker{n}"), "--death-timeout", "60"])
        self.client = distributed.Client(scheduler_file=scheduler_file, timeout=PATIENCE)
        self.client.wait_for_workers(2, timeout=PATIENCE)
        return self

    def _start(self, name, command):
        with open(self.folder / f"{name}.log", "wb") as log:
            self.processes.append(subprocess.Popen(
                command, env=self.environment, stdout=log, stderr=subprocess.STDOUT,
                stdin=subprocess.DEVNULL, start_new_session=True))

    def workers(self):
        """Worker address -> process id of the worker process (not its nanny)."""
        return self.client.run(os.getpid)

    def close(self):
        try:
            if self.client is not None:
                self.client.close(timeout=10)
        finally:
            # The whole group: a nanny's worker process too, even after the nanny is gone.
            for process in self.processes:
                _signal_group(process, signal.SIGTERM)
            for process in self.processes:
                try:
                    process.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    pass
                _signal_group(process, signal.SIGKILL)
                process.wait(timeout=20)


@pytest.fixture
def start_cluster(tmp_path):
    """start(memory_limit, environment) -> a started CommandLineCluster, closed after the test
    even when it failed to start or the test failed."""
    clusters = []

    def start(memory_limit, environment=None):
        clusters.append(CommandLineCluster(tmp_path, memory_limit, environment))
        return clusters[-1].start()

    try:
        yield start
    finally:
        for cluster in clusters:
            cluster.close()


def _write_phase(path, shape, chunks):
    """Wrapped random-walk phase written chunk by chunk, uncompressed."""
    target = zarr.open(path, mode="w", shape=shape, chunks=chunks, dtype=np.float64,
                       compressor=None)
    rng = np.random.default_rng(5)
    for channel in range(shape[0]):
        for start in range(0, shape[1], chunks[1]):
            walk = np.cumsum(rng.normal(0.3, 1.9, chunks[1])) + 1e4 * channel
            target[channel, start:start + chunks[1]] = np.angle(np.exp(1j * walk))
    return target


def _assert_unwrapped(path, source):
    written = zarr.open(path, mode="r")
    assert written.shape == source.shape and written.chunks == source.chunks
    for channel in range(source.shape[0]):
        assert_identical(written[channel], kqphasefix2.unwrap(source[channel], math.pi))


def _chunk_files(path):
    return [name for name in os.listdir(path) if not name.startswith(".")]


def _store_bytes(path):
    """Every file of a store, name -> bytes."""
    found = {}
    for folder, _, names in os.walk(path):
        for name in names:
            with open(os.path.join(folder, name), "rb") as stored:
                found[os.path.relpath(os.path.join(folder, name), path)] = stored.read()
    return found


def test_a_worker_killed_in_the_middle_of_a_run(start_cluster, tmp_path):
    cluster = start_cluster(1_000_000_000)
    shape, chunks = (4, 1 << 20), (1, 1 << 16)  # 64 chunks, 16 along each channel
    source = _write_phase(str(tmp_path / "phase.zarr"), shape, chunks)
    target = str(tmp_path / "unwrapped.zarr")
    # Every input chunk is held back a little, so that the run lasts a few seconds.
    lanes = da.from_zarr(str(tmp_path / "phase.zarr")).map_blocks(slowly, dtype=np.float64)
    run = cluster.client.compute(kqdask.unwrap(lanes).to_zarr(target, compressor=None,
                                                              compute=False))
    _until(lambda: os.path.isdir(target) and _chunk_files(target), "the first chunk written")
    workers = cluster.workers()
    killed = min(workers.values())
    os.kill(killed, signal.SIGKILL)
    written_before = len(_chunk_files(target))
    run.result(timeout=PATIENCE)
    assert written_before < source.nchunks, "the run ended before the worker was killed"
    # The nanny started the killed worker again (at a new address), and the run went on without
    # the results the killed one held.
    def listed():
        return set(cluster.client.scheduler_info()["workers"])

    _until(lambda: len(listed()) == 2 and listed() != set(workers), "the worker started again")
    restarted = cluster.workers()
    assert killed not in restarted.values() and len(set(restarted) & set(workers)) == 1
    _assert_unwrapped(target, source)


def test_workers_that_spill_to_disk(start_cluster, tmp_path):
    # Managed memory beyond a fifth of the limit goes to disk: about 80 MB a worker, while the
    # result is 256 MB. Well below the limit itself, so the nanny never restarts a worker.
    cluster = start_cluster(400_000_000, {"DASK_DISTRIBUTED__WORKER__MEMORY__TARGET": "0.2"})
    shape, chunks = (4, 1 << 23), (1, 1 << 19)  # 256 MB in 64 chunks of 4 MB
    source = _write_phase(str(tmp_path / "phase.zarr"), shape, chunks)
    workers = cluster.workers()
    result = kqdask.unwrap(da.from_zarr(str(tmp_path / "phase.zarr"))).persist()
    distributed.wait(result, timeout=PATIENCE)
    spilled = cluster.client.run(lambda dask_worker: len(dask_worker.data.slow))
    assert sum(spilled.values()) > 0, spilled
    for channel in range(shape[0]):
        assert_identical(result[channel].compute(), kqphasefix2.unwrap(source[channel], math.pi))
    assert cluster.workers() == workers


def _cut_short(chunk_file):
    with open(chunk_file, "r+b") as stored:
        stored.truncate(1000)


def _out_of_range(chunk_file):
    with open(chunk_file, "r+b") as stored:
        size = len(stored.read())
        stored.seek(0)
        stored.write(np.full(size // 8, 10.0).tobytes())


def _as_arcsine(lanes):
    """A decoding step on the way in: complex, against its declared dtype, beyond +-4."""
    return (lanes / 4.0).map_blocks(np.emath.arcsin, dtype=np.float64)


# A chunk file cut short fails in its read, and dask reports the reader's own error; a chunk
# whose samples leave the range of the decoding step fails in the unwrap, which names it.
@pytest.mark.parametrize("corrupt, decode, error, match", [
    (_cut_short, lambda lanes: lanes, ValueError, ""),
    (_out_of_range, _as_arcsine, kqdask.UnwrapChunkError, r"chunk \(1, 5\) failed: TypeError"),
], ids=["read fails", "unwrap fails"])
def test_a_chunk_that_fails_leaves_the_input_untouched(start_cluster, tmp_path, corrupt, decode,
                                                        error, match):
    cluster = start_cluster(1_000_000_000)
    source, target = str(tmp_path / "phase.zarr"), str(tmp_path / "unwrapped.zarr")
    _write_phase(source, (2, 1 << 16), (1, 1 << 12))
    corrupt(os.path.join(source, "1.5"))
    stored = _store_bytes(source)
    with pytest.raises(error, match=match):
        kqdask.unwrap(decode(da.from_zarr(source))).to_zarr(target, compressor=None)
    assert _store_bytes(source) == stored
    assert len(cluster.client.scheduler_info()["workers"]) == 2
