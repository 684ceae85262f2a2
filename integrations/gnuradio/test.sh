#!/usr/bin/env bash
# Builds kqhost (the release preset of the repository) and this GNU Radio module against the
# repository's kernels, then runs the module's QA: the C++ work()-level test and the Python
# flowgraphs compared bit for bit with kqhost. Exits non-zero on any failure.
#
# Environment: KQ_GNURADIO_BUILD, the module's build folder (default build/gnuradio in the
# repository root).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${KQ_GNURADIO_BUILD:-$root/build/gnuradio}"
# GNU Radio's Python modules are Debian's; another python3 first on PATH may lack them.
python=/usr/bin/python3

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
command -v clang++ >/dev/null || need+=(clang)
[ -e /usr/lib/x86_64-linux-gnu/libgtest.a ] || [ -e /usr/lib/libgtest.a ] || need+=(libgtest-dev)
dpkg -s gnuradio-dev >/dev/null 2>&1 || need+=(gnuradio-dev)
command -v grcc >/dev/null || need+=(gnuradio)
[ -x "$python" ] && "$python" -c "import numpy, yaml" 2>/dev/null || need+=(python3-numpy python3-yaml)
if [ ${#need[@]} -gt 0 ]; then
  echo "== installing ${need[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

echo "== kqhost and the block (release preset)"
cd "$root"
[ -f build/release/build.ninja ] || cmake --preset release >/dev/null
cmake --build --preset release -j2 --target kqhost

echo "== gr-kqphasefix2 in $build"
settings=(-DCMAKE_BUILD_TYPE=Release -DPYTHON_EXECUTABLE="$python" -DKQ_SOURCE_DIR="$root"
          -DKQHOST_EXECUTABLE="$root/build/release/bin/kqhost")
cmake -S "$here" -B "$build" -G Ninja "${settings[@]}" >/dev/null
# Every floating-point flag on the kernels and the module's sources, in this build and in a
# configure-only build with clang.
echo "== the floating-point flags with GCC and with clang"
folders="kernels;$here/lib;runtime"
check="$root/tests/tree_rules/check_floating_point_flags.cmake"
cmake -DBUILD_DIR="$build" "-DFOLDERS=$folders" -P "$check"
cmake -DSOURCE_DIR="$here" -DBUILD_DIR="$build-clang" -DC_COMPILER=clang -DCXX_COMPILER=clang++ \
  "-DCONFIGURE_ARGS=$(IFS=';'; echo "${settings[*]}")" "-DFOLDERS=$folders" -P "$check"
cmake --build "$build" -j2

echo "== QA"
ctest --test-dir "$build" --output-on-failure
