#
# Copyright 2026 kqphasefix2 developers.
#
# SPDX-License-Identifier: GPL-3.0-or-later
#
"""Float32 phase signals for the QA tests, time-major: items x vlen."""

import numpy as np

# Values that every arithmetic path must get right: float pi and its negation, zeros of both
# signs, a subnormal, a huge value, NaN and the infinities.
HARD_VALUES = np.array([np.pi, -np.pi, 0.0, -0.0, 1e-40, 3e38, np.nan, np.inf, -np.inf],
                       dtype=np.float32)


def phase_signal(items, vlen, seed):
    """Channels in turn: the wrapped phase of a noisy ramp, a ramp in steps of 4 (its correction
    grows by a turn at every step, so the accumulated correction gets large), and jumps of up
    to 8 rad with the hard values strewn in."""
    rng = np.random.default_rng(seed)
    t = np.arange(items, dtype=np.float64)
    channels = []
    for c in range(vlen):
        kind = c % 3
        if kind == 0:
            phase = (0.3 + 0.4 * rng.random()) * t + 0.2 * rng.standard_normal(items)
            channels.append(np.arctan2(np.sin(phase), np.cos(phase)))
        elif kind == 1:
            channels.append(4.0 * t + 0.01 * rng.standard_normal(items))
        else:
            jumps = rng.uniform(-8.0, 8.0, items)
            where = rng.choice(items, size=min(items, len(HARD_VALUES)), replace=False)
            jumps[where] = HARD_VALUES[:len(where)]
            channels.append(jumps)
    return np.stack(channels, axis=1).astype(np.float32)
