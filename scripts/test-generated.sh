#!/usr/bin/env bash
# Generated code against the simulation, bit for bit, on twelve processors: for every form in the
# table below (the twelve kernels; frames, sample-based shapes, in place; resets and tolerance
# changes mid-run) it runs `kqhost run` and `kqhost generate` with the same options on inputs full
# of hard values and of the classes that software floating point gets wrong
# (scripts/hard-phase-inputs.py --runs --classes), builds one program per target from all the
# generated code and tests/generated_code/, runs it (Linux targets under qemu-user, Cortex-M
# boards under qemu-system-arm with semihosting) and compares every output value with kqhost's.
# The only differences allowed are the NaN notes of the target's row (see
# tests/generated_code/compare_outputs.py), the same table as the README's. Every target's outputs,
# NaNs normalised, must hash to one SHA-256: kqhost's, which the README states.
#
#   scripts/test-generated.sh               install what is missing, compare, run the probes
#   scripts/test-generated.sh --readme-table
#                                           print the README's table of targets from this one
#
# Each program then runs every form again under each floating-point mode of its processor's table
# (tests/generated_code/driver.c: flush-to-zero, denormals-are-zero, default NaN, each directed
# rounding, a combination), set before NAME_initialize: the bits must be the default mode's.
#
# Then the known-answer self-tests that kqhost generate --self-test writes, built and run natively
# and on the Cortex-M boards. Then probes that must fail, or the comparison proves nothing:
# aarch64 built with contraction on (-ffp-contract=fast, the runtime's pragma against it removed)
# must differ; i686 with x87 arithmetic (-mfpmath=387) must stop at the runtime's FLT_EVAL_METHOD guard; x86-64, aarch64 and
# the Cortex-M7 built with the mode left to the caller (KQ_FP_MODE_UNMANAGED) must differ under
# every mode of the table, and NAME_initialize must refuse each; a processor the runtime does not
# know must stop at the mode guard unless KQ_FP_MODE_UNMANAGED is defined.
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
  "cortex-m0|arm-none-eabi-gcc|-mcpu=cortex-m0 -mfloat-abi=soft|qemu-system-arm -M microbit|none|no FPU: binary64 in the runtime's own integer arithmetic (NaNs as x86-64 makes them); 256 KiB of flash, 16 KiB of RAM"
  "cortex-m3|arm-none-eabi-gcc|-mcpu=cortex-m3 -mfloat-abi=soft|qemu-system-arm -M mps2-an385|none|no FPU: binary64 in the runtime's own integer arithmetic (NaNs as x86-64 makes them)"
  "cortex-m55|arm-none-eabi-gcc|-mcpu=cortex-m55 -mfloat-abi=hard|qemu-system-arm -M mps3-an547|nan-sign|binary64 in the FPU"
)
common_flags="-std=c99 -O2 -ffp-contract=off -Wall -Wextra -Werror"

# name|options of both kqhost run and kqhost generate (the events only of run). Each form is
# generated copying and in place, in double and in single: 24 programs' worth of code, which
# cover the twelve kernels (stateless; running per channel: frames and one-dimensional vectors;
# running per element: rows and columns). Cutoffs 0, pi, 1e-15 (the smallest calm one) and 1e-16.
# The running forms are reset where the arithmetic classes start (row 800, `steps`): a huge
# correction left by the hard values before would hide their outputs' errors in its rounding.
forms=(
  "frame_running|--frame 7 --tolerance 1e-16 --set-tolerance 20:3.141592653589793 --reset 40 --set-tolerance 60:0 --reset 90 --reset 115"
  "row_running|--shape row --tolerance 3.141592653589793 --set-tolerance 200:1e-15 --reset 300 --set-tolerance 400:0 --reset 500 --set-tolerance 600:1e-16 --reset 800"
  "column_running|--shape column --tolerance 1e-15 --reset 100 --set-tolerance 500:-3.141592653589793 --reset 800"
  "vector_running|--shape vector --tolerance 0 --set-tolerance 150:-2.5 --reset 250 --set-tolerance 350:1e-16 --reset 700 --reset 800"
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
  --channels "${channels}" --runs --classes

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

# The one hash of the outputs, and the README's statement of it.
outputs_hash=$(/usr/bin/python3 tests/generated_code/compare_outputs.py --hash "${work}/forms.txt" \
                 "${work}/kqhost")
# shellcheck disable=SC2016 # the backquotes are the README's, not a command
readme_hash=$(sed -n 's/^<!-- outputs-hash --> *`\([0-9a-f]*\)`.*/\1/p' README.md)
echo "test-generated: kqhost run's outputs hash (NaNs normalised) ${outputs_hash}"
if [ "${readme_hash}" != "${outputs_hash}" ]; then
  echo "test-generated: README.md states the outputs hash '${readme_hash}', kqhost run's is" \
    "${outputs_hash} (the line starting <!-- outputs-hash -->)" >&2
  exit 1
fi
echo "test-generated: ${#forms[@]} forms x 4 generated, $(($(wc -c <"${work}/inputs/phase.f64") / 8)) input values, $((SECONDS - started)) s"

# Memory of each board for picolibc's linker script: flash origin and size, RAM origin and size.
board_memory() {
  case "$1" in
    mps2-an505) echo "0x10000000 0x400000 0x38000000 0x200000" ;;
    mps3-an547) echo "0x00000000 0x80000 0x20000000 0x80000" ;;
    microbit) echo "0x00000000 0x40000 0x20000000 0x4000" ;;
    *) echo "0x00000000 0x400000 0x20000000 0x200000" ;;
  esac
}

