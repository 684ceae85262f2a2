"""kqhost generate end to end on this machine: for each form of the table, generate the code,
compile it with the host C compiler (-std=c99 -ffp-contract=off) and the driver, run it on the
example input with hard values in it (as CSV text for every other form, raw values for the rest),
and compare its raw output with kqhost run's on the same options, byte for byte. A model must
not build beside runtime files of another version.

Then the known-answer self-test (kqhost generate --self-test) of a few forms, built the same way
with self_test_main.c: it must pass, and with one expected value's last bit flipped it must fail,
naming that sample.

Each model is also built into a C++ program (CXX_SOURCE, compiled with the host C++ compiler
against the generated header), which checks the interface as a C++ caller sees it.

usage: native_end_to_end.py KQHOST CC DRIVER_SOURCE EXAMPLE_CSV CXX CXX_SOURCE
"""
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

# (name, setup options, events as kqhost run options). Precision and channels are given to both
# commands; the input is the two-channel example. Together the forms call all twelve kernels.
FORMS = [
    ("double_frame_running", ["--precision", "double", "--frame", "16"],
     ["--reset", "10", "--set-tolerance", "20:7", "--set-tolerance", "60:1e-15"]),
    ("single_frame_running_in_place", ["--precision", "single", "--frame", "7", "--in-place"],
     ["--set-tolerance", "30:0", "--reset", "50"]),
    ("double_row_running", ["--precision", "double", "--tolerance", "2.5"], ["--reset", "900"]),
    ("single_column_stateless_in_place",
     ["--precision", "single", "--shape", "column", "--mode", "stateless", "--in-place"], []),
    ("double_vector_running", ["--precision", "double", "--shape", "vector"],
     ["--set-tolerance", "500:-7"]),
    ("single_frame_stateless", ["--precision", "single", "--frame", "33", "--mode", "stateless"],
     []),
    # The other kernels, so that each of the twelve is compiled alone into a model once.
    ("double_row_stateless", ["--precision", "double", "--mode", "stateless"], []),
    ("double_frame_stateless_in_place",
     ["--precision", "double", "--frame", "5", "--mode", "stateless", "--in-place"], []),
    ("double_column_running_in_place",
     ["--precision", "double", "--shape", "column", "--in-place"], ["--reset", "7"]),
    ("double_frame_running_in_place", ["--precision", "double", "--frame", "3", "--in-place"],
     ["--set-tolerance", "9:0.5"]),
    ("single_row_running", ["--precision", "single"], ["--set-tolerance", "300:1e-15"]),
    ("single_row_running_in_place", ["--precision", "single", "--in-place"], ["--reset", "2"]),
    ("single_frame_running", ["--precision", "single", "--frame", "64"], ["--reset", "3"]),
    # Cutoffs at the edges: infinite in single (no literal in C99), -0 (Tolerance 0; no calm path).
    ("single_row_running_infinite_cutoff", ["--precision", "single", "--tolerance", "1e39"], []),
    ("double_frame_running_zero_cutoff", ["--precision", "double", "--frame", "8", "--tolerance",
                                          "0"], []),
    # A cutoff of 2*pi that the input's corrections of 2*pi + 1 ulp pass and those of 2*pi do not:
    # only the cutoff written to the last bit tells them apart.
    ("double_row_running_two_pi_cutoff", ["--precision", "double", "--tolerance",
                                          "6.283185307179586"], []),
]

# Two samples whose step needs a correction of 2*pi + 1 ulp (-0x1.921fb54442d19p+2); the other
# way round, of exactly 2*pi.
TWO_PI_AND_AN_ULP = (float.fromhex("-0x1.15bf5b345515ap+1"), float.fromhex("0x1.c7f50a8d15c78p+1"))

PI = 3.141592653589793


def hard_rows():
    """Time steps of two channels with the values and steps at the edges of the arithmetic."""
    nan, inf = float("nan"), float("inf")
    values = [0.0, -0.0, 5e-324, -1e-310, 1e300, -1e300, inf, -inf, nan, 1e15, -1e15,
              math.nextafter(PI, 0), PI, -PI, 3 * PI, 1e-17, -3.1416027545928955, 4.0, -4.0]
    rows = []
    for i, value in enumerate(values):
        rows.append((0.0, -0.0))
        rows.append((value, values[(i + 5) % len(values)]))
    v, x = TWO_PI_AND_AN_ULP
    return rows + [(v, x), (x, v), (0.0, 0.0)]


