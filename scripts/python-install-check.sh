#!/usr/bin/env bash
# Installs the Python package with pip into a throwaway venv, offline, with Debian's setuptools,
# cmake and pybind11 (--no-build-isolation), and runs the pytest suite against the installed
# package, the kqhost comparisons and the dask and xarray tests included (kqhost from
# build/release, which must be built).
set -euo pipefail
cd "$(dirname "$0")/.."
python=/usr/bin/python3
kqhost="$PWD/build/release/bin/kqhost"
[ -x "$kqhost" ] || { echo "python-install-check: build the release preset first ($kqhost)" >&2; exit 1; }

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# The venv sees Debian's numpy, pytest and setuptools; pip may not reach the network.
"$python" -m venv --system-site-packages "$scratch/venv"
CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}" PIP_NO_INDEX=1 \
  "$scratch/venv/bin/python" -m pip install --quiet --no-build-isolation ./python
# The package imports without dask; its dask submodule imports where dask is installed.
(cd "$scratch" && "$scratch/venv/bin/python" -c '
import importlib.metadata, importlib.util, kqphasefix2
print("kqphasefix2", kqphasefix2.__version__, kqphasefix2.vector_level, kqphasefix2.__file__)
# One version: the installed metadata and the module both come from VERSION.
assert importlib.metadata.version("kqphasefix2") == kqphasefix2.__version__, (
    importlib.metadata.version("kqphasefix2"), kqphasefix2.__version__)
if importlib.util.find_spec("dask") is not None:
    import kqphasefix2.dask, kqphasefix2.xarray
    print("kqphasefix2.dask and kqphasefix2.xarray import")
')
# Run from the scratch folder, so that nothing of the source tree is imported by accident.
(cd "$scratch" && KQHOST="$kqhost" PYTHONDONTWRITEBYTECODE=1 \
  "$scratch/venv/bin/python" -m pytest -q -p no:cacheprovider "$OLDPWD/python/tests")
echo "== the pip-installed module passed the Python suite"