# build TARGET-NAME COMPILER FLAGS SOURCE-DIR OUTPUT-BINARY
build() {
  local name="$1" compiler="$2" flags="$3" sources="$4" binary="$5" extra=""
  if [ "${compiler}" = arm-none-eabi-gcc ]; then
    local runner board
    runner=$(target_field "${name}" 4)
    board="${runner##* }"
    read -r flash flash_size ram ram_size < <(board_memory "${board}")
    extra="--specs=picolibc.specs --oslib=semihost --crt0=semihost -Wl,--defsym=__flash=${flash}
           -Wl,--defsym=__flash_size=${flash_size} -Wl,--defsym=__ram=${ram}
           -Wl,--defsym=__ram_size=${ram_size}"
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
reproduced=0
for entry in "${targets[@]}"; do
  IFS='|' read -r name compiler flags runner allowed why <<<"${entry}"
  start=${SECONDS}
  mkdir -p "${work}/${name}"
  if build "${name}" "${compiler}" "${flags}" "${gen}" "${work}/${name}/driver" &&
     run "${name}" "${work}/${name}/driver" "${work}/${name}/output.txt" &&
     compare "${name}" "${work}/${name}/output.txt" | tee "${work}/${name}/compare.txt" &&
     grep -q "outputs hash ${outputs_hash}\$" "${work}/${name}/compare.txt"; then
    echo "    (${name}: reproduces the hash, $((SECONDS - start)) s)"
    reproduced=$((reproduced + 1))
  else
    echo "test-generated: ${name} FAILED" >&2
    if [[ "${why}" == *"libgcc's software routines"* ]]; then
      echo "test-generated: ${name}'s binary64 is libgcc's software arithmetic, which misrounds" \
        "some sums (exponents 33 apart, the result in the binade below); the generated code" \
        "must not call it" >&2
    fi
    status=1
  fi
done

# The known-answer self-tests (kqhost generate --self-test) of two forms, natively and on the
# Cortex-M boards, as a user runs them on a board: the report comes through the program's output.
self_test_forms=(
  "kqs_frame_running_dbl|--precision double --frame 7 --channels 3"
  "kqs_frame_stateless_sgl|--precision single --mode stateless --frame 16 --channels 2"
)
self_test_targets=(x86-64 cortex-m0 cortex-m3 cortex-m4f cortex-m33 cortex-m7 cortex-m55)
self_tests="${work}/self-test"
mkdir -p "${self_tests}/src"
: >"${self_tests}/src/self_tests.inc"
for entry in "${self_test_forms[@]}"; do
  # shellcheck disable=SC2086
  "${kqhost}" generate --self-test --name "${entry%%|*}" --output-dir "${self_tests}/src" \
    ${entry#*|}
  echo "KQ_SELF_TEST(${entry%%|*})" >>"${self_tests}/src/self_tests.inc"
done
cp tests/generated_code/self_test_main.c "${self_tests}/src/"
echo "self-tests (kqhost generate --self-test, ${#self_test_forms[@]} models):"
for name in "${self_test_targets[@]}"; do
  IFS='|' read -r _ compiler flags _ _ why < <(printf '%s\n' "${targets[@]}" | grep "^${name}|")
  if build "${name}" "${compiler}" "${flags}" "${self_tests}/src" "${self_tests}/${name}" &&
     run "${name}" "${self_tests}/${name}" "${self_tests}/${name}.unused" \
       >"${self_tests}/${name}.txt" 2>&1 &&
     [ "$(grep -c ' self-test: passed' "${self_tests}/${name}.txt")" -eq "${#self_test_forms[@]}" ]
  then
    echo "  ${name}:"
    sed 's/^/    /' "${self_tests}/${name}.txt"
  else
    echo "test-generated: ${name}: self-test FAILED:" >&2
    sed 's/^/  /' "${self_tests}/${name}.txt" >&2
    if [[ "${why}" == *"libgcc's software routines"* ]]; then
      echo "  (${name}'s binary64 is libgcc's software arithmetic, which misrounds some sums)" >&2
    fi
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
elif ! grep -q 'error: #error .*FLT_EVAL_METHOD' "${x87}/build.txt"; then
  probe_failed "i686 with x87 arithmetic failed without the guard: $(head -3 "${x87}/build.txt")"
else
  echo "  x87 on i686 (-mfpmath=387): stopped at the guard: $(grep -m1 'error: #error .*FLT_EVAL_METHOD' "${x87}/build.txt" | sed 's/.*#error //')"
fi

# A processor whose mode the runtime cannot reach (x86-64 with its name taken away) must stop at
# the mode guard, and build once the program leaves the mode to itself (KQ_FP_MODE_UNMANAGED).
unknown="${work}/probe-unknown-processor"
mkdir -p "${unknown}"
unknown_model="${gen}/$(head -1 "${work}/forms.txt" | cut -d'|' -f1).c"
if gcc -std=c99 -ffreestanding -U__x86_64__ -fsyntax-only -I"${gen}" "${unknown_model}" \
     2>"${unknown}/build.txt"; then
  probe_failed "a processor the runtime does not know built without KQ_FP_MODE_UNMANAGED"
elif ! grep -q 'error: #error' "${unknown}/build.txt" ||
     grep -v 'KQ_FP_MODE_UNMANAGED' "${unknown}/build.txt" | grep -q 'error:'; then
  probe_failed "a processor the runtime does not know failed without the mode guard: $(head -3 "${unknown}/build.txt")"
elif ! gcc -std=c99 -ffreestanding -U__x86_64__ -DKQ_FP_MODE_UNMANAGED -fsyntax-only -I"${gen}" \
       "${unknown_model}" 2>>"${unknown}/build.txt"; then
  probe_failed "KQ_FP_MODE_UNMANAGED did not let an unknown processor build: $(tail -3 "${unknown}/build.txt")"
else
  echo "  an unknown processor: stopped at the mode guard, built with KQ_FP_MODE_UNMANAGED"
fi

# The mode left to the caller: every mode of the driver's table must move the bits, and
# NAME_initialize must see it (on the Cortex-M7 this holds its FPSCR check to the FZ and DN bits).
mode_probes=(x86-64 aarch64 cortex-m7)
for name in "${mode_probes[@]}"; do
  probe="${work}/probe-mode-${name}"
  mkdir -p "${probe}"
  if ! build "${name}" "$(target_field "${name}" 2)" \
         "$(target_field "${name}" 3) -DKQ_FP_MODE_UNMANAGED" "${gen}" "${probe}/driver"; then
    probe_failed "${name} with the mode left to the caller did not build"
  elif ! run "${name}" "${probe}/driver" "${probe}/output.txt"; then
    probe_failed "${name} with the mode left to the caller did not run"
  else
    # mode NAME forms N differing D refused R lost L: each mode must have D > 0 and R = N.
    summary=$(awk '/^mode / { modes++; if ($3 != "forms" || $6 == 0 || $8 != $4) kept = kept " " $2
                              else moved = moved sprintf(" %s %d/%d", $2, $6, $4) }
                   END { if (modes == 0) kept = " (no modes ran)"; print (kept ? "KEPT" kept : moved) }' \
              "${probe}/output.txt")
    if [[ "${summary}" == KEPT* ]]; then
      probe_failed "${name} with the mode left to the caller kept its bits or was not refused: ${summary#KEPT }"
    else
      echo "  the mode left to the caller on ${name}: forms differing under${summary}; NAME_initialize refused each mode, as it must"
    fi
  fi
done

if [ "${status}" -ne 0 ]; then
  echo "test-generated: FAILED (files in ${work})" >&2
  exit 1
fi
echo "test-generated: ${reproduced} of ${#targets[@]} targets identical to kqhost run in every mode" \
  "(outputs hash ${outputs_hash}), the self-tests passed on ${#self_test_targets[@]} targets," \
  "$((3 + ${#mode_probes[@]})) probes failed as they must, $((SECONDS - started)) s"
