#
# Copyright 2026 kqphasefix2 developers.
#
# SPDX-License-Identifier: GPL-3.0-or-later
#
"""vector_source_f -> unwrap_ff -> vector_sink_f, run on float32 items x vlen."""

import numpy as np
from gnuradio import blocks, gr

from gnuradio import kqphasefix2


class UnwrapFlowgraph:
    """One flowgraph that can be run several times; the block keeps its state between runs."""

    def __init__(self, cutoff, vlen, running):
        self.vlen = vlen
        self.tb = gr.top_block()
        self.source = blocks.vector_source_f([], False, vlen)
        self.unwrap = kqphasefix2.unwrap_ff(cutoff, vlen, running)
        self.sink = blocks.vector_sink_f(vlen)
        self.tb.connect(self.source, self.unwrap, self.sink)

    def run(self, samples, max_noutput_items=None):
        """Streams the samples through and returns what the sink got in this run."""
        before = len(self.sink.data())
        self.source.set_data(np.ascontiguousarray(samples, dtype=np.float32).ravel().tolist())
        if max_noutput_items is None:
            self.tb.run()
        else:
            self.tb.run(max_noutput_items)
        out = np.array(self.sink.data()[before:], dtype=np.float32)
        return out.reshape(-1, self.vlen)


def unwrap_in_flowgraph(samples, cutoff, running, max_noutput_items=None):
    return UnwrapFlowgraph(cutoff, samples.shape[1], running).run(samples, max_noutput_items)