def read_example(path):
    rows = []
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                rows.append(tuple(float(v) for v in line.split(",")))
    return rows


def write_csv(path, rows):
    with open(path, "w") as f:
        f.write("# the example with hard values\n")
        for row in rows:
            f.write(",".join(repr(value) for value in row) + "\n")


def write_raw(path, rows, single):
    fmt = "<f" if single else "<d"
    with open(path, "wb") as f:
        for row in rows:
            for value in row:
                if single and math.isfinite(value) and abs(value) > 3.4028234663852886e38:
                    value = math.copysign(math.inf, value)
                f.write(struct.pack(fmt, value))


def run(args, **kwargs):
    result = subprocess.run(args, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        raise SystemExit(f"{' '.join(args)} failed ({result.returncode}): {result.stderr}")


def driver_events(events):
    out = []
    for option, value in zip(events[::2], events[1::2]):
        if option == "--reset":
            out += ["reset", value]
        else:
            step, tolerance = value.split(":")
            out += ["tolerance", step, tolerance]
    return out


def check_cxx_caller(cc, cxx, cxx_source, work, folder, name):
    """Builds the model into a C++ program with the header as C++ sees it, and runs it."""
    header = open(os.path.join(folder, name + ".h")).read()
    state_bytes = re.search(r"_state \((\d+) bytes where", header).group(1)
    model_object = os.path.join(work, name + "_model.o")
    program = os.path.join(work, name + "_cxx_program")
    run([cc, "-std=c99", "-ffp-contract=off", "-O2", "-c", "-o", model_object,
         os.path.join(folder, name + ".c")])
    run([cxx, "-std=c++17", "-pedantic", "-Wall", "-Wextra", "-Werror", "-ffp-contract=off",
         "-I", folder, f"-DKQ_MODEL={name}", f"-DKQ_STATE_BYTES={state_bytes}", "-o", program,
         cxx_source, model_object])
    run([program])


def check_runtime_version_guard(cc, work, folder, name):
    """The model must not build beside runtime files of another version."""
    other = os.path.join(work, name + "_other_runtime")
    shutil.copytree(folder, other)
    runtime_header = os.path.join(other, "kq_unwrap_runtime.h")
    text = open(runtime_header).read()
    version = int(re.search(r"#define KQ_RUNTIME_VERSION (\d+)", text).group(1))
    with open(runtime_header, "w") as f:
        f.write(text.replace(f"#define KQ_RUNTIME_VERSION {version}",
                             f"#define KQ_RUNTIME_VERSION {version + 1}"))
    result = subprocess.run([cc, "-std=c99", "-ffp-contract=off", "-c", "-o", os.devnull,
                             os.path.join(other, name + ".c")], capture_output=True, text=True)
    if result.returncode == 0 or "not those of kqhost" not in result.stderr:
        return f"{name}: builds beside a runtime of version {version + 1}: {result.stderr}"
    return None


def check_form(kqhost, cc, driver, rows, work, name, setup, events, csv):
    single = setup[setup.index("--precision") + 1] == "single"
    ext = ".f32" if single else ".f64"
    folder = os.path.join(work, name)
    signal = os.path.join(work, name + "_in" + (".csv" if csv else ext))
    expected = os.path.join(work, name + "_expected" + ext)
    actual = os.path.join(work, name + "_actual" + ext)
    program = os.path.join(work, name + "_program")
    if csv:
        write_csv(signal, rows)
    else:
        write_raw(signal, rows, single)
    run([kqhost, "generate", "--name", name, "--output-dir", folder, "--channels", "2"] + setup)
    run([cc, "-std=c99", "-pedantic", "-Wall", "-Wextra", "-Werror", "-ffp-contract=off", "-O2",
         "-I", folder, f"-DKQ_MODEL={name}", "-o", program, driver,
         os.path.join(folder, name + ".c")])
    run([program, signal, actual] + driver_events(events))
    run([kqhost, "run", "--channels", "2"] + setup + events + [signal, expected])
    with open(expected, "rb") as f:
        want = f.read()
    with open(actual, "rb") as f:
        got = f.read()
    if got != want:
        size = 4 if single else 8
        first = next(i for i in range(0, min(len(got), len(want)), size)
                     if got[i:i + size] != want[i:i + size]) if len(got) == len(want) else None
        return f"{name}: generated output differs from kqhost run " + (
            f"first at value {first // size}" if first is not None
            else f"({len(got)} bytes, expected {len(want)})")
    print(f"{name}: {len(want) // size_of(single)} values equal")
    return None


# (name, setup options) of the self-tests: running frames in double, stateless in place in single.
SELF_TEST_FORMS = [
    ("double_frame_running_self_test", ["--precision", "double", "--frame", "7", "--channels",
                                        "3"]),
    ("single_column_stateless_self_test",
     ["--precision", "single", "--shape", "column", "--mode", "stateless", "--in-place",
      "--channels", "2"]),
]


def check_self_test(kqhost, cc, work, name, setup):
    """The self-test passes; with an expected value changed it reports that sample and fails."""
    folder = os.path.join(work, name)
    run([kqhost, "generate", "--self-test", "--name", name, "--output-dir", folder] + setup)
    with open(os.path.join(folder, "self_tests.inc"), "w") as f:
        f.write(f"KQ_SELF_TEST({name})\n")
    main_source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "self_test_main.c")
    source = os.path.join(folder, name + "_self_test.c")

    def build_and_run():
        program = os.path.join(folder, "self_test")
        run([cc, "-std=c99", "-pedantic", "-Wall", "-Wextra", "-Werror", "-ffp-contract=off",
             "-O2", "-I", folder, "-o", program, main_source, os.path.join(folder, name + ".c"),
             source])
        return subprocess.run([program], capture_output=True, text=True)

    passed = build_and_run()
    if passed.returncode != 0 or not passed.stdout.startswith(f"{name} self-test: passed"):
        return f"{name}: self-test did not pass ({passed.returncode}): {passed.stdout}"
    # The 100th expected value (time step 100 // channels) with its last bit flipped.
    channels = int(setup[setup.index("--channels") + 1])
    with open(source) as f:
        text = f.read()
    table = text.index(f"{name}_kat_expected[] = {{")
    values = list(re.finditer(r"0x([0-9a-f]+)", text[table:]))
    target = values[100]
    flipped = format(int(target.group(1), 16) ^ 1, f"0{len(target.group(1))}x")
    start = table + target.start(1)
    with open(source, "w") as f:
        f.write(text[:start] + flipped + text[start + len(flipped):])
    failed = build_and_run()
    want = (f"{name} self-test: FAILED at time step {100 // channels}, channel {100 % channels}: "
            f"input ")
    if failed.returncode == 0 or not failed.stdout.startswith(want) or \
            not failed.stdout.rstrip().endswith(f", expected {flipped}, got {target.group(1)}"):
        return f"{name}: self-test with a changed expected value: {failed.stdout!r}, want {want!r}"
    print(f"{name}: self-test passed and caught a changed value ({passed.stdout.strip()})")
    return None


def size_of(single):
    return 4 if single else 8


def main():
    kqhost, cc, driver, example, cxx, cxx_source = sys.argv[1:7]
    rows = read_example(example)
    rows = rows[:600] + hard_rows() + rows[600:1200]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for index, (name, setup, events) in enumerate(FORMS):
            failure = check_form(kqhost, cc, driver, rows, work, name, setup, events,
                                 csv=index % 2 == 0)
            if failure:
                failures.append(failure)
            check_cxx_caller(cc, cxx, cxx_source, work, os.path.join(work, name), name)
        for name, setup in SELF_TEST_FORMS:
            failure = check_self_test(kqhost, cc, work, name, setup)
            if failure:
                failures.append(failure)
        name = FORMS[0][0]
        failure = check_runtime_version_guard(cc, work, os.path.join(work, name), name)
        if failure:
            failures.append(failure)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
