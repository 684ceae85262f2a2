#
# Copyright 2026 kqphasefix2 developers.
#
# SPDX-License-Identifier: GPL-3.0-or-later
#
"""The reference output: kqhost runs the block library in double precision on the same float32
samples (widened exactly), and its binary64 output is rounded to float32."""

import os
import subprocess
import tempfile

import numpy as np


def kqhost_path():
    path = os.environ.get("KQHOST", "")
    if not os.access(path, os.X_OK):
        raise RuntimeError(f"kqhost not found (KQHOST={path!r}); build the release preset first")
    return path


def kqhost_unwrap(samples, cutoff, running, cutoff_changes=(), frame=None):
    """samples: float32, items x vlen. running: every value is a channel carried across output
    steps (a sample-based row, or frames of `frame` steps); otherwise every item is a
    one-dimensional vector unwrapped on its own. cutoff_changes: (item, value) pairs, the new
    cutoff taking effect at that item. Returns float32, items x vlen."""
    items, vlen = samples.shape
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "in.f32")
        result = os.path.join(tmp, "out.f64")
        np.ascontiguousarray(samples, dtype="<f4").tofile(source)
        command = [kqhost_path(), "run", "--precision", "double", "--channels", str(vlen),
                   f"--tolerance={float(cutoff)!r}"]
        if not running:
            command += ["--mode", "stateless", "--shape", "vector"]
        elif frame is not None:
            command += ["--frame", str(frame)]
        for item, value in cutoff_changes:
            command.append(f"--set-tolerance={item}:{float(value)!r}")
        command += [source, result]
        subprocess.run(command, check=True, capture_output=True, text=True)
        return np.fromfile(result, dtype="<f8").reshape(items, vlen).astype(np.float32)
