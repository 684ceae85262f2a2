"""Builds the extension module kqphasefix2 from python/src and the kernels in ../kernels.

The kernels keep their bits only with the floating-point flags of the CMake build: no
contraction into fused multiply-add, no fast-math, SSE2 arithmetic on x86-64. Each vector
level's kernels, and the module's row walks of that level, are compiled with their own
instruction set and run only on a processor that has it, so the module as a whole still runs on
any x86-64 (or 64-bit ARM).
"""
import glob
import os
import platform

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
X86_64 = platform.machine() in ("x86_64", "AMD64")
AARCH64 = platform.machine() in ("aarch64", "arm64")

FLOAT_FLAGS = ["-std=c++20", "-ffp-contract=off", "-fno-fast-math"] + (
    ["-mfpmath=sse"] if X86_64 else [])
# The flags of each vector level's sources, as in kernels/CMakeLists.txt (GCC 12's AVX-512
# header trips -Wmaybe-uninitialized). Advanced SIMD is part of every 64-bit ARM processor.
VECTOR_LEVEL_FLAGS = {
    "avx2": ["-mavx2"],
    "avx512": ["-mavx512f", "-mavx512vl", "-Wno-maybe-uninitialized"],
    "neon": [],
}
# The levels this machine's architecture builds; the sources of the others are left out.
BUILT_LEVELS = {"avx2", "avx512"} if X86_64 else {"neon"} if AARCH64 else set()
# The sources of one vector level end in _avx2, _avx512 or _neon: the kernels' own and the
# module's row walks.
LEVEL_SOURCE_CANDIDATES = sorted(
    glob.glob(os.path.join(REPO, "kernels", "simd", "*.cpp")) +
    glob.glob(os.path.join(HERE, "src", "*.cpp")))


def vector_level(path):
    level = os.path.splitext(os.path.basename(path))[0].split("_")[-1]
    return level if level in VECTOR_LEVEL_FLAGS else None


VECTOR_LEVEL_SOURCES = {
    path: VECTOR_LEVEL_FLAGS[vector_level(path)]
    for path in LEVEL_SOURCE_CANDIDATES if vector_level(path) in BUILT_LEVELS
}
SOURCES = [path for path in sorted(glob.glob(os.path.join(HERE, "src", "*.cpp")))
           if not vector_level(path)] + sorted(glob.glob(os.path.join(REPO, "kernels", "*.cpp")))


def pybind11_include():
    """pybind11's headers: Debian's pybind11-dev puts them in /usr/include."""
    try:
        import pybind11
        return pybind11.get_include()
    except ImportError:
        if os.path.isfile("/usr/include/pybind11/pybind11.h"):
            return "/usr/include"
        raise RuntimeError("pybind11 headers not found: apt-get install pybind11-dev")


class BuildWithVectorLevels(build_ext):
    """Compiles each vector level's sources with its own flags, then the module as usual."""

    def build_extension(self, ext):
        objects = []
        for source, flags in VECTOR_LEVEL_SOURCES.items():
            objects += self.compiler.compile(
                [source], output_dir=self.build_temp,
                include_dirs=[REPO], extra_postargs=FLOAT_FLAGS + flags)
        ext.extra_objects = list(ext.extra_objects or []) + objects
        super().build_extension(ext)


setup(
    ext_modules=[Extension(
        "kqphasefix2",
        sources=SOURCES,
        include_dirs=[REPO, pybind11_include()],
        extra_compile_args=FLOAT_FLAGS + ["-fvisibility=hidden"],
        language="c++",
    )],
    cmdclass={"build_ext": BuildWithVectorLevels},
)
