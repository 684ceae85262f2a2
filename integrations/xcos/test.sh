#!/usr/bin/env bash
# The block in Scilab's Xcos: installs Scilab when it is missing, builds the block and kqhost
# (the release preset, or what build/release already holds) and the Xcos adapter against them,
# then runs the Scilab tests headless. Exits non-zero when anything fails.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
cd "$root"

# scilab-cli runs scripts without a GUI or a JVM; the scicos simulation libraries are only in
# scilab-full-bin; scilab-cli brings scilab-include, the headers of scicos blocks.
need=()
command -v scilab-cli >/dev/null || need+=(scilab-cli)
[ -e /usr/lib/scilab/libsciscicos-cli.so.6 ] || need+=(scilab-full-bin)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
command -v clang++ >/dev/null || need+=(clang)
if [ ${#need[@]} -gt 0 ]; then
  echo "== xcos: installing ${need[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

echo "== xcos: build the block and kqhost (release preset)"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target kqphasefix2 kqhost

echo "== xcos: build the adapter"
cmake -S integrations/xcos -B build/xcos -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
# Every floating-point flag on the adapter's sources and the kernels, in this build and in a
# configure-only build with clang.
echo "== xcos: the floating-point flags with GCC and with clang"
folders="integrations/xcos/src;kernels;runtime"
check=tests/tree_rules/check_floating_point_flags.cmake
cmake -DBUILD_DIR=build/xcos "-DFOLDERS=$folders" -P "$check"
cmake -DSOURCE_DIR=integrations/xcos -DBUILD_DIR=build/xcos-clang -DC_COMPILER=clang \
  -DCXX_COMPILER=clang++ "-DFOLDERS=$folders" -P "$check"
cmake --build build/xcos -j2

export KQ_XCOS_ADAPTER="$root/build/xcos/kqphasefix2_xcos.so"
export KQ_XCOS_BLOCK="$root/build/release/bin/kqphasefix2.so"
export KQ_XCOS_KQHOST="$root/build/release/bin/kqhost"

failed=0
for script in "$here"/tests/*.sce; do
  echo "== xcos: $(basename "$script")"
  if ! timeout 600 scilab-cli -nb -quit -f "$script"; then
    echo "!! xcos: $(basename "$script") failed" >&2
    failed=1
  fi
done
if [ "$failed" -ne 0 ]; then
  exit 1
fi
echo "== xcos: all Scilab tests passed"
