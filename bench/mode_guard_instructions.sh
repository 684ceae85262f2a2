#!/usr/bin/env bash
# The floating-point mode guard's cost in instructions, which a shared machine cannot blur:
# valgrind's callgrind counts the instructions executed inside kvxFunction while kqhost runs
# the same signal through the block, through the block built without the guard, and through the
# block with the caller in flush-to-zero + denormals-are-zero + round up (set before main by the
# test suite's preloaded library). One sample per output step, and 4096-sample frames.
#
#   bench/mode_guard_instructions.sh [BUILD_DIR]     (default build/release; needs valgrind)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
kqhost="${build}/bin/kqhost"
guarded="${build}/bin/kqphasefix2.so"
unguarded="${build}/probes/without_mode_guard/kqphasefix2.so"
preload="${build}/tests/kqhost/libkq_floating_point_mode_preload.so"
for file in "${kqhost}" "${guarded}" "${unguarded}" "${preload}"; do
  [ -e "${file}" ] || { echo "mode_guard_instructions: build ${file} first" >&2; exit 2; }
done
work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT

# A wrapped random walk, 64 frames of 4096 samples; the one-sample run takes its first 4096.
/usr/bin/python3 - "${work}" <<'EOF'
import sys
import numpy as np
walk = np.cumsum(np.random.default_rng(1).normal(0, 1.2, 4096 * 64))
wrapped = (walk + np.pi) % (2 * np.pi) - np.pi
wrapped.astype('<f8').tofile(f'{sys.argv[1]}/frames.f64')
wrapped[:4096].astype('<f8').tofile(f'{sys.argv[1]}/samples.f64')
EOF

# Instructions inside kvxFunction for one run: BLOCK FRAME INPUT [environment...]
instructions() {
  local block="$1" frame="$2" input="$3"
  shift 3
  env "$@" valgrind --tool=callgrind --toggle-collect=kvxFunction \
    --callgrind-out-file="${work}/callgrind.out" "${kqhost}" run --channels 1 --frame "${frame}" \
    --block "${block}" "${input}" "${work}/out.f64" 2>&1 | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '%-22s %14s %14s %12s\n' "output steps" "no guard" "guard" "other mode"
for run in "samples 1 4096" "frames 4096 64"; do
  read -r name frame steps <<<"${run}"
  input="${work}/${name}.f64"
  before=$(instructions "${unguarded}" "${frame}" "${input}")
  after=$(instructions "${guarded}" "${frame}" "${input}")
  other=$(instructions "${guarded}" "${frame}" "${input}" LD_PRELOAD="${preload}" \
    KQ_TEST_FLOATING_POINT_MODE=A040)
  printf '%-22s %14s %14s %12s\n' "${steps} x ${frame} samples" "${before}" "${after}" "${other}"
  /usr/bin/python3 -c "
b, a, o, n = ${before}, ${after}, ${other}, ${steps}
print(f'  per call: guard +{(a - b) / n:.1f} instructions ({100 * (a - b) / b:.3f}%),'
      f' caller in another mode +{(o - b) / n:.1f} ({100 * (o - b) / b:.3f}%)')"
done
