#!/usr/bin/env bash
# Generated code against the simulation, bit for bit, on nine processors: for every form in the
# table below (the twelve kernels; frames, sample-based shapes, in place; resets and tolerance
# changes mid-run) it runs `kqhost run` and `kqhost generate` with the same options on inputs full
# of hard values (scripts/hard-phase-inputs.py --runs), builds one program per target from all the
# generated code and tests/generated_code/, runs it (Linux targets under qemu-user, Cortex-M
# boards under qemu-system-arm with semihosting) and compares every output value with kqhost's.
# The only differences allowed are the NaN notes of the target's row (see
# tests/generated_code/compare_outputs.py), the same table as the README's.
#
#   scripts/test-generated.sh               install what is missing, compare, run the probes
#   scripts/test-generated.sh --readme-table
#                                           print the README's table of targets from this one
#
# Then three probes that must fail, or the comparison proves nothing: aarch64 built with
# contraction on (-ffp-contract=fast, the runtime's pragma against it removed) must differ; i686
# with x87 arithmetic (-mfpmath=387) must stop at the runtime's FLT_EVAL_METHOD guard; the
# Cortex-M7 run with FPSCR's default-NaN bit set must differ (and NAME_initialize must refuse it).
# Needs build/release/bin/kqhost (or KQHOST=path). Exits 1 on any difference or probe that passes.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

# name|compiler|flags|runs on|NaN differences allowed|why the flags. Every target also gets
# ${common_flags}.
targets=(
  "x86-64|gcc|-static|natively|none|"
  "i686|i686-linux-gnu-gcc|-static -msse2 -mfpmath=sse|natively (32-bit)|none|x87 arithmetic is extended precision (FLT_EVAL_METHOD 2): the runtime refuses to build"
  "armhf|arm-linux-gnueabihf-gcc|-static|qemu-arm|nan-sign|"
  "aarch64|aarch64-linux-gnu-gcc|-static|qemu-aarch64|nan-sign|"
  "riscv64|riscv64-linux-gnu-gcc|-static|qemu-riscv64|canonical-nan|"
  "s390x|s390x-linux-gnu-gcc|-static -fexcess-precision=fast|qemu-s390x (big-endian)|nan-sign|in C99 mode GCC evaluates binary32 operations in binary64 here (FLT_EVAL_METHOD 1), which the runtime refuses; with the flag binary32 runs in binary32 and binary64 in binary64"
  "cortex-m4f|arm-none-eabi-gcc|-mcpu=cortex-m4 -mfpu=fpv4-sp-d16 -mfloat-abi=hard|qemu-system-arm -M mps2-an386|none|binary64 in the runtime's own integer arithmetic (NaNs as x86-64 makes them)"
  "cortex-m33|arm-none-eabi-gcc|-mcpu=cortex-m33 -mfpu=fpv5-sp-d16 -mfloat-abi=hard|qemu-system-arm -M mps2-an505|none|binary64 in the runtime's own integer arithmetic (NaNs as x86-64 makes them)"
  "cortex-m7|arm-none-eabi-gcc|-mcpu=cortex-m7 -mfpu=fpv5-d16 -mfloat-abi=hard|qemu-system-arm -M mps2-an500|nan-sign|binary64 in the FPU"
)
common_flags="-std=c99 -O2 -ffp-contract=off -Wall -Wextra -Werror"

