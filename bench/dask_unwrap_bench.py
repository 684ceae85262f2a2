#!/usr/bin/python3
"""kqphasefix2.dask.unwrap against yardsticks of its own scheduler, in one run, as ratios.

    dask_unwrap_bench.py [--module-dir DIR] [--reps N] [--scaling]

One long lane, 2^26 float64 samples (512 MB) in 16 chunks:
- on a LocalCluster of 1 worker process (one thread): the unwrap's time over that of x + 1.0 on
  the same chunks, the cheapest task an array can have (target at most 2), in wall time and in
  the worker's processor time;
- on dask's threaded scheduler with one thread, in this process, the result persisted: the whole
  graph's processor time over that of the in-memory kqphasefix2.unwrap (target at most 1.5);
- the passes of one chunk in this process, in ns per sample, and the chain's cost per chunk.
With --scaling, also 2 workers over 1 (many lanes, and the long lane).

The cluster's input is persisted on the workers first; every timed run builds a fresh graph (a
cutoff, or an addend, that differs in its last bit, so the scheduler cannot reuse a result) and
waits for the result to be persisted on the workers. Best of --reps runs.

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


def best_time(run, reps, clock=time.perf_counter):
    best = math.inf
    for _ in range(reps):
        start = clock()
        run()
        best = min(best, clock() - start)
    return best


def unwrap_task(x, run):
    import kqphasefix2.dask as kqdask

    return kqdask.unwrap(x, math.pi * (1.0 + run * 2.0**-52))


def time_on_cluster(workers, make_input, reps, tasks=None):
    """{name: (best wall time, best worker processor time)} of task(x, run).persist() for every
    task of `tasks` (default: the unwrap), on one cluster of `workers` one-thread processes, the
    tasks' runs interleaved."""
    import distributed

    tasks = tasks or {"unwrap": unwrap_task}
    with distributed.LocalCluster(processes=True, n_workers=workers, threads_per_worker=1,
                                  memory_limit="6GB", dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        x = client.persist(make_input())
        distributed.wait(x)
        runs = iter(range(1, 1000))
        best = {name: (math.inf, math.inf) for name in tasks}

        def run(task):
            result = client.persist(task(x, next(runs)))  # a fresh graph every time
            distributed.wait(result)
            del result

        for task in tasks.values():
            run(task)  # warm-up: imports on the workers
        for _ in range(reps):
            for name, task in tasks.items():
                before = client.run(time.process_time)
                start = time.perf_counter()
                run(task)
                wall = time.perf_counter() - start
                after = client.run(time.process_time)
                processor = sum(after[w] - before[w] for w in after)
                best[name] = (min(best[name][0], wall), min(best[name][1], processor))
        return best


def time_threaded(x, reps):
    """Best processor time of this process for unwrap(x).persist() on the threaded scheduler
    with one thread."""
    import kqphasefix2.dask as kqdask

    runs = iter(range(1, 1000))

    def run():
        cutoff = math.pi * (1.0 + next(runs) * 2.0**-52)  # a fresh graph every time
        result = kqdask.unwrap(x, cutoff).persist(scheduler="threads", num_workers=1)
        del result

    return best_time(run, reps, time.process_time)


def chunk_passes(n, reps):
    """ns per sample of each pass over one chunk of typical phase, and of the chain's step."""
    from kqphasefix2 import _core
    import kqphasefix2

    chunk = typical_phase(n + 1, 3)
    before, lane = chunk[None, :1].copy(), chunk[None, 1:].copy()
    taken = _core._taken_corrections(lane, before[:, 0], math.pi)
    sums = np.zeros(1)

    def ns(run):
        return best_time(run, reps, time.process_time) / n * 1e9

    return {
        "in-memory unwrap": ns(lambda: kqphasefix2.unwrap(lane)),
        "x + 1.0": ns(lambda: lane + 1.0),
        "(A) taken corrections": ns(lambda: _core._taken_corrections(lane, None, math.pi)),
        "(B) chain step": ns(lambda: _core._add_taken(sums, *taken)),
        "(C) carried run": ns(lambda: _core._unwrap_carried(lane, before[:, 0], sums, math.pi)),
        "taken per sample": taken[1].size / n,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--module-dir", default=os.path.join(REPO, "build", "release", "python",
                                                             "module"))
    parser.add_argument("--reps", type=int, default=5)
    parser.add_argument("--scaling", action="store_true",
                        help="also time 2 workers against 1")
    args = parser.parse_args()
    if os.path.isdir(os.path.join(args.module_dir, "kqphasefix2")):
        sys.path.insert(0, args.module_dir)
        os.environ["PYTHONPATH"] = os.pathsep.join(
            [args.module_dir] + [p for p in [os.environ.get("PYTHONPATH")] if p])
    import dask.array as da

    import kqphasefix2

    print(f"kqphasefix2 {kqphasefix2.__file__}, vector level {kqphasefix2.vector_level}, "
          f"{os.cpu_count()} processors, load average {os.getloadavg()[0]:.1f}")

    n = 2**26
    lane = typical_phase(n, 1)

    def long_lane():
        return da.from_array(lane, chunks=n // 16)

    def plus_one(x, run):
        return x + (1.0 + run * 2.0**-52)

    best = time_on_cluster(1, long_lane, args.reps, {"unwrap": unwrap_task, "x + 1": plus_one})
    (unwrap_wall, unwrap_cpu), (plus_wall, plus_cpu) = best["unwrap"], best["x + 1"]
    print(f"one lane of 2^26 in 16 chunks, 1 worker, ns/sample: unwrap {unwrap_wall / n * 1e9:.2f} "
          f"(worker processor {unwrap_cpu / n * 1e9:.2f}), x + 1.0 {plus_wall / n * 1e9:.2f} "
          f"({plus_cpu / n * 1e9:.2f}); unwrap / (x + 1.0): {unwrap_wall / plus_wall:.2f}x wall, "
          f"{unwrap_cpu / plus_cpu:.2f}x worker processor (target <= 2)")

    in_memory = best_time(lambda: kqphasefix2.unwrap(lane), args.reps, time.process_time)
    threaded = time_threaded(long_lane(), args.reps)
    print(f"one lane of 2^26 in 16 chunks, threaded scheduler with 1 thread, processor time, "
          f"ns/sample: in memory {in_memory / n * 1e9:.2f}, graph {threaded / n * 1e9:.2f}; "
          f"graph / in memory {threaded / in_memory:.2f}x (target <= 1.5)")

    passes = chunk_passes(n // 16, args.reps)
    print(f"one chunk of 2^22 samples, {passes.pop('taken per sample'):.3f} corrections taken "
          "per sample, processor ns per sample: " +
          ", ".join(f"{name} {value:.3f}" for name, value in passes.items()))

    if not args.scaling:
        return
    lanes_shape, lanes_chunks = (256, 2**18), (32, 2**16)

    def many_lanes():
        return da.map_blocks(typical_block, chunks=da.core.normalize_chunks(
            lanes_chunks, lanes_shape), dtype=np.float64)

    lanes_1 = time_on_cluster(1, many_lanes, args.reps)["unwrap"][0]
    lanes_2 = time_on_cluster(2, many_lanes, args.reps)["unwrap"][0]
    long_2 = time_on_cluster(2, long_lane, args.reps)["unwrap"][0]
    print(f"2 workers / 1 worker throughput: many lanes {lanes_shape} in chunks {lanes_chunks} "
          f"{lanes_1 / lanes_2:.2f}x, the long lane {unwrap_wall / long_2:.2f}x")


if __name__ == "__main__":
    main()
