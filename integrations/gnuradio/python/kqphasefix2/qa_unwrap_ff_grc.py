#!/usr/bin/env python3
#
# Copyright 2026 kqphasefix2 developers.
#
# SPDX-License-Identifier: GPL-3.0-or-later
#
"""The GNU Radio Companion block definition: grcc compiles a flowgraph that uses it (two chains of
file source -> unwrap_ff -> file sink, one running and one stateless, their cutoffs from
variables), the generated script runs headless and gives kqhost's bits, and a variable's setter
reaches its block."""

import importlib.util
import os
import subprocess
import sys
import tempfile

import numpy as np
import yaml
from gnuradio import gr_unittest

from float_bits import assert_same_bits
from kqhost_reference import kqhost_unwrap
from phase_signals import phase_signal

ITEMS = 1500
FLOWGRAPH_ID = "unwrap_grc_check"
# name: (vlen, running, cutoff)
CHAINS = {"running": (3, True, 2.5), "stateless": (16, False, -1.0)}


def block(name, block_id, **parameters):
    return {"name": name, "id": block_id,
            "parameters": {k: str(v) for k, v in parameters.items()},
            "states": {"coordinate": [0, 0], "rotation": 0, "state": "enabled"}}


def flowgraph(folder):
    """The .grc document; chain NAME reads NAME.in.f32 and writes NAME.out.f32 in folder."""
    options = block("options", "options", id=FLOWGRAPH_ID, generate_options="no_gui",
                    output_language="python", run="True", run_options="run", title="")
    del options["name"]
    blocks, connections = [], []
    for name, (vlen, running, cutoff) in CHAINS.items():
        blocks += [
            block(f"{name}_cutoff", "variable", value=repr(cutoff)),
            block(f"{name}_source", "blocks_file_source",
                  file=repr(os.path.join(folder, f"{name}.in.f32")), type="float",
                  repeat="False", vlen=vlen, begin_tag="pmt.PMT_NIL", offset=0, length=0),
            block(f"{name}_unwrap", "kqphasefix2_unwrap_ff", cutoff=f"{name}_cutoff",
                  vlen=vlen, running=running),
            block(f"{name}_sink", "blocks_file_sink",
                  file=repr(os.path.join(folder, f"{name}.out.f32")), type="float", vlen=vlen,
                  unbuffered="False", append="False"),
        ]
        connections += [[f"{name}_source", "0", f"{name}_unwrap", "0"],
                        [f"{name}_unwrap", "0", f"{name}_sink", "0"]]
    return {"options": options, "blocks": blocks, "connections": connections,
            "metadata": {"file_format": 1}}


class qa_unwrap_ff_grc(gr_unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        folder = cls.tmp.name
        cls.samples = {}
        for seed, (name, (vlen, _, _)) in enumerate(CHAINS.items()):
            cls.samples[name] = phase_signal(ITEMS, vlen, seed)
            cls.samples[name].astype("<f4").tofile(os.path.join(folder, f"{name}.in.f32"))
        grc_file = os.path.join(folder, f"{FLOWGRAPH_ID}.grc")
        with open(grc_file, "w") as f:
            yaml.safe_dump(flowgraph(folder), f)
        env = dict(os.environ, GRC_BLOCKS_PATH=os.environ["KQ_GRC_BLOCKS_DIR"])
        subprocess.run([os.environ["GRCC"], "-o", folder, grc_file], check=True, env=env,
                       capture_output=True, text=True)
        cls.script = os.path.join(folder, f"{FLOWGRAPH_ID}.py")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_generated_flowgraph_matches_kqhost(self):
        subprocess.run([sys.executable, self.script], check=True, capture_output=True)
        for name, (vlen, running, cutoff) in CHAINS.items():
            with self.subTest(chain=name):
                result = os.path.join(self.tmp.name, f"{name}.out.f32")
                got = np.fromfile(result, dtype="<f4").reshape(ITEMS, vlen)
                want = kqhost_unwrap(self.samples[name], cutoff, running)
                assert_same_bits(got, want, f"generated {name} chain")

    def test_variable_setter_reaches_the_block(self):
        spec = importlib.util.spec_from_file_location(FLOWGRAPH_ID, self.script)
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        top = getattr(module, FLOWGRAPH_ID)()
        self.assertEqual(top.running_unwrap.cutoff(), 2.5)
        self.assertEqual(top.stateless_unwrap.vlen(), 16)
        self.assertFalse(top.stateless_unwrap.running())
        top.set_running_cutoff(-0.75)
        self.assertEqual(top.running_unwrap.cutoff(), 0.75)


if __name__ == '__main__':
    gr_unittest.run(qa_unwrap_ff_grc)