# name|options of both kqhost run and kqhost generate (the events only of run). Each form is
# generated copying and in place, in double and in single: 24 programs' worth of code, which
# cover the twelve kernels (stateless; running per channel: frames and one-dimensional vectors;
# running per element: rows and columns). Cutoffs 0, pi, 1e-15 (the smallest calm one) and 1e-16.
forms=(
  "frame_running|--frame 7 --tolerance 1e-16 --set-tolerance 20:3.141592653589793 --reset 40 --set-tolerance 60:0 --reset 90"
  "row_running|--shape row --tolerance 3.141592653589793 --set-tolerance 200:1e-15 --reset 300 --set-tolerance 400:0 --reset 500 --set-tolerance 600:1e-16"
  "column_running|--shape column --tolerance 1e-15 --reset 100 --set-tolerance 500:-3.141592653589793"
  "vector_running|--shape vector --tolerance 0 --set-tolerance 150:-2.5 --reset 250 --set-tolerance 350:1e-16 --reset 700"
  "frame_stateless|--mode stateless --frame 16 --tolerance 1e-15 --set-tolerance 10:0 --set-tolerance 20:3.141592653589793 --set-tolerance 30:1e-16"
  "vector_stateless|--mode stateless --shape vector --tolerance 1e-16 --set-tolerance 300:3.141592653589793 --set-tolerance 500:0"
)
steps=800
channels=3

if [ "${1:-}" = "--readme-table" ]; then
  echo "| target | compiler | flags (and \`${common_flags}\`) | runs on | NaN differences allowed | notes |"
  echo "|---|---|---|---|---|---|"
  for entry in "${targets[@]}"; do
    IFS='|' read -r name compiler flags runner allowed why <<<"${entry}"
    echo "| ${name} | ${compiler} | \`${flags}\` | ${runner} | ${allowed//,/, } | ${why} |"
  done
  exit 0
fi

./scripts/install-deps.sh gcc-i686-linux-gnu libc6-dev-i386-cross gcc-arm-linux-gnueabihf \
  libc6-dev-armhf-cross gcc-aarch64-linux-gnu libc6-dev-arm64-cross gcc-riscv64-linux-gnu \
  libc6-dev-riscv64-cross gcc-s390x-linux-gnu libc6-dev-s390x-cross gcc-arm-none-eabi \
  picolibc-arm-none-eabi qemu-system-arm qemu-user

kqhost="${KQHOST:-${root}/build/release/bin/kqhost}"
[ -x "${kqhost}" ] || { echo "test-generated: build kqhost first (${kqhost})" >&2; exit 2; }
work="${root}/build/generated-code"
gen="${work}/gen"
rm -rf "${work}"
mkdir -p "${work}/inputs" "${work}/kqhost" "${gen}"
started=${SECONDS}

# The README's table must be this one.
if ! diff <("$0" --readme-table) <(sed -n '/<!-- targets:begin -->/,/<!-- targets:end -->/p' \
                                     README.md | sed '1d;$d') >"${work}/readme-table.diff"; then
  echo "test-generated: README's table of targets differs from this script's:" >&2
  cat "${work}/readme-table.diff" >&2
  exit 1
fi

/usr/bin/python3 tests/generated_code/compare_outputs.py --self-test
/usr/bin/python3 scripts/hard-phase-inputs.py "${work}/inputs" --steps "${steps}" \
  --channels "${channels}" --runs

# kqhost run's outputs and the generated code of every form.
: >"${work}/forms.txt"
for entry in "${forms[@]}"; do
  form="${entry%%|*}"
  options="${entry#*|}"
  setup=$(sed -E 's/--(reset|set-tolerance) [^ ]+//g' <<<"${options}")
  rows=1
  [[ "${options}" =~ --frame\ ([0-9]+) ]] && rows="${BASH_REMATCH[1]}"
  for place in copy in_place; do
    flag=""
    [ "${place}" = in_place ] && flag="--in-place"
    for precision in double single; do
      name="kqg_${form}_${place}_dbl"
      ext=f64
      [ "${precision}" = single ] && name="kqg_${form}_${place}_sgl" && ext=f32
      # shellcheck disable=SC2086
      "${kqhost}" run --channels "${channels}" --precision "${precision}" ${options} ${flag} \
        "${work}/inputs/phase.${ext}" "${work}/kqhost/${name}.${ext}"
      # shellcheck disable=SC2086
      "${kqhost}" generate --channels "${channels}" --precision "${precision}" ${setup} ${flag} \
        --name "${name}" --output-dir "${gen}"
      echo "${name}|${rows}|${precision}|${options}" >>"${work}/forms.txt"
    done
  done
