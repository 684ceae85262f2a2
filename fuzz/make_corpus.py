#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: fuzz/corpus/<target>/<name>.

Every target decodes its input with fuzz/byte_reader.h: fields one after the other, little-endian,
a range [lo, hi] in as few bytes as its width needs. The Seed class below writes fields the same
way, so each seed here reads as the scenario its name says. Seeds that other files in a corpus
folder hold (reproducers of findings, kept as regression seeds) are left alone.

Run it from anywhere: python3 fuzz/make_corpus.py
"""

import math
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"

# Indices into interestingDouble's table (fuzz/byte_reader.h).
DOUBLE_OPTIONS = {
    0.0: 0, "-0": 1, 1.0: 2, -1.0: 3, 0.5: 4, -0.5: 5, 2.0: 7, "nan": 8, "inf": 12,
    2147483648.0: 15, 5200229.0: 30, 5200229.5: 33, 101.0: 35, 104.0: 36, 117.0: 37,
    math.pi: 39, 1e-15: 43,
}
SMALL_SELECTOR = 100  # a selector below 200 past the table: int16 / 64 follows


class Seed:
    def __init__(self):
        self.data = bytearray()

    def raw(self, data):
        self.data += data
        return self

    def u8(self, v):
        return self.raw(struct.pack("<B", v))

    def u16(self, v):
        return self.raw(struct.pack("<H", v & 0xFFFF))

    def u32(self, v):
        return self.raw(struct.pack("<I", v & 0xFFFFFFFF))

    def f64(self, v):
        return self.raw(struct.pack("<d", v))

    def f32(self, v):
        return self.raw(struct.pack("<f", v))

    def boolean(self, v):
        return self.u8(1 if v else 0)

    def range(self, lo, hi, v):
        assert lo <= v <= hi, (lo, hi, v)
        span = hi - lo
        offset = v - lo
        if span == 0:
            return self
        if span <= 0xFF:
            return self.u8(offset)
        if span <= 0xFFFF:
            return self.u16(offset)
        if span <= 0xFFFFFFFF:
            return self.u32(offset)
        return self.raw(struct.pack("<Q", offset))

    def pick(self, count, index):
        return self.range(0, count - 1, index)

    def text(self, max_length, text):
        data = text.encode("latin-1")
        self.range(0, max_length, len(data))
        return self.raw(data)

    def idouble(self, v):
        """interestingDouble: a table entry, a small value with a fraction, or raw bits."""
        key = "nan" if isinstance(v, float) and math.isnan(v) else v
        if key == 0.0 and isinstance(v, float) and math.copysign(1.0, v) < 0:
            key = "-0"
        if key in DOUBLE_OPTIONS:
            return self.u8(DOUBLE_OPTIONS[key])
        if float(v) * 64 == int(float(v) * 64) and -32768 <= int(v * 64) <= 32767:
            return self.u8(SMALL_SELECTOR).u16(int(v * 64))
        return self.u8(255).f64(v)

    def bytes(self):
        return bytes(self.data)


def write(target, name, seed):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(seed.bytes() if isinstance(seed, Seed) else seed)


# --- fuzz_kernels -------------------------------------------------------------------------------

STATELESS, SAMPLE, FRAME = 0, 2, 4  # family selectors; +1 for single precision
CUTOFF_PI, CUTOFF_ZERO, CUTOFF_INF, CUTOFF_NAN = 0, 2, 8, 9
SPECIAL_NAN, SPECIAL_NEG_NAN, SPECIAL_INF, SPECIAL_DENORM = 2, 3, 6, 8
STEP_PLUS_PI, STEP_MINUS_PI, STEP_WINDOW = 0, 1, 13


def kernel_seed(family, count, calls, cutoff=CUTOFF_PI, first_step=True):
    """calls: list of (frameLen or None, [samples]); a sample is a number (small value), or
    ("special", i), ("step", i), ("raw", bits), ("reset",) as the first element resets."""
    s = Seed().range(0, 5, family)
    s.range(-1, 16, count) if family in (SAMPLE, SAMPLE + 1) else s.range(-1, 6, count)
    s.range(0, 3, 1 if first_step else 0)
    s.range(0, 7, 1).pick(11, cutoff)
    s.range(1, 8, len(calls))
    for frame_len, samples in calls:
        control = 0
        if samples and samples[0] == ("reset",):
            control |= 2
            samples = samples[1:]
        s.u8(control)
        if family not in (SAMPLE, SAMPLE + 1):
            s.range(-1, 12, frame_len)
        for v in samples:
            if isinstance(v, tuple) and v[0] == "special":
                s.range(0, 7, 4).pick(20, v[1])
            elif isinstance(v, tuple) and v[0] == "step":
                s.range(0, 7, 5).pick(24, v[1])
            elif isinstance(v, tuple) and v[0] == "raw":
                s.range(0, 7, 3).raw(v[1])
            else:
                s.range(0, 7, 0).u16(int(round(v * 1024)))
    return s


def kernels():
    t = "fuzz_kernels"
    write(t, "stateless_dbl_one_channel", kernel_seed(STATELESS, 1, [(5, [0, 3, 6, -3, 0.5])]))
    write(t, "stateless_dbl_two_channels", kernel_seed(STATELESS, 2, [(2, [0, 4, 0, -4])]))
    write(t, "stateless_sgl_ramp", kernel_seed(STATELESS + 1, 1, [(3, [0, 4, 8])]))
    write(t, "stateless_frame_len_one", kernel_seed(STATELESS, 3, [(1, [1, 2, 3])]))
    write(t, "running_frame_dbl_across_calls",
          kernel_seed(FRAME, 1, [(2, [0, 3]), (2, [-3, 0])]))
    write(t, "running_frame_dbl_two_channels",
          kernel_seed(FRAME, 2, [(2, [0, 3, 1, 2]), (2, [-3, 0, 5, 6])]))
    write(t, "running_frame_sgl_ramp_by_four",
          kernel_seed(FRAME + 1, 1, [(4, [0, 4, 8, 12]), (4, [16, 20, 24, 28])]))
    write(t, "running_frame_reset_and_empty_call",
          kernel_seed(FRAME, 2, [(3, [0, 4, 8, 1, 5, 9]), (0, []), (2, [("reset",), 7, 3, 2, 6])]))
    write(t, "running_sample_dbl_three_calls",
          kernel_seed(SAMPLE, 2, [(None, [0, 1]), (None, [4, -3]), (None, [8, -6])]))
    write(t, "running_sample_sgl_nan",
          kernel_seed(SAMPLE + 1, 3, [(None, [0, ("special", SPECIAL_NAN), 2]),
                                      (None, [4, 5, ("special", SPECIAL_NEG_NAN)])]))
    write(t, "stateless_dbl_steps_of_pi",
          kernel_seed(STATELESS, 1, [(6, [0, ("step", STEP_PLUS_PI), ("step", STEP_MINUS_PI),
                                         ("step", STEP_WINDOW), ("special", SPECIAL_INF),
                                         ("special", SPECIAL_DENORM)])], cutoff=CUTOFF_ZERO))
    write(t, "running_frame_sgl_raw_nan_payload",
          kernel_seed(FRAME + 1, 1, [(3, [("raw", struct.pack("<I", 0x7F800001)), 1.5,
                                          ("raw", struct.pack("<I", 0xFFC0DEAD))])],
                      cutoff=CUTOFF_NAN))


# --- fuzz_record_writer -------------------------------------------------------------------------

TYPE_DOUBLE, TYPE_SINGLE, TYPE_BOOLEAN, TYPE_DOUBLE_COMPLEX = 0, 2, 3, 4  # readTypeWord picks
NAME_NULL, NAME_EMPTY, NAME_TEXT, NAME_CUTOFF, NAME_RUNNING = 0, 1, 2, 3, 4


def writer_setup(s, pair_call, services=0, separate_root=False, inject_at=0, inject_result=0):
    s.boolean(pair_call)
    s.range(0, 7, services).boolean(separate_root).range(0, 5, inject_at).pick(5, inject_result)
    return s


def name(s, which, text=""):
    s.range(0, 7, which)
    if which == NAME_TEXT:
        s.text(20, text)
    return s


def type_word(s, pick):
    return s.range(0, 15, 1).pick(9, pick)


def pair_seed(kind, which_name, type_pick, rows, columns, presence, values=b"", **setup):
    s = writer_setup(Seed(), True, **setup)
    s.range(-3, 13, kind)
    name(s, which_name, "Gain")
    type_word(s, type_pick)
    s.range(-2, 4, rows).range(-2, 4, columns).u8(presence)
    return s.raw(values)


def entry(s, shape, which_name=NAME_CUTOFF, count=1, rows=1, columns=1, type_pick=TYPE_DOUBLE,
          scalar=0.5, presence=0, values=b"", invalid_pick=3):
    s.range(0, 11, shape)
    if shape == 11:
        s.pick(6, invalid_pick)
        return name(s, which_name, "X")
    name(s, which_name, "X")
    s.range(-2, 4, count).range(-2, 4, rows).range(-2, 4, columns)
    if shape >= 6:
        type_word(s, type_pick)
    s.idouble(scalar).u8(presence)
    return s.raw(values)


def settings_seed(count, entries, **setup):
    s = writer_setup(Seed(), False, **setup)
    s.range(-2, 3, count)
    for e in entries:
        entry(s, **e)
    return s


def record_writer():
    t = "fuzz_record_writer"
    cutoff = dict(shape=6, which_name=NAME_CUTOFF, type_pick=TYPE_DOUBLE,
                  values=struct.pack("<d", math.pi))
    running = dict(shape=6, which_name=NAME_RUNNING, type_pick=TYPE_BOOLEAN, values=b"\x01")
    spare = dict(shape=0, which_name=NAME_TEXT, values=b"\x00")
    write(t, "settings_block_record", settings_seed(2, [cutoff, running, spare]))
    write(t, "settings_count_zero", settings_seed(0, [cutoff, running, spare]))
    write(t, "settings_second_kind_invalid",
          settings_seed(3, [cutoff, dict(shape=11, invalid_pick=3), spare]))
    write(t, "settings_double_scalar_by_value",
          settings_seed(1, [dict(shape=3, scalar=2.5, presence=1), running, spare]))
    write(t, "settings_typed_vector",
          settings_seed(1, [dict(shape=7, count=3, type_pick=TYPE_SINGLE,
                                 values=struct.pack("<3f", 1, 2, 3)), running, spare]))
    write(t, "settings_split_matrix",
          settings_seed(1, [dict(shape=10, rows=2, columns=1, type_pick=TYPE_DOUBLE_COMPLEX,
                                 values=struct.pack("<4d", 1, 2, 3, 4)), running, spare]))
    write(t, "settings_first_pair_refused",
          settings_seed(2, [cutoff, running, spare], inject_at=2, inject_result=0))
    write(t, "settings_opening_returns_two",
          settings_seed(2, [cutoff, running, spare], inject_at=1, inject_result=2))
    write(t, "pair_item_list_empty", pair_seed(2, NAME_TEXT, TYPE_DOUBLE, 0, 1, 1))
    write(t, "pair_double_matrix_empty", pair_seed(5, NAME_TEXT, TYPE_DOUBLE, 0, 0, 1))
    write(t, "pair_double_matrix_one_zero", pair_seed(5, NAME_TEXT, TYPE_DOUBLE, 0, 3, 1))
    write(t, "pair_double_matrix_missing", pair_seed(5, NAME_TEXT, TYPE_DOUBLE, 2, 3, 1))
    write(t, "pair_split_vector_real_only",
          pair_seed(9, NAME_TEXT, TYPE_DOUBLE, 4, 1, 4, struct.pack("<4d", 1, 2, 3, 4)))
    write(t, "pair_empty_name_negative_rows", pair_seed(4, NAME_EMPTY, TYPE_DOUBLE, -1, 1, 1))
    write(t, "pair_kind_eleven", pair_seed(11, NAME_TEXT, TYPE_DOUBLE, 1, 1, 1))
    write(t, "pair_without_host_info",
          pair_seed(6, NAME_TEXT, TYPE_DOUBLE, 1, 1, 0, struct.pack("<d", 1.5), services=3))
    write(t, "pair_item_b_quoted", pair_seed(1, NAME_TEXT, TYPE_DOUBLE, 1, 1, 0,
                                             bytes([6]) + b'a"b\\cd'))


# --- fuzz_signal_reader -------------------------------------------------------------------------

CSV, F64, F32 = 0, 2, 3


def signal_seed(fmt, content, single=False, channels=None, schedule=(4, 4, 4, 4), plan=0):
    s = Seed().pick(4, fmt).boolean(single).u8(plan)
    if channels is None:
        s.range(0, 15, 0)
    elif channels == 0:
        s.range(0, 15, 1)
    else:
        assert 1 <= channels <= 8
        s.range(0, 15, 2).range(1, 8, channels)
    for n in schedule:
        s.range(0, 16, n)
    return s.raw(content)


def signal_reader():
    t = "fuzz_signal_reader"
    example = pathlib.Path(__file__).resolve().parent.parent / "examples" / "chirp.csv"
    head = b"".join(example.read_bytes().splitlines(keepends=True)[:12]) if example.exists() \
        else b"0\n0.5\n1.5\n3\n"
    write(t, "csv_example_head", signal_seed(CSV, head))
    write(t, "csv_two_channels_comments",
          signal_seed(CSV, b"# phase\n\n0, 1.5\n\t2,-3\r\n  # x\n+4,5e-1\n", channels=2))
    write(t, "csv_specials_single",
          signal_seed(CSV, b"\xef\xbb\xbfnan,inf,-inf\nNaN,Infinity,-0\n1e400,1e-400,0x10\n",
                      single=True, plan=0x1C))
    write(t, "csv_wrong_count", signal_seed(CSV, b"1,2\n3\n4,5,6\n"))
    write(t, "csv_not_a_number", signal_seed(CSV, b"1\n2\nabc\n", plan=3))
    write(t, "csv_channels_mismatch", signal_seed(CSV, b"1,2,3\n", channels=2))
    write(t, "csv_no_data", signal_seed(CSV, b"# only a comment\n\n"))
    write(t, "f64_two_channels", signal_seed(F64, struct.pack("<6d", 0, 1, 2.5, -3, math.pi,
                                                              float("nan")), channels=2))
    write(t, "f64_rounded_to_single",
          signal_seed(F64, struct.pack("<3d", 0.1, 1e300, -1e-50), single=True, channels=1))
    write(t, "f32_three_channels",
          signal_seed(F32, struct.pack("<6f", 0, 1, 2, 3, 4, 5), channels=3, plan=0))
    write(t, "f64_partial_step_pipe",
          signal_seed(F64, struct.pack("<3d", 1, 2, 3), channels=2, plan=0))
    write(t, "raw_without_channels", signal_seed(F32, struct.pack("<2f", 1, 2)))
    write(t, "channels_zero", signal_seed(CSV, b"1\n", channels=0))
    write(t, "f64_empty", signal_seed(F64, b"", channels=1))


# --- fuzz_command_line --------------------------------------------------------------------------

FLAG_ZERO, FLAG_VALUE, FLAG_ZERO_OF_CLASS, FLAG_NULL, FLAG_ARRAY = 0, 1, 3, 4, 5


def host_options(s, mode=0, services=0, block_name=None, long_name=False):
    s.pick(9, mode).u8(services)
    if long_name:
        s.range(0, 7, 7).range(200, 600, 300).text(8, "tail")
    elif block_name is None:
        s.range(0, 7, 0)
    elif block_name == "short":
        s.range(0, 7, 4)
    else:
        s.range(0, 7, 6).text(24, block_name)
    return s


def dialog_scalars(s, values):
    """Host dialog parameters: the count (2 is pick 0) and real double scalars."""
    counts = {2: 0, 0: 4, 1: 5, 3: 6}
    s.pick(7, counts[len(values)])
    for v in values:
        s.range(0, 3, 1).idouble(v)
    return s


def marker(s, address=True, stamp=0, shape=0, fraction=0):
    """shape: index into kMarkerShapes (0: 2x1, 2: 2x3, 5: 1x2, 6: 3x1); stamp: 0 exact,
    4 next up, 6 plus a half; address False: NaN, a value the block must refuse."""
    s.range(0, 6, 0).pick(9, shape).pick(6, 0).range(0, 7, 1)
    if address:
        s.range(0, 2, 1).pick(5, fraction)
    else:
        s.range(0, 2, 0).pick(15, 0)
    s.range(0, 7, stamp)
    elements = {0: 2, 2: 6, 5: 2, 6: 3}[shape]
    for _ in range(elements - 2):
        s.idouble(0.0)
    return s


def call(s, num_left=0, num_right=4, left=True, right=True, the_marker=None, flag=("zero",),
         params=()):
    """num_left: 0, 1, 2 or -1; num_right: 4, 5, 6, or 0 to 3; the marker: a marker() keyword
    dict, or None for a NULL slot 1."""
    s.range(0, 7, {0: 0, 1: 3, 2: 5, -1: 6}[num_left])
    if num_right in (4, 5, 6):
        s.range(0, 9, {4: 0, 5: 2, 6: 3}[num_right])
    else:
        s.range(0, 9, 5).range(-1, 3, num_right)
    s.range(0, 7, 1 if left else 0).range(0, 15, 1 if right else 0)
    slots = max(num_right, 4)
    param_values = list(params)
    for i in range(slots):
        if i == 1:
            if the_marker is None:
                s.range(0, 6, 5)
            else:
                marker(s, **the_marker)
        elif i == 3:
            if flag[0] == "zero":
                s.range(0, 5, 0)
            elif flag[0] == "value":
                s.range(0, 5, 1).idouble(flag[1])
            elif flag[0] == "null":
                s.range(0, 5, 4)
            elif flag[0] == "class":
                s.range(0, 5, 3).range(0, 4, flag[1]).boolean(flag[2])
        elif i < 4:
            s.range(0, 4, 0)  # rightArgs[0] and [2]: NULL
        else:
            s.range(0, 4, 1).range(0, 3, 1).idouble(param_values.pop(0))
    return s


def command_line_seed(calls, **host):
    s = host_options(Seed(), **{k: v for k, v in host.items() if k != "params"})
    dialog_scalars(s, host.get("params", [math.pi, 0.0]))
    s.range(1, 3, len(calls))
    for c in calls:
        call(s, **c)
    return s


def command_line():
    t = "fuzz_command_line"
    load = dict(num_right=4, the_marker=dict())
    write(t, "load_with_marker", command_line_seed([load]))
    write(t, "load_marker_with_fraction_and_columns",
          command_line_seed([dict(num_right=4, the_marker=dict(shape=2, fraction=3))]))
    write(t, "sizes_query_two_params",
          command_line_seed([dict(num_right=6, params=[math.pi, 1.0])]))
    write(t, "sizes_query_no_params", command_line_seed([dict(num_right=4, left=False)]))
    write(t, "flag_half", command_line_seed([dict(flag=("value", 0.5))]))
    write(t, "flag_one_then_nan",
          command_line_seed([dict(flag=("value", 1.0)), dict(flag=("value", float("nan")))]))
    write(t, "flag_int32_zero_and_logical_zero",
          command_line_seed([dict(flag=("class", 2, False)), dict(flag=("class", 3, False)),
                             dict(flag=("class", 0, True))]))
    write(t, "three_right_args", command_line_seed([dict(num_right=3)]))
    write(t, "two_left_args", command_line_seed([dict(num_left=2)]))
    write(t, "marker_stamp_off_by_half",
          command_line_seed([dict(the_marker=dict(stamp=6)), dict(the_marker=dict(stamp=4))]))
    write(t, "marker_wrong_rows",
          command_line_seed([dict(the_marker=dict(shape=5)), dict(the_marker=dict(shape=6))]))
    write(t, "marker_refused_address", command_line_seed([dict(the_marker=dict(address=False))]))
    write(t, "name_mismatch", command_line_seed([load], block_name="short"))
    write(t, "name_mismatch_long", command_line_seed([load], long_name=True))
    write(t, "load_wrong_param_count", command_line_seed([load], params=[1.0]))
    write(t, "host_call_without_instance", command_line_seed([dict(num_left=-1)]))
    write(t, "load_host_modes", command_line_seed([load, load], mode=6, services=0x1F))


# --- fuzz_host_dispatch -------------------------------------------------------------------------

FLAG_CODES = [101, 102, 103, 104, 107, 108, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121,
              122, 123, 126, 127, 128, 131, 132, 133, 142]
PORT_VALUES = {0: 0, 1: 1, 8: 4, -1: 5, 2: 6}


class HostScript:
    """Mirrors the reading order of fuzz_host_dispatch.cpp for the operations it writes."""

    def __init__(self, orderly=True, mode=0, services=0, params=(math.pi, 0.0), running=True,
                 load=True):
        self.s = Seed().boolean(orderly).pick(9, mode).u8(services).range(0, 15, 1)
        if len(params) != 2:
            self.s.range(0, 7, 0).range(0, 3, len(params))
        else:
            self.s.range(0, 7, 1)
        for i, v in enumerate(params):
            if i == 1:
                self.s.range(0, 3, 1).boolean(running)
            else:
                self.s.range(0, 3, 1).idouble(v)
        self.s.range(0, 15, 1 if load else 0)

    def code(self, code, port_value=0, fraction=None, allocate_in_place=None):
        """A host call; allocate_in_place: the host's choice when a start has to allocate the
        buffers first (only then is it read)."""
        s = self.s.range(0, 15, 9)
        if code in FLAG_CODES:
            s.range(0, 9, 0).pick(38, FLAG_CODES.index(code))
            if fraction is None:
                s.range(0, 3, 1)
            else:
                s.range(0, 3, 0).u8(fraction)
        else:
            s.range(0, 9, 7).range(95, 150, code)
        s.range(0, 15, 1)  # a double scalar carries the flag
        if allocate_in_place is not None:
            s.boolean(allocate_in_place)
        s.range(0, 7, 1).range(0, 15, 1).pick(10, PORT_VALUES[port_value])
        s.idouble(1.0).idouble(0.0).range(0, 7, 1).range(-1, 6, 4)
        return self

    def shape(self, dims, frame):
        self.s.range(0, 15, 1).range(1, 2, len(dims))
        for d in dims:
            self.s.range(0, 6, d)
        self.s.boolean(frame)
        return self

    def sample_time(self, index=0):
        self.s.range(0, 15, 3).range(0, 7, 1).pick(5, index)
        return self

    def allocate(self, in_place=False):
        self.s.range(0, 15, 4).boolean(in_place)
        return self

    def write_input(self, values):
        self.s.range(0, 15, 7)
        for v in values:
            self.s.idouble(v)
        return self

    def write_input_single(self, values):
        self.s.range(0, 15, 7)
        for v in values:
            self.s.boolean(True).f32(v)
        return self

    def replace_tolerance(self, v):
        self.s.range(0, 15, 5).range(0, 1, 0).range(0, 3, 1).idouble(v)
        return self

    def toggle_dimension_flag(self):
        self.s.range(0, 15, 0)
        return self

    def bytes(self):
        return self.s


def orderly_run(single=False, frame=False, dims=(1, 4), running=True, in_place=False):
    h = HostScript(running=running)
    h.code(113, port_value=1 if single else 0).shape(list(dims), frame).code(112).code(101)
    h.sample_time().code(111).allocate(in_place).code(117).code(102)
    count = dims[0] * (dims[1] if len(dims) > 1 else 1)
    samples = [float(4 * i % 7 - 3) for i in range(count)]
    for _ in range(3):
        if single:
            h.write_input_single(samples)
        else:
            h.write_input(samples)
        h.code(104)
        samples = [v + 2.5 for v in samples]
    return h.code(118).code(119).code(107)


def host_dispatch():
    t = "fuzz_host_dispatch"
    write(t, "orderly_sample_row_running", orderly_run().bytes())
    write(t, "orderly_frame_single_in_place",
          orderly_run(single=True, frame=True, dims=(4, 2), in_place=True).bytes())
    write(t, "orderly_stateless_column", orderly_run(dims=(3, 1), running=False).bytes())
    write(t, "orderly_vector_frame", orderly_run(frame=True, dims=(5,)).bytes())
    write(t, "orderly_tolerance_change",
          orderly_run().replace_tolerance(-0.5).code(112).code(118).code(104).bytes())
    h = HostScript()
    h.code(104).code(107).code(107).code(118).code(102).code(119).code(101)
    write(t, "early_calls_before_work_vectors", h.bytes())
    h = HostScript()
    h.code(113, port_value=8).code(113, port_value=-1).code(114, port_value=1).code(103)
    h.code(108).code(105).code(143).code(101, fraction=230).code(115).toggle_dimension_flag()
    h.code(126).code(127).code(142).code(131)
    write(t, "dispatcher_messages", h.bytes())
    # A start refused for its zero sample time; then, after a terminate, two starts in a row.
    h = HostScript()
    h.code(113).shape([1, 2], False).code(111).allocate().sample_time(3).code(117).code(107)
    h.sample_time(0).code(117).code(117).code(104).code(107)
    write(t, "start_refused_then_twice", h.bytes())
    write(t, "failed_load_wrong_params",
          HostScript(orderly=False, params=(1.0,)).code(101).code(113).bytes())
    write(t, "no_load", HostScript(load=False).code(101).code(104).code(107).code(112).bytes())

    # Findings, kept as regression seeds: the block sizes its accesses to the Cutoff work vector
    # (and to the state vectors) by input port 0's data type at the time of the access, not by the
    # type the vectors were declared with in hookSetWorkWidths. A host that sets the work widths
    # before the data type is settled, or offers another data type afterwards, gets out-of-bounds
    # accesses.
    h = HostScript(orderly=False)
    h.shape([1, 2], False).code(111).allocate().code(118)
    write(t, "finding_cutoff_written_past_untyped_vector", h.bytes())
    h = HostScript(orderly=False)
    h.code(113, port_value=1).shape([1, 2], False).code(111).allocate().code(113).code(119)
    write(t, "finding_cutoff_read_past_single_vector", h.bytes())
    h = HostScript(orderly=False)
    h.code(113, port_value=1).shape([1, 2], False).code(111).allocate().code(113)
    h.sample_time().code(117).write_input([1.0, 5.0]).code(104)
    write(t, "finding_outputs_past_single_state", h.bytes())

    # Findings in the host model itself, kept as regression seeds: it counted a start the block
    # refused as a start, so a data type offered afterwards (single, then double again) left its
    # port buffers at the single size, and the next start, accepted, ran a kernel past them. The
    # model now starts only on a start the block accepts; its buffers follow the new type.
    h = HostScript(orderly=False, running=False)
    h.code(113, port_value=0).shape([1, 2], False).code(111).code(113, port_value=1).allocate()
    h.sample_time().code(117).code(113, port_value=0).code(117).code(104)
    write(t, "finding_refused_start_then_type_round_trip_stateless", h.bytes())
    h = HostScript(orderly=False)
    h.code(113, port_value=0).shape([4], True).code(111).code(113, port_value=1).allocate()
    h.sample_time().code(117).code(113, port_value=0).code(117).code(104).code(104).code(107)
    write(t, "finding_refused_start_then_type_round_trip_running_frame", h.bytes())
    # A data type offered during a run: the buffers stay those of the run until the terminate, then
    # follow the new type; the block starts again on new work vectors.
    h = HostScript(orderly=False)
    h.code(113, port_value=0).shape([1, 2], False).code(112).code(101).sample_time().code(111)
    h.allocate().code(117).code(102).write_input([0.0, 4.0]).code(104)
    h.code(113, port_value=1).code(104).code(118).code(119).code(107)
    h.code(111).code(117, allocate_in_place=False).code(102).write_input_single([4.0, 0.0])
    h.code(104).code(107)
    write(t, "type_offered_during_run_then_restart", h.bytes())


def main():
    kernels()
    record_writer()
    signal_reader()
    command_line()
    host_dispatch()


if __name__ == "__main__":
    main()
