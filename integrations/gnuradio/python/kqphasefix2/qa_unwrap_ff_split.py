#!/usr/bin/env python3
#
# Copyright 2026 kqphasefix2 developers.
#
# SPDX-License-Identifier: GPL-3.0-or-later
#
"""The running output does not depend on how the scheduler splits the stream into work() calls,
nor on how the stream is divided between runs of the flowgraph."""

import math
import os
import subprocess
import tempfile

# The performance counters tell how many items the work() calls got on average.
os.environ["GR_CONF_PERFCOUNTERS_ON"] = "True"

import numpy as np
from gnuradio import gr_unittest

from float_bits import assert_same_bits
from kqhost_reference import kqhost_path
from phase_signals import phase_signal
from unwrap_flowgraph import UnwrapFlowgraph

ITEMS = 3000
VLEN = 3


class qa_unwrap_ff_split(gr_unittest.TestCase):

    def setUp(self):
        self.samples = phase_signal(ITEMS, VLEN, 42)
        graph = UnwrapFlowgraph(math.pi, VLEN, True)
        self.whole = graph.run(self.samples)
        self.assertGreater(graph.unwrap.pc_noutput_items_avg(), 100)

    def test_any_work_size_gives_the_same_bits(self):
        # (most items the source writes per call, most items unwrap_ff gets per call); a source
        # limit that the unwrap limit does not divide makes the calls uneven.
        for source_max, unwrap_max in ((None, 1), (None, 2), (5, 7), (None, 61), (13, 1000)):
            with self.subTest(source_max=source_max, unwrap_max=unwrap_max):
                graph = UnwrapFlowgraph(math.pi, VLEN, True)
                if source_max is not None:
                    graph.source.set_max_noutput_items(source_max)
                graph.unwrap.set_max_noutput_items(unwrap_max)
                got = graph.run(self.samples)
                self.assertLessEqual(graph.unwrap.pc_noutput_items_avg(), unwrap_max)
                assert_same_bits(got, self.whole, f"calls of at most {unwrap_max} items")

    def test_stream_divided_between_runs_gives_the_same_bits(self):
        graph = UnwrapFlowgraph(math.pi, VLEN, True)
        bounds = [0, 1, 5, 333, 1500, 2999, ITEMS]
        parts = [graph.run(self.samples[a:b]) for a, b in zip(bounds, bounds[1:])]
        assert_same_bits(np.concatenate(parts), self.whole, "runs of 1, 4, 328, ... items")

    def test_binary32_state_would_depend_on_the_split(self):
        # Guards the tests above: on this signal a block keeping its state in single precision
        # (kqhost's single-precision run, which rounds the state after every output step) gives
        # different bits for one step per item and for frames of 1000 items.
        with tempfile.TemporaryDirectory() as tmp:
            source = os.path.join(tmp, "in.f32")
            self.samples.astype("<f4").tofile(source)
            outputs = []
            for frame in ([], ["--frame", "1000"]):
                result = os.path.join(tmp, f"out{len(outputs)}.f32")
                subprocess.run([kqhost_path(), "run", "--precision", "single", "--channels",
                                str(VLEN), *frame, source, result], check=True)
                outputs.append(np.fromfile(result, dtype="<u4"))
        self.assertFalse((outputs[0] == outputs[1]).all())


if __name__ == '__main__':
    gr_unittest.run(qa_unwrap_ff_split)
