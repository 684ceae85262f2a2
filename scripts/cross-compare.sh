#!/usr/bin/env bash
# Runs kqhost on the same input files on several platforms and compares what they wrote, byte for
# byte, with what the first platform wrote.
#
#   scripts/cross-compare.sh [RUNNER...]     (default: native windows)
#
# Runners: native (build/release/bin/kqhost), windows (build/mingw/bin/kqhost.exe under Wine),
# aarch64 (build/aarch64/bin/kqhost under qemu-aarch64). Each must be built already. The cases
# cover all twelve kernels (stateless, running per channel and running per element; copying and
# in place; double and single precision) in every port shape, with tolerance changes and resets,
# on raw inputs that mix wrapped phase with the hard values (steps of exactly pi and 3 pi, zeros of
# both signs, subnormals, huge values, infinities, NaNs with payloads); CSV output for the text;
# an SVG plot; and the printed results of gxw and sizes. Exits 1 on any difference or failed run;
# the one difference it lets pass is the sign of a default NaN (see same_but_default_nan).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

run_native() { "${root}/build/release/bin/kqhost" "$@"; }
run_windows() { "${root}/cmake/toolchains/mingw-w64-wine-run.sh" "${root}/build/mingw/bin/kqhost.exe" "$@"; }
run_aarch64() {
  qemu-aarch64 -L "${KQ_AARCH64_SYSROOT:-/usr/aarch64-linux-gnu}" "${root}/build/aarch64/bin/kqhost" "$@"
}

runners=("$@")
[ ${#runners[@]} -gt 0 ] || runners=(native windows)
for runner in "${runners[@]}"; do
  declare -F "run_${runner}" >/dev/null || { echo "cross-compare: unknown runner '${runner}'" >&2; exit 2; }
done

work="${root}/build/cross-compare"
rm -rf "${work}"
mkdir -p "${work}/inputs"

# The inputs: 1000 time steps of 3 channels, as binary64 and as binary32.
/usr/bin/python3 "${root}/scripts/hard-phase-inputs.py" "${work}/inputs"

# name|options (INPUT and OUTPUT are added per precision). Frame based: per channel; row and column:
# per element; vector: one channel along its elements; stateless: one kernel for every shape.
cases=(
  "running_frame64|--frame 64"
  "running_frame7_padded|--frame 7"
  "running_row|--shape row"
  "running_column|--shape column"
  "running_vector|--shape vector"
  "stateless_frame64|--mode stateless --frame 64"
  "stateless_row|--mode stateless --shape row"
  "stateless_vector|--mode stateless --shape vector"
  "running_frame32_changes|--frame 32 --tolerance 1 --set-tolerance 5:-0.5 --set-tolerance 9:7 --reset 12"
  "running_row_changes|--shape row --tolerance 2.5 --set-tolerance 300:0 --reset 600"
)

# Every case, copying and in place, on binary64 and binary32; and CSV output of a few.
case_list=()
for entry in "${cases[@]}"; do
  name="${entry%%|*}"
  options="${entry#*|}"
  for place in copy inplace; do
    flag=""
    [ "${place}" = inplace ] && flag="--in-place"
    case_list+=("${name}_${place}_double|run --channels 3 ${options} ${flag}|phase.f64|f64")
    case_list+=("${name}_${place}_single|run --channels 3 ${options} ${flag}|phase.f32|f32")
  done
done
case_list+=("csv_running_frame64_double|run --channels 3 --frame 64 --plot @/plot.svg|phase.f64|csv")
case_list+=("csv_running_row_single|run --channels 3 --shape row --precision single|phase.f64|csv")
case_list+=("csv_stateless_vector_inplace_double|run --channels 3 --mode stateless --shape vector --in-place|phase.f64|csv")

# What one runner writes: output files (an @ in the options is the runner's folder), and the
# printed gxw and sizes results.
run_all() {
  local runner="$1" folder="${work}/$1"
  mkdir -p "${folder}"
  local failed=0
  for item in "${case_list[@]}"; do
    IFS='|' read -r name args input ext <<<"${item}"
    args="${args//@/${folder}}"
    # shellcheck disable=SC2086
    if ! "run_${runner}" ${args} "${work}/inputs/${input}" "${folder}/${name}.${ext}" \
         2>"${folder}/${name}.err"; then
      echo "cross-compare: ${runner}: ${name} failed: $(cat "${folder}/${name}.err")" >&2
      failed=1
    fi
  done
  "run_${runner}" gxw --precision single --mode stateless --tolerance -2.5 >"${folder}/gxw.txt" || failed=1
  "run_${runner}" sizes --tolerance 1 >"${folder}/sizes.txt" || failed=1
  return "${failed}"
}

status=0
for runner in "${runners[@]}"; do
  start=$(date +%s)
  run_all "${runner}" || status=1
  echo "cross-compare: ${runner}: $(( $(date +%s) - start )) s"
done

# Raw files A and B hold the same values bit for bit, except where both hold the default NaN of
# their processor: a NaN that an invalid operation makes (infinity minus infinity, e.g. a Cumsum
# that overflowed to -inf in single precision plus an input of +inf) has its sign from the
# hardware, set on x86-64 and clear on ARM; IEEE 754 leaves it open.
same_but_default_nan() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import sys
a, b = (open(path, "rb").read() for path in sys.argv[1:3])
width = 4 if sys.argv[1].endswith(".f32") else 8 if sys.argv[1].endswith(".f64") else 0
defaults = {4: {0x7FC00000, 0xFFC00000}, 8: {0x7FF8000000000000, 0xFFF8000000000000}}
if width == 0 or len(a) != len(b) or len(a) % width != 0:
    sys.exit(1)
for i in range(0, len(a), width):
    x, y = (int.from_bytes(v[i:i + width], "little") for v in (a, b))
    if x != y and not (x in defaults[width] and y in defaults[width]):
        sys.exit(1)
PY
}

# The table: one row per file, one column per runner after the first ("same", "same*" or
# "DIFFERS").
default_nans=0
reference="${runners[0]}"
printf '%-48s' "file (compared with ${reference})"
for runner in "${runners[@]:1}"; do printf ' %-8s' "${runner}"; done
printf '\n'
files=$(cd "${work}/${reference}" && ls | grep -v '\.err$')
count=0
for file in ${files}; do
  count=$((count + 1))
  printf '%-48s' "${file}"
  for runner in "${runners[@]:1}"; do
    if cmp -s "${work}/${reference}/${file}" "${work}/${runner}/${file}"; then
      printf ' %-8s' same
    elif same_but_default_nan "${work}/${reference}/${file}" "${work}/${runner}/${file}"; then
      printf ' %-8s' 'same*'
      default_nans=1
    else
      printf ' %-8s' DIFFERS
      status=1
    fi
  done
  printf '\n'
done
if [ "${status}" -ne 0 ]; then
  echo "cross-compare: FAILED (outputs in ${work})" >&2
  exit 1
fi
if [ "${default_nans}" -ne 0 ]; then
  echo "same*: identical but for the sign of default NaNs made by invalid operations"
fi
echo "cross-compare: ${count} files identical on ${runners[*]}"
