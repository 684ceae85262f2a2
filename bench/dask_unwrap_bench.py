#!/usr/bin/python3
"""kqphasefix2.dask.unwrap on LocalClusters of worker processes, in one run, as ratios.

    dask_unwrap_bench.py [--module-dir DIR] [--reps N]

- many lanes: 256 lanes of 2^18 float64 samples (512 MB) in chunks of 32 lanes by 2^16 samples:
  the throughput of 2 workers over that of 1 worker (target at least 1.6).
- one long lane: 2^26 float64 samples (512 MB) in 16 chunks: 1 worker's time per sample over
  that of the in-memory kqphasefix2.unwrap (target at most 2.5), and 2 workers over 1 (at least
  1.6).
- the passes of one chunk in this process, in ns per sample, and the chain's cost per chunk.

Every worker runs one thread (LocalCluster(processes=True, threads_per_worker=1)). The input is
persisted on the workers first; every timed run builds a fresh graph (a cutoff that differs in
its last bit, so the scheduler cannot reuse a result) and waits for the result to be persisted
on the workers. Best of --reps runs. The client and the scheduler share the machine with the
workers, so on a small machine the ratios are below what the workers alone would give.

Run with Debian's python3: /usr/bin/python3 bench/dask_unwrap_bench.py
The package is taken from --module-dir (default: build/release/python/module of this tree, when
it exists), else from the installed packages; the workers get the same through PYTHONPATH.
"""
import argparse
import math
import os
import sys
import time

import numpy as np

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def typical_phase(n, seed):
    """Wrapped phase of a ramp of 0.3 rad per sample plus noise: a wrap about every 21 samples."""
    rng = np.random.default_rng(seed)
    phase = np.cumsum(0.3 + rng.normal(0.0, 0.05, n))
    return np.arctan2(np.sin(phase), np.cos(phase))


def typical_block(block_info=None):
    """One chunk of typical phase, one random-walk lane per row, seeded by its place."""
    shape = block_info[None]["chunk-shape"]
    seed = block_info[None]["chunk-location"]
    return typical_phase(math.prod(shape), seed).reshape(shape)


def best_time(run, reps):
    best = math.inf
    for _ in range(reps):
        start = time.perf_counter()
        run()
        best = min(best, time.perf_counter() - start)
    return best


def time_on_cluster(workers, make_input, reps):
    """Best wall time of unwrap(x).persist() on a cluster of `workers` one-thread processes."""
    import distributed

    import kqphasefix2.dask as kqdask

    with distributed.LocalCluster(processes=True, n_workers=workers, threads_per_worker=1,
                                  memory_limit="6GB", dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        x = client.persist(make_input())
        distributed.wait(x)
        runs = iter(range(1, 1000))

        def run():
            cutoff = math.pi * (1.0 + next(runs) * 2.0**-52)  # a fresh graph every time
            result = client.persist(kqdask.unwrap(x, cutoff))
            distributed.wait(result)
            del result

        run()  # warm-up: imports on the workers
        return best_time(run, reps)


def chunk_passes(n, reps):
    """ns per sample of each pass over one chunk of typical phase, and of the chain's step."""
    from kqphasefix2 import _core
    import kqphasefix2

    chunk = typical_phase(n + 1, 3)
    before, lane = chunk[None, :1].copy(), chunk[None, 1:].copy()
    taken = _core._taken_corrections(lane, before[:, 0], math.pi)
    sums = np.zeros(1)
    return {
        "in-memory unwrap": best_time(lambda: kqphasefix2.unwrap(lane), reps) / n * 1e9,
        "(A) taken corrections": best_time(
            lambda: _core._taken_corrections(lane, before[:, 0], math.pi), reps) / n * 1e9,
        "(B) chain step": best_time(lambda: _core._add_taken(sums, *taken), reps) / n * 1e9,
        "(C) carried run": best_time(
            lambda: _core._unwrap_carried(lane, before[:, 0], sums, math.pi), reps) / n * 1e9,
        "taken per sample": taken[1].size / n,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--module-dir", default=os.path.join(REPO, "build", "release", "python",
                                                             "module"))
    parser.add_argument("--reps", type=int, default=5)
    args = parser.parse_args()
    if os.path.isdir(os.path.join(args.module_dir, "kqphasefix2")):
        sys.path.insert(0, args.module_dir)
        os.environ["PYTHONPATH"] = os.pathsep.join(
            [args.module_dir] + [p for p in [os.environ.get("PYTHONPATH")] if p])
    import dask.array as da

    import kqphasefix2

    print(f"kqphasefix2 {kqphasefix2.__file__}, vector level {kqphasefix2.vector_level}, "
          f"{os.cpu_count()} processors")

    lanes_shape, lanes_chunks = (256, 2**18), (32, 2**16)

    def many_lanes():
        return da.map_blocks(typical_block, chunks=da.core.normalize_chunks(
            lanes_chunks, lanes_shape), dtype=np.float64)

    lanes_1 = time_on_cluster(1, many_lanes, args.reps)
    lanes_2 = time_on_cluster(2, many_lanes, args.reps)
    samples = math.prod(lanes_shape)
    print(f"many lanes {lanes_shape} in chunks {lanes_chunks}: 1 worker "
          f"{lanes_1 / samples * 1e9:.2f} ns/sample, 2 workers {lanes_2 / samples * 1e9:.2f} "
          f"ns/sample; 2 workers / 1 worker throughput {lanes_1 / lanes_2:.2f}x (target >= 1.6)")

    n = 2**26
    lane = typical_phase(n, 1)
    in_memory = best_time(lambda: kqphasefix2.unwrap(lane), args.reps)

    def long_lane():
        return da.from_array(lane, chunks=n // 16)

    long_1 = time_on_cluster(1, long_lane, args.reps)
    long_2 = time_on_cluster(2, long_lane, args.reps)
    print(f"one lane of 2^26 in 16 chunks: in memory {in_memory / n * 1e9:.2f} ns/sample, "
          f"1 worker {long_1 / n * 1e9:.2f}, 2 workers {long_2 / n * 1e9:.2f}; "
          f"1 worker / in memory {long_1 / in_memory:.2f}x (target <= 2.5), "
          f"2 workers / 1 worker throughput {long_1 / long_2:.2f}x (target >= 1.6)")

    passes = chunk_passes(n // 16, args.reps)
    print(f"one chunk of 2^22 samples, {passes.pop('taken per sample'):.3f} corrections taken "
          "per sample, ns per sample: " +
          ", ".join(f"{name} {value:.3f}" for name, value in passes.items()))


if __name__ == "__main__":
    main()
