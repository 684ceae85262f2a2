#
# Copyright 2026 kqphasefix2 developers.
#
# SPDX-License-Identifier: GPL-3.0-or-later
#
"""Bit-for-bit comparison of float32 arrays (NaN payloads and signed zeros included)."""

import numpy as np


def assert_same_bits(got, want, what=""):
    """Raises AssertionError naming the first value whose bits differ."""
    got = np.ascontiguousarray(got, dtype=np.float32)
    want = np.ascontiguousarray(want, dtype=np.float32)
    if got.shape != want.shape:
        raise AssertionError(f"{what}: shape {got.shape}, want {want.shape}")
    differ = np.flatnonzero(got.view(np.uint32) != want.view(np.uint32))
    if differ.size:
        i = np.unravel_index(differ[0], got.shape)
        raise AssertionError(f"{what}: {differ.size} values differ, first at {i}: "
                             f"got {got[i]!r}, want {want[i]!r}")
