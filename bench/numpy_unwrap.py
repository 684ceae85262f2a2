#!/usr/bin/python3
"""Times numpy.unwrap on the benchmark's phase data, for comparison with the unwrap kernels.

    numpy_unwrap.py [--machine] [--fast-ns NS] [FILE.f64 [FILE.f32]]

FILE.f64 / FILE.f32 hold raw little-endian samples (unwrap_bench writes its typical 2^20-sample
signal to such files and runs this script on them). Without files the script makes the same kind
of data itself: atan2(sin, cos) of a ramp of 0.3 rad per sample plus Gaussian noise of 0.05 rad,
2^20 samples (numpy's generator, so not the same bits as unwrap_bench's data).

Prints the median wall time of numpy.unwrap per sample in ns, per precision, and with --fast-ns
the ratio to that figure. --machine prints only "double NS" and "single NS" lines.

Run it with Debian's numpy (apt-get install python3-numpy) and without the OpenBLAS tuning
variables, which slow numpy down:
    env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 bench/numpy_unwrap.py
"""
import argparse
import sys
import time

REPEATS = 15


def typical_phase(n):
    import numpy as np

    rng = np.random.default_rng(20240601)
    phase = np.cumsum(0.3 + rng.normal(0.0, 0.05, n))
    return np.arctan2(np.sin(phase), np.cos(phase))


def median_ns_per_sample(np, x):
    np.unwrap(x)  # warm up: page in the output, load the code
    times = []
    for _ in range(REPEATS):
        start = time.perf_counter()
        np.unwrap(x)
        times.append(time.perf_counter() - start)
    times.sort()
    return 1e9 * times[len(times) // 2] / x.size


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--machine", action="store_true")
    parser.add_argument("--fast-ns", type=float)
    parser.add_argument("files", nargs="*")
    args = parser.parse_args()
    try:
        import numpy as np
    except ImportError:
        print("numpy is not importable by %s" % sys.executable)
        return 0

    if args.files:
        data = {"double": np.fromfile(args.files[0], dtype="<f8")}
        if len(args.files) > 1:
            data["single"] = np.fromfile(args.files[1], dtype="<f4")
    else:
        x = typical_phase(1 << 20)
        data = {"double": x, "single": x.astype(np.float32)}

    for name, x in data.items():
        ns = median_ns_per_sample(np, x)
        if args.machine:
            print("%s %.4f" % (name, ns))
        elif args.fast_ns:
            print("numpy %s %s: unwrap %.2f ns/sample, %.1fx the time of %.3f ns/sample"
                  % (np.__version__, name, ns, ns / args.fast_ns, args.fast_ns))
        else:
            print("numpy %s %s: unwrap %.2f ns/sample (%d samples, median of %d)"
                  % (np.__version__, name, ns, x.size, REPEATS))
    return 0


if __name__ == "__main__":
    sys.exit(main())
