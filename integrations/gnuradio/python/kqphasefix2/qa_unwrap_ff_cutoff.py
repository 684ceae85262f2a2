#!/usr/bin/env python3
#
# Copyright 2026 kqphasefix2 developers.
#
# SPDX-License-Identifier: GPL-3.0-or-later
#
"""Changing the cutoff while the block runs: by the setter and by the "cutoff" message port, with
the same bits as kqhost changing its Tolerance at the same time step."""

import math

import numpy as np
import pmt
from gnuradio import gr_unittest

from gnuradio import kqphasefix2
from float_bits import assert_same_bits
from kqhost_reference import kqhost_unwrap
from phase_signals import phase_signal
from unwrap_flowgraph import UnwrapFlowgraph

ITEMS = 2000
VLEN = 3
CHANGE_AT = 700
BEFORE = 1e9       # no correction at all
AFTER = math.pi


def post_cutoff(block, message):
    block.to_basic_block()._post(pmt.intern("cutoff"), message)


class qa_unwrap_ff_cutoff(gr_unittest.TestCase):

    def setUp(self):
        self.samples = phase_signal(ITEMS, VLEN, 3)
        self.want = kqhost_unwrap(self.samples, BEFORE, True, [(CHANGE_AT, AFTER)])

    def run_with_change(self, change):
        graph = UnwrapFlowgraph(BEFORE, VLEN, True)
        first = graph.run(self.samples[:CHANGE_AT])
        change(graph.unwrap)
        return np.concatenate([first, graph.run(self.samples[CHANGE_AT:])])

    def test_change_is_observable(self):
        # Guards the tests below: without the change the output would be different.
        unchanged = kqhost_unwrap(self.samples, BEFORE, True)
        self.assertFalse((unchanged.view('u4') == self.want.view('u4')).all())

    def test_setter_mid_stream_matches_kqhost(self):
        got = self.run_with_change(lambda block: block.set_cutoff(AFTER))
        assert_same_bits(got, self.want, "set_cutoff")

    def test_message_mid_stream_matches_kqhost(self):
        messages = {
            "number": pmt.from_double(AFTER),
            "pair": pmt.cons(pmt.intern("cutoff"), pmt.from_double(AFTER)),
            "negative number": pmt.from_double(-AFTER),
        }
        for name, message in messages.items():
            with self.subTest(message=name):
                got = self.run_with_change(lambda block: post_cutoff(block, message))
                assert_same_bits(got, self.want, f"message {name}")

    def test_integer_message_sets_the_cutoff(self):
        graph = UnwrapFlowgraph(BEFORE, 1, True)
        post_cutoff(graph.unwrap, pmt.cons(pmt.intern("value"), pmt.from_long(-3)))
        graph.run(np.zeros((1, 1), dtype=np.float32))
        self.assertEqual(graph.unwrap.cutoff(), 3.0)

    def test_message_without_a_real_number_is_ignored(self):
        for message in (pmt.intern("fast"), pmt.from_complex(1 + 2j), pmt.cons(pmt.intern("cutoff"), pmt.PMT_NIL)):
            with self.subTest(message=pmt.write_string(message)):
                graph = UnwrapFlowgraph(2.5, 1, True)
                post_cutoff(graph.unwrap, message)
                graph.run(np.zeros((1, 1), dtype=np.float32))
                self.assertEqual(graph.unwrap.cutoff(), 2.5)

    def test_constructor_and_setter_take_the_magnitude(self):
        for given, cutoff in ((2.5, 2.5), (-2.5, 2.5), (-0.0, 0.0)):
            with self.subTest(given=given):
                self.assertEqual(kqphasefix2.unwrap_ff(given, 1, True).cutoff(), cutoff)
                block = kqphasefix2.unwrap_ff(1.0, 1, True)
                block.set_cutoff(given)
                self.assertEqual(block.cutoff(), cutoff)

    def test_vlen_below_one_is_refused(self):
        for vlen in (0, -1):
            with self.subTest(vlen=vlen), self.assertRaises(ValueError):
                kqphasefix2.unwrap_ff(math.pi, vlen, True)


if __name__ == '__main__':
    gr_unittest.run(qa_unwrap_ff_cutoff)
