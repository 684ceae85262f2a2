"""Phase unwrapping with the bits of the kqphasefix2 block.

unwrap(x, cutoff, axis, out) unwraps every lane of an array on its own; Unwrapper unwraps a signal
that arrives in chunks, carrying on across them; vector_level names the kernels' vector level on
this processor. The submodules kqphasefix2.dask and kqphasefix2.xarray unwrap dask arrays and
xarray DataArrays chunk by chunk with the same bits; only they need dask or xarray.
"""
from ._core import Unwrapper, unwrap, vector_level

__all__ = ["Unwrapper", "unwrap", "vector_level"]
