"""Builds the package kqphasefix2 with CMake: the extension kqphasefix2._core from python/src and
the kernels in ../kernels, with the flags of the CMake build (no contraction into fused
multiply-add, no fast-math, each vector level with its own instruction set), so that a pip
install gives the bits of the CMake build. It configures python/ on its own with the system's
cmake and downloads nothing; python/ must stay next to kernels/, as it does when pip builds this
folder in place (pip does so for local folders since version 21.3).
"""
import glob
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build_ext):
    """Configures python/CMakeLists.txt for this interpreter and builds the extension's target."""

    def build_extension(self, ext):
        if not os.path.isfile(os.path.join(HERE, "..", "kernels", "CMakeLists.txt")):
            raise RuntimeError("kqphasefix2 builds from python/ next to the kernels in "
                               "../kernels; build it from a checkout of the whole project")
        build_dir = os.path.join(os.path.abspath(self.build_temp), "cmake")
        # A warning of a compiler the project has not met must not stop a user's install: the
        # project's own builds keep warnings as errors.
        subprocess.run(["cmake", "-S", HERE, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
                        "-DKQ_WARNINGS_AS_ERRORS=OFF", f"-DPython3_EXECUTABLE={sys.executable}"],
                       check=True)
        subprocess.run(["cmake", "--build", build_dir, "--target", "kqphasefix2_python"],
                       check=True)
        built = glob.glob(os.path.join(build_dir, "module", "kqphasefix2", "_core*"))
        if len(built) != 1:
            raise RuntimeError(f"expected one extension in {build_dir}, found {built}")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built[0], target)


def project_version():
    """The project's one version, from VERSION at the top of the repository (CMake reads it too)."""
    with open(os.path.join(HERE, "..", "VERSION"), encoding="utf-8") as file:
        return file.readline().strip()


setup(
    version=project_version(),
    ext_modules=[Extension("kqphasefix2._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