done
/usr/bin/python3 tests/generated_code/write_sources.py "${gen}" "${work}/inputs" "${channels}" \
  "${work}/forms.txt"
cp tests/generated_code/driver.h tests/generated_code/form_runner.h tests/generated_code/driver.c \
  "${gen}/"
echo "test-generated: ${#forms[@]} forms x 4 generated, $(($(wc -c <"${work}/inputs/phase.f64") / 8)) input values, $((SECONDS - started)) s"

# Memory of each board for picolibc's linker script: flash origin, RAM origin.
board_memory() {
  case "$1" in
    mps2-an505) echo "0x10000000 0x38000000" ;;
    *) echo "0x00000000 0x20000000" ;;
  esac
}

# build TARGET-NAME COMPILER FLAGS SOURCE-DIR OUTPUT-BINARY
build() {
  local name="$1" compiler="$2" flags="$3" sources="$4" binary="$5" extra=""
  if [ "${compiler}" = arm-none-eabi-gcc ]; then
    local runner board
    runner=$(target_field "${name}" 4)
    board="${runner##* }"
    read -r flash ram < <(board_memory "${board}")
    extra="--specs=picolibc.specs --oslib=semihost --crt0=semihost -Wl,--defsym=__flash=${flash}
           -Wl,--defsym=__flash_size=0x400000 -Wl,--defsym=__ram=${ram}
           -Wl,--defsym=__ram_size=0x200000"
  fi
  # Each NAME.c compiles in the runtime with the one kernel it calls: kq_unwrap_runtime.c is not
  # a unit of its own.
  local units
  units=$(find "${sources}" -maxdepth 1 -name '*.c' ! -name kq_unwrap_runtime.c | sort)
  # shellcheck disable=SC2086
  "${compiler}" ${common_flags} ${flags} ${extra} -I"${sources}" ${units} -o "${binary}"
}

# run TARGET-NAME BINARY OUTPUT-FILE
run() {
  local name="$1" binary="$2" output="$3" runner
  runner=$(target_field "${name}" 4)
  case "${runner}" in
    natively*) "${binary}" "${output}" ;;
    qemu-system-arm*)
      # Semihosting: the program's argv[1] is the host file it writes; its stderr arrives on
      # qemu's. No board answers within two minutes: a hang fails the run instead of the CI.
      timeout 120 qemu-system-arm -M "${runner##* }" -nographic -monitor none -serial none \
        -semihosting-config "enable=on,target=native,arg=${output}" -kernel "${binary}" ;;
    qemu-*) "${runner%% *}" "${binary}" "${output}" ;;
  esac
}

# target_field TARGET-NAME FIELD (1-based, of the targets table)
target_field() {
  local entry
  for entry in "${targets[@]}"; do
    [ "${entry%%|*}" = "$1" ] && { cut -d'|' -f"$2" <<<"${entry}"; return; }
  done
  return 1
}

# compare TARGET-NAME OUTPUT-FILE [ALLOWED]
compare() {
  /usr/bin/python3 tests/generated_code/compare_outputs.py "${work}/forms.txt" "${work}/kqhost" \
    "$2" "$1" "${3:-$(target_field "$1" 5)}"
}

status=0
for entry in "${targets[@]}"; do
  IFS='|' read -r name compiler flags runner allowed _ <<<"${entry}"
  start=${SECONDS}
  mkdir -p "${work}/${name}"
  if build "${name}" "${compiler}" "${flags}" "${gen}" "${work}/${name}/driver" &&
     run "${name}" "${work}/${name}/driver" "${work}/${name}/output.txt" &&
     compare "${name}" "${work}/${name}/output.txt"; then
    echo "    (${name}: $((SECONDS - start)) s)"
  else
    echo "test-generated: ${name} FAILED" >&2
    status=1
  fi
