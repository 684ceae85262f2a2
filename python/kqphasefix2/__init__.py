"""Phase unwrapping with the bits of the kqphasefix2 block.

unwrap(x, cutoff, axis, out) unwraps every channel of an array on its own; Unwrapper unwraps a
signal that arrives in chunks, carrying on across them; vector_level names the kernels' vector
level on this processor, vector_levels every level the module knows, in order of preference. The
submodules kqphasefix2.dask and kqphasefix2.xarray unwrap dask arrays and xarray objects chunk by
chunk with the same bits; only they need dask or xarray.
"""
from ._core import __version__, vector_level, vector_levels
from ._in_memory import Unwrapper, unwrap

__all__ = ["Unwrapper", "unwrap", "vector_level", "vector_levels", "__version__"]
