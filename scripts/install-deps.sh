#!/usr/bin/env bash
# Installs, with apt-get, whichever of the build's Debian packages this machine lacks: the
# compilers and build tools, GoogleTest, {fmt}, CLI11, and pybind11 with Debian's python3, numpy
# and pytest for the Python module, with dask, distributed, xarray and zarr for its chunked unwrap
# and its tests. Extra package names may be given as arguments.
set -euo pipefail
packages=(cmake ninja-build g++ clang libgtest-dev libfmt-dev libcli11-dev pybind11-dev
          python3-dev python3-numpy python3-pytest python3-setuptools
          python3-dask python3-distributed python3-xarray python3-zarr "$@")
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