done

# The probes: each must fail as written, or the comparison above could not see what it guards.
echo "probes (each must fail):"
probe_failed() { echo "test-generated: PROBE PASSED, so the comparison proves nothing: $*" >&2; status=1; }

# Contraction on an FMA target, with the runtime's pragmas against it taken out of a copy.
fused="${work}/probe-contraction"
mkdir -p "${fused}/src"
cp "${gen}"/* "${fused}/src/"
sed -i -E '/^#pragma (STDC FP_CONTRACT|clang fp contract|GCC optimize)/d' "${fused}/src/"*.[ch]
if ! build aarch64 aarch64-linux-gnu-gcc "-static -ffp-contract=fast" "${fused}/src" \
       "${fused}/driver"; then
  probe_failed "aarch64 with -ffp-contract=fast did not build"
elif aarch64-linux-gnu-objdump -d "${fused}/driver" >"${fused}/driver.s" &&
     ! grep -qE $'\tfn?m(add|sub)\t' "${fused}/driver.s"; then
  probe_failed "aarch64 with -ffp-contract=fast has no fused multiply-add"
elif run aarch64 "${fused}/driver" "${fused}/output.txt" &&
     compare aarch64 "${fused}/output.txt" >"${fused}/compare.txt"; then
  probe_failed "aarch64 with contraction on matched kqhost run"
else
  echo "  contraction on aarch64 (-ffp-contract=fast): $(head -1 "${fused}/compare.txt" | sed 's/^aarch64: //'), as it must"
fi

# x87 arithmetic: FLT_EVAL_METHOD 2 must stop the build.
x87="${work}/probe-x87"
mkdir -p "${x87}"
if build i686 i686-linux-gnu-gcc "-static -mfpmath=387" "${gen}" "${x87}/driver" \
     2>"${x87}/build.txt"; then
  probe_failed "i686 with x87 arithmetic built"
elif ! grep -q 'error: #error' "${x87}/build.txt"; then
  probe_failed "i686 with x87 arithmetic failed without the guard: $(head -3 "${x87}/build.txt")"
else
  echo "  x87 on i686 (-mfpmath=387): stopped at the guard: $(grep -m1 'error: #error' "${x87}/build.txt" | sed 's/.*#error //')"
fi

# The Cortex-M7 with FPSCR.DN set.
dn="${work}/probe-default-nan"
mkdir -p "${dn}"
if ! build cortex-m7 arm-none-eabi-gcc "$(target_field cortex-m7 3) -DKQ_PROBE_DEFAULT_NAN" \
       "${gen}" "${dn}/driver"; then
  probe_failed "the default-NaN driver did not build"
elif ! run cortex-m7 "${dn}/driver" "${dn}/output.txt" 2>"${dn}/stderr.txt"; then
  probe_failed "the default-NaN run failed: $(cat "${dn}/stderr.txt")"
elif compare cortex-m7 "${dn}/output.txt" >"${dn}/compare.txt"; then
  probe_failed "the Cortex-M7 with default NaN matched kqhost run"
elif ! grep -q "refused the mode in $((4 * ${#forms[@]})) of $((4 * ${#forms[@]})) forms" \
       "${dn}/stderr.txt"; then
  probe_failed "NAME_initialize accepted default NaN: $(cat "${dn}/stderr.txt")"
else
  echo "  default NaN on the Cortex-M7: $(head -1 "${dn}/compare.txt" | sed 's/^cortex-m7: //'), as it must; $(sed 's/default-NaN probe: //' "${dn}/stderr.txt")"
fi

if [ "${status}" -ne 0 ]; then
  echo "test-generated: FAILED (files in ${work})" >&2
  exit 1
fi
echo "test-generated: ${#targets[@]} targets identical to kqhost run, 3 probes failed as they must, $((SECONDS - started)) s"
