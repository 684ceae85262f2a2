"""The block's unwrap arithmetic written again with numpy, as the oracle of the module's tests.

Every step is one IEEE 754 binary64 operation in the order the kernels take it, so the results
are the kernels' bits: numpy's elementwise operations round each operation on its own, and
numpy.add.accumulate adds in sequence. float32 data run the same binary64 arithmetic with the
float32 constants and cutoff, rounded to float32 where stored.
"""
import numpy as np

# pi, 2*pi, 1/(2*pi) and the floor bias of each precision, as binary64 values.
_CONSTANTS = {
    np.dtype(np.float64): (3.141592653589793, 6.283185307179586, 0.15915494309189535, 0.9999999999),
    np.dtype(np.float32): tuple(
        float(np.float32(v)) for v in (3.1415927, 6.2831855, 0.15915494, 0.99999)),
}


def stored_cutoff(cutoff, dtype):
    """The cutoff the block stores for a tolerance: its magnitude, in the data's precision."""
    magnitude = cutoff if cutoff > 0.0 else -cutoff
    return float(np.dtype(dtype).type(magnitude))


def corrections(prev, x, cutoff, dtype):
    """The correction each step from prev to x takes (0 where none), in binary64."""
    pi, two_pi, inv_two_pi, bias = _CONSTANTS[np.dtype(dtype)]
    with np.errstate(invalid="ignore", over="ignore"):
        d = x.astype(np.float64) - prev.astype(np.float64)
        u = d + pi
        t = u * inv_two_pi
        k = np.trunc(np.where(t > 0.0, t, t - bias))
        p = (u - k * two_pi) - pi
        p = np.where((p == -pi) & (d > 0.0), pi, p)
        c = p - d
        return np.where(stored_cutoff(cutoff, dtype) < np.abs(c), c, 0.0)


def _accumulate(start, c):
    """start + c[..., 0] + c[..., 1] + ..., one addition at a time along the last axis."""
    with np.errstate(invalid="ignore"):
        sums = np.add.accumulate(np.concatenate([start[..., None], c], axis=-1), axis=-1)
    return sums[..., 1:]


def stateless(x, cutoff=np.pi, axis=-1):
    """unwrap() of the module: every channel on its own, sample 0 passing through."""
    x = np.asarray(x)
    channels = np.moveaxis(x, axis, -1)
    out = channels.copy()
    if channels.shape[-1] > 1:
        c = corrections(channels[..., :-1], channels[..., 1:], cutoff, x.dtype)
        s = _accumulate(np.zeros(channels.shape[:-1]), c)
        with np.errstate(invalid="ignore", over="ignore"):
            out[..., 1:] = (s + channels[..., 1:].astype(np.float64)).astype(x.dtype)
    return np.moveaxis(out, -1, axis)


class Running:
    """Unwrapper of the module: channels along axis 0, carried from chunk to chunk."""

    def __init__(self, channels, cutoff=np.pi, dtype=np.float64):
        self.dtype = np.dtype(dtype)
        self.cutoff = cutoff
        self.prev = np.zeros(channels, self.dtype)
        self.cumsum = np.zeros(channels, self.dtype)
        self.first = True

    def reset(self):
        self.first = True
        self.cumsum[:] = 0

    def process(self, chunk):
        chunk = np.asarray(chunk, self.dtype)
        channels = chunk.reshape(chunk.shape[0], -1).T  # channel, sample
        if channels.shape[1] == 0:
            return chunk.copy()
        if self.first:
            self.prev = channels[:, 0].copy()
            self.cumsum[:] = 0
            self.first = False
        prev = np.concatenate([self.prev[:, None], channels[:, :-1]], axis=1)
        c = corrections(prev, channels, self.cutoff, self.dtype)
        s = _accumulate(self.cumsum.astype(np.float64), c)
        with np.errstate(invalid="ignore", over="ignore"):
            out = (s + channels.astype(np.float64)).astype(self.dtype)
            self.cumsum = s[:, -1].astype(self.dtype)
        self.prev = channels[:, -1].copy()
        return out.T.reshape(chunk.shape)
