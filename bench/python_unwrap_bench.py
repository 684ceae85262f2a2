#!/usr/bin/python3
"""The Python module kqphasefix2 beside numpy.unwrap, in one run, on the same arrays.

    python_unwrap_bench.py [--module-dir DIR] [--reps N] [--cpu-time] [--drift]

Every row unwraps 2^20 samples of typical phase data (as bench/numpy_unwrap.py makes it:
atan2(sin, cos) of a ramp of 0.3 rad per sample plus Gaussian noise of 0.05 rad, one signal per
channel) in float64 and float32: one channel of 2^20 samples, and 8 channels of 2^17 samples,
time-major (2^17, 8) along axis 0 and channel-major (8, 2^17) along axis -1. numpy.unwrap and
the module run on the same array, in blocks of repetitions that take turns; the table shows the
medians in ns per sample. "new" returns a new array, as numpy.unwrap does; "out=" writes into an array made
beforehand. The speed-up compares numpy.unwrap with the module's "new".

--cpu-time measures the processor time of the calling thread (the module runs its kernels on
that thread) instead of wall time, for a machine that other work keeps busy.
--drift also prints the largest phase error of both on 8 million samples uniform in +-1e9 rad,
against a reference exact to about 1e-12 rad.

Run it with Debian's python3 (the one with numpy) and without the OpenBLAS tuning variables:
    env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 bench/python_unwrap_bench.py
The module is taken from --module-dir (default: build/release/python/module of this tree, when
it exists), else from the installed packages.
"""
import argparse
import os
import platform
import sys
import time

import numpy as np

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLES = 2**20


def typical_phase(n, seed):
    rng = np.random.default_rng(seed)
    phase = np.cumsum(0.3 + rng.normal(0.0, 0.05, n))
    return np.arctan2(np.sin(phase), np.cos(phase))


def workloads(kq, dtype):
    """(name, numpy's call, the module's call returning a new array, the module with out=)."""
    one = typical_phase(SAMPLES, 1).astype(dtype)
    time_major = np.stack([typical_phase(SAMPLES // 8, 10 + c) for c in range(8)],
                          axis=1).astype(dtype)
    channel_major = np.ascontiguousarray(time_major.T)
    out_one = np.empty_like(one)
    out_time_major = np.empty_like(time_major)
    out_channel_major = np.empty_like(channel_major)
    running_one = kq.Unwrapper(1, dtype=dtype)
    running_eight = kq.Unwrapper(8, dtype=dtype)
    return [
        ("unwrap, 1 channel", lambda: np.unwrap(one), lambda: kq.unwrap(one),
         lambda: kq.unwrap(one, out=out_one)),
        ("unwrap, 8 channels (2^17, 8), axis=0", lambda: np.unwrap(time_major, axis=0),
         lambda: kq.unwrap(time_major, axis=0),
         lambda: kq.unwrap(time_major, axis=0, out=out_time_major)),
        ("unwrap, 8 channels (8, 2^17), axis=-1", lambda: np.unwrap(channel_major),
         lambda: kq.unwrap(channel_major),
         lambda: kq.unwrap(channel_major, out=out_channel_major)),
        ("Unwrapper.process, 1 channel", lambda: np.unwrap(one),
         lambda: running_one.process(one), lambda: running_one.process(one, out=out_one)),
        ("Unwrapper.process, 8 channels (2^17, 8)", lambda: np.unwrap(time_major, axis=0),
         lambda: running_eight.process(time_major),
         lambda: running_eight.process(time_major, out=out_time_major)),
    ]


def medians_ns_per_sample(calls, reps, clock, rounds=3):
    """Each call runs in blocks of reps / rounds after a warm-up call of its own (which loads
    the code and lets the allocator settle on the call's arrays); the blocks of the calls take
    turns, so that a change in the machine's load reaches them all."""
    times = [[] for _ in calls]
    for _ in range(rounds):
        for i, call in enumerate(calls):
            call()
            for _ in range(max(1, reps // rounds)):
                start = clock()
                call()
                times[i].append(clock() - start)
    return [1e9 * sorted(t)[len(t) // 2] / SAMPLES for t in times]


def print_table(kq, reps, clock):
    print("| workload | dtype | numpy.unwrap | kqphasefix2 new | kqphasefix2 out= | speed-up |")
    print("|---|---|---:|---:|---:|---:|")
    for dtype in (np.float64, np.float32):
        for name, numpy_call, new_call, out_call in workloads(kq, dtype):
            numpy_ns, new_ns, out_ns = medians_ns_per_sample(
                [numpy_call, new_call, out_call], reps, clock)
            print("| %s | %s | %.2f | %.3f | %.3f | %.1fx |" % (
                name, np.dtype(dtype).name, numpy_ns, new_ns, out_ns, numpy_ns / new_ns))
            sys.stdout.flush()


def print_drift(kq):
    sys.path.insert(0, os.path.join(REPO, "python", "tests"))
    from exact_phase_error import phase_error

    x = np.random.default_rng(27609).uniform(-1e9, 1e9, 8 * 2**20)
    print()
    print("| 8,388,608 samples uniform in +-1e9 rad | largest phase error | at the last 1000 |")
    print("|---|---:|---:|")
    for name, unwrap in (("kqphasefix2.unwrap", kq.unwrap), ("numpy.unwrap", np.unwrap)):
        error = phase_error(x, unwrap(x))
        print("| %s | %.3g rad | %.3g rad |" % (name, error.max(), error[-1000:].max()))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    default_dir = os.path.join(REPO, "build", "release", "python", "module")
    parser.add_argument("--module-dir", default=default_dir if os.path.isdir(default_dir)
                        else None)
    parser.add_argument("--reps", type=int, default=15)
    parser.add_argument("--cpu-time", action="store_true")
    parser.add_argument("--drift", action="store_true")
    args = parser.parse_args()
    if args.module_dir:
        sys.path.insert(0, args.module_dir)
    import kqphasefix2 as kq

    clock = time.thread_time if args.cpu_time else time.perf_counter
    print("numpy %s, kqphasefix2 from %s, vector level %s, %s, %s" % (
        np.__version__, os.path.dirname(kq.__file__), kq.vector_level, platform.processor()
        or platform.machine(), "thread CPU time" if args.cpu_time else "wall time"))
    print()
    print_table(kq, args.reps, clock)
    if args.drift:
        print_drift(kq)
    return 0


if __name__ == "__main__":
    sys.exit(main())
