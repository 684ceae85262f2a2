#!/usr/bin/env python3
#
# Copyright 2026 kqphasefix2 developers.
#
# SPDX-License-Identifier: GPL-3.0-or-later
#
"""The flowgraph's output equals, bit for bit, kqhost's double-precision run of the block library
on the same float32 input, rounded to float32."""

import math

from gnuradio import gr_unittest

from float_bits import assert_same_bits
from kqhost_reference import kqhost_unwrap
from phase_signals import phase_signal
from unwrap_flowgraph import unwrap_in_flowgraph


class qa_unwrap_ff(gr_unittest.TestCase):

    def check_against_kqhost(self, items, vlen, running, cutoff, seed, frame=None):
        samples = phase_signal(items, vlen, seed)
        got = unwrap_in_flowgraph(samples, cutoff, running)
        want = kqhost_unwrap(samples, cutoff, running, frame=frame)
        assert_same_bits(got, want, f"vlen {vlen}, running {running}, cutoff {cutoff!r}")

    def test_running_matches_kqhost(self):
        cases = [
            # items, vlen, cutoff, kqhost frame (None: one time step per output step)
            (5000, 1, math.pi, None),
            (4000, 3, math.pi, None),
            (3000, 6, 2.0, 64),
            (2000, 4, -math.pi, 7),
            (2000, 3, 0.0, None),
            (1000, 2, 1e9, None),
        ]
        for seed, (items, vlen, cutoff, frame) in enumerate(cases):
            with self.subTest(vlen=vlen, cutoff=cutoff, frame=frame):
                self.check_against_kqhost(items, vlen, True, cutoff, seed, frame)

    def test_stateless_matches_kqhost(self):
        cases = [
            # items, vlen (the length each item is unwrapped along), cutoff
            (2000, 1, math.pi),
            (500, 64, math.pi),
            (300, 256, 1.5),
            (200, 9, -0.0),
        ]
        for seed, (items, vlen, cutoff) in enumerate(cases, start=100):
            with self.subTest(vlen=vlen, cutoff=cutoff):
                self.check_against_kqhost(items, vlen, False, cutoff, seed)

    def test_modes_differ_on_the_same_items(self):
        # Guards the comparisons above: the two modes walk the data differently, so a block that
        # ignored its running switch could not match kqhost in both.
        samples = phase_signal(500, 4, 7)
        running = unwrap_in_flowgraph(samples, math.pi, True)
        stateless = unwrap_in_flowgraph(samples, math.pi, False)
        self.assertFalse((running.view('u4') == stateless.view('u4')).all())


if __name__ == '__main__':
    gr_unittest.run(qa_unwrap_ff)
