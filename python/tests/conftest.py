"""With KQPHASEFIX2_TEST_FLOATING_POINT_MODE set (ftz_daz or upward), every call into the
extension runs with the calling thread in that floating-point mode and must leave the mode as it
found it: the suite's exact comparisons then hold in that mode. (The exception flags are not
checked here: numpy clears them itself around its own conversions, which the calls make; the
C++ tests check them.)
The tests' references compute in the default mode, outside the calls. The mode is set through a
small library built for the tests (KQPHASEFIX2_TEST_MODE_HELPER), as Python cannot reach the
control register."""
import ctypes
import functools
import os
import platform

import numpy as np
import pytest

from kqphasefix2 import _core

_MODE = os.environ.get("KQPHASEFIX2_TEST_FLOATING_POINT_MODE")

# Mode bits added to the default mode, and the bits of the whole mode (MXCSR on x86-64, FPCR on
# 64-bit ARM).
if platform.machine() in ("x86_64", "AMD64"):
    _MODES = {"ftz_daz": 0x8040, "upward": 0x4000}
    _MODE_BITS = 0xFFC0
else:
    _MODES = {"ftz_daz": 1 << 24, "upward": 1 << 22}
    _MODE_BITS = 0x03C09F07


def _helper():
    library = ctypes.CDLL(os.environ["KQPHASEFIX2_TEST_MODE_HELPER"])
    library.kq_test_floating_point_control.restype = ctypes.c_uint64
    library.kq_test_set_floating_point_control.argtypes = [ctypes.c_uint64]
    return library


def _in_mode(helper, bits, function):
    @functools.wraps(function)
    def call(*args, **kwargs):
        before = helper.kq_test_floating_point_control()
        caller = before | bits
        helper.kq_test_set_floating_point_control(caller)
        try:
            return function(*args, **kwargs)
        finally:
            after = helper.kq_test_floating_point_control()
            helper.kq_test_set_floating_point_control(before)
            assert after & _MODE_BITS == caller & _MODE_BITS, hex(after)
    return call


@pytest.fixture(autouse=True)
def _calls_in_the_callers_mode(monkeypatch):
    if _MODE is None:
        yield
        return
    helper = _helper()
    bits = _MODES[_MODE]
    # The helper does set the mode: numpy's own arithmetic sees it.
    probe = _in_mode(helper, bits, lambda: (np.float64(5e-324) * np.float64(1.0),
                                            np.float64(1.0) + np.float64(1e-300)))
    tiny, above_one = probe()
    assert (tiny == 0.0) if _MODE == "ftz_daz" else (above_one > 1.0), "the mode was not set"
    for name in ("unwrap", "_taken_corrections", "_add_taken", "_unwrap_carried"):
        monkeypatch.setattr(_core, name, _in_mode(helper, bits, getattr(_core, name)))
    for name in ("__init__", "process"):
        monkeypatch.setattr(_core.Unwrapper, name,
                            _in_mode(helper, bits, getattr(_core.Unwrapper, name)))
    cutoff = _core.Unwrapper.cutoff
    monkeypatch.setattr(_core.Unwrapper, "cutoff",
                        property(cutoff.fget, _in_mode(helper, bits, cutoff.fset), doc=cutoff.__doc__))
    yield
