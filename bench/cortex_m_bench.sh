#!/usr/bin/env bash
# Speed and size of the generated code on the Cortex-M boards: instructions per sample under
# `qemu-system-arm -icount shift=0` (bench/cortex_m_bench.c counts them with SysTick, calibrated on
# a loop of known length), flash (the image with one form less the image without it: the
# generated code, the runtime and any library routine they pull in) and RAM (the state
# struct; the generated code and the runtime have no static data, which this checks).
#
#   bench/cortex_m_bench.sh [SAMPLES]     (default 4096)
#   FPSCR=0x01000000 bench/cortex_m_bench.sh
#                                         the same with the caller's FPSCR set so (here
#                                         flush-to-zero): the cost of the mode set and put back
#
# Data, one channel from a fixed seed: the benchmark's typical signal (bench/unwrap_bench.cpp),
# wrapped phase, atan2(sin, cos) of a ramp of 0.3 rad per sample plus Gaussian noise of 0.05 rad;
# and the worst case, a wrap at every sample: samples alternating near +3 and -3 rad (3 less the
# magnitude of that noise), so that every step runs in full and takes a correction of 2 pi.
# Forms: running, 64-sample frames and one sample per call, double and single. Goals, for frames
# in both precisions: on the Cortex-M4F and M33 (binary64 in the runtime's own arithmetic) at
# most 120 instructions per sample on the typical signal and 450 in the worst case; on the
# Cortex-M7 (binary64 in the FPU) 25 on the typical signal; flash at most 4 KB, and no binary64
# routine of the compiler's library linked. Exits 1 when a goal is missed. Needs
# build/release/bin/kqhost (or KQHOST=path), gcc-arm-none-eabi, picolibc-arm-none-eabi and
# qemu-system-arm.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
samples="${1:-4096}"
kqhost="${KQHOST:-${root}/build/release/bin/kqhost}"
work="${root}/build/cortex-m-bench"
rm -rf "${work}"
mkdir -p "${work}/gen"

# board name|qemu machine|cpu flags|flash origin|RAM origin|instruction goals per sample
# (typical, worst case)
boards=(
  "cortex-m4f|mps2-an386|-mcpu=cortex-m4 -mfpu=fpv4-sp-d16 -mfloat-abi=hard|0x00000000|0x20000000|120|450"
  "cortex-m33|mps2-an505|-mcpu=cortex-m33 -mfpu=fpv5-sp-d16 -mfloat-abi=hard|0x10000000|0x38000000|120|450"
  "cortex-m7|mps2-an500|-mcpu=cortex-m7 -mfpu=fpv5-d16 -mfloat-abi=hard|0x00000000|0x20000000|25|-"
)
# name|samples per call|kqhost generate options
forms=(
  "kqb_frame_dbl|64|--frame 64 --precision double"
  "kqb_frame_sgl|64|--frame 64 --precision single"
  "kqb_sample_dbl|1|--precision double"
  "kqb_sample_sgl|1|--precision single"
)
flash_goal=4096

/usr/bin/python3 - "${work}/gen/kqb_inputs.h" "${samples}" <<'PY'
import math, random, struct, sys
path, samples = sys.argv[1], int(sys.argv[2])
rng = random.Random(20240601)
phase, typical, worst = rng.uniform(-3.0, 3.0), [], []
for index in range(samples):
    phase = math.remainder(phase + 0.3 + rng.gauss(0.0, 0.05), 2 * math.pi)
    typical.append(math.atan2(math.sin(phase), math.cos(phase)))
    worst.append((3.0 - abs(rng.gauss(0.0, 0.05))) * (1 if index % 2 else -1))
with open(path, 'w') as out:
    out.write(f'#include <stdint.h>\n#define KQB_SAMPLES {samples}\n')
    for name, values in (('input', typical), ('worst', worst)):
        bits64 = [struct.unpack('<Q', struct.pack('<d', v))[0] for v in values]
        bits32 = [struct.unpack('<I', struct.pack('<f', v))[0] for v in values]
        out.write(f'static const uint64_t kqb_{name}64[] = {{' + ','.join(f'0x{v:016x}ull' for v in bits64) + '};\n')
        out.write(f'static const uint32_t kqb_{name}32[] = {{' + ','.join(f'0x{v:08x}u' for v in bits32) + '};\n')
PY

for entry in "${forms[@]}"; do
  IFS='|' read -r name rows options <<<"${entry}"
  # shellcheck disable=SC2086
  "${kqhost}" generate --channels 1 --mode running ${options} --name "${name}" --output-dir "${work}/gen"
done

common="-std=c99 -O2 -ffp-contract=off -Wall -Wextra -Werror --specs=picolibc.specs --oslib=semihost
        --crt0=semihost -DPICOLIBC_INTEGER_PRINTF_SCANF -I${work}/gen"

# image BOARD-FLAGS FLASH RAM OUTPUT [FORM ROWS]: links the bench with one form (NAME.c, which
# compiles in the runtime with the one kernel it calls), or with none. SPLIT=1 adds per-function
# sections, as many embedded builds link, so that the linker drops whatever is not called.
image() {
  local flags="$1" flash="$2" ram="$3" output="$4" name="${5:-}" rows="${6:-}" sources
  sources="${root}/bench/cortex_m_bench.c"
  local defines="-DKQB_NONE" split=""
  if [ -n "${name}" ]; then
    defines="-DKQB_NAME=${name} -DKQB_HEADER=\"${name}.h\" -DKQB_ROWS=${rows} ${FPSCR:+-DKQB_FPSCR=${FPSCR}}"
    sources="${sources} ${work}/gen/${name}.c"
  fi
  [ "${SPLIT:-0}" = 1 ] && split="-ffunction-sections -fdata-sections"
  # shellcheck disable=SC2086
  arm-none-eabi-gcc ${common} ${split} ${flags} ${defines} -Wl,--defsym=__flash="${flash}" \
    -Wl,--defsym=__flash_size=0x400000 -Wl,--defsym=__ram="${ram}" \
    -Wl,--defsym=__ram_size=0x200000 ${sources} -o "${output}"
}

# flash_bytes IMAGE: what the image keeps in flash (code, constants, initial data).
flash_bytes() {
  arm-none-eabi-size "$1" | awk 'NR == 2 { print $1 + $2 }'
}

run() {
  timeout 120 qemu-system-arm -M "$1" -icount shift=0 -nographic -monitor none -serial none \
    -semihosting-config enable=on,target=native -kernel "$2" 2>&1
}

missed=0
printf '%-11s %-11s %8s %5s %8s %5s %7s %8s %6s  %s\n' board form typical goal worst goal \
  "flash B" "split B" "RAM B" note
calibrations=()
for board_entry in "${boards[@]}"; do
  IFS='|' read -r board machine flags flash ram goal worst_goal <<<"${board_entry}"
  image "${flags}" "${flash}" "${ram}" "${work}/${board}_none.elf"
  SPLIT=1 image "${flags}" "${flash}" "${ram}" "${work}/${board}_none_split.elf"
  calibrations+=("${board} $(run "${machine}" "${work}/${board}_none.elf" | awk '/^calibration/ { printf "%.3f", $2 / 1000 }')")
  for entry in "${forms[@]}"; do
    IFS='|' read -r name rows _ <<<"${entry}"
    elf="${work}/${board}_${name}.elf"
    image "${flags}" "${flash}" "${ram}" "${elf}" "${name}" "${rows}"
    SPLIT=1 image "${flags}" "${flash}" "${ram}" "${elf%.elf}_split.elf" "${name}" "${rows}"
    out=$(run "${machine}" "${elf}")
    ipt=$(awk '/^calibration/ { print $2 }' <<<"${out}")
    read -r _ _ count ticks worst_ticks state <<<"$(grep '^form' <<<"${out}")" || {
      echo "cortex_m_bench: ${board} ${name}: ${out}" >&2
      exit 1
    }
    per_sample=$(awk -v t="${ticks}" -v i="${ipt}" -v n="${count}" 'BEGIN { printf "%.1f", t * i / 1000 / n }')
    worst=$(awk -v t="${worst_ticks}" -v i="${ipt}" -v n="${count}" 'BEGIN { printf "%.1f", t * i / 1000 / n }')
    bytes=$(( $(flash_bytes "${elf}") - $(flash_bytes "${work}/${board}_none.elf") ))
    split_bytes=$(( $(flash_bytes "${elf%.elf}_split.elf") -
                    $(flash_bytes "${work}/${board}_none_split.elf") ))
    note=""
    shown_goal="-"
    shown_worst_goal="-"
    if [ "${rows}" != 1 ]; then
      shown_goal="${goal}"
      shown_worst_goal="${worst_goal}"
      if [ "${goal}" != "-" ] && awk -v p="${per_sample}" -v g="${goal}" 'BEGIN { exit !(p > g) }'; then
        note="MISSES the typical goal"
        missed=1
      fi
      if [ "${worst_goal}" != "-" ] && awk -v p="${worst}" -v g="${worst_goal}" 'BEGIN { exit !(p > g) }'; then
        note="${note:+${note}; }MISSES the worst-case goal"
        missed=1
      fi
    fi
    # The compiler's binary64 routines must not be linked where the runtime has its own.
    linked=$(arm-none-eabi-nm "${elf}" | awk '$3 ~ /^__aeabi_(d|cd|f2d|i2d|ui2d|l2d|ul2d)/ { printf "%s%s", sep, $3; sep = "," }')
    if [ -n "${linked}" ] && [ "${board}" != cortex-m7 ]; then
      note="${note:+${note}; }links ${linked}"
      missed=1
    fi
    if [ "${bytes}" -gt "${flash_goal}" ]; then
      note="${note:+${note}; }MISSES the flash goal"
      missed=1
    fi
    printf '%-11s %-11s %8s %5s %8s %5s %7s %8s %6s  %s\n' "${board}" "${name#kqb_}" "${per_sample}" \
      "${shown_goal}" "${worst}" "${shown_worst_goal}" "${bytes}" "${split_bytes}" "${state}" "${note}"
  done
done

# No static data in the generated code or the runtime: RAM is the caller's state struct.
static_bytes=0
for source in "${work}"/gen/kqb_*.c; do
  arm-none-eabi-gcc ${common} -mcpu=cortex-m4 -mfpu=fpv4-sp-d16 -mfloat-abi=hard -c "${source}" \
    -o "${work}/object.o"
  static_bytes=$(( static_bytes + $(arm-none-eabi-size "${work}/object.o" | awk 'NR == 2 { print $2 + $3 }') ))
done
echo "static data (.data + .bss) of the generated code and the runtime: ${static_bytes} bytes"
[ "${static_bytes}" -eq 0 ] || missed=1
echo "typical / worst: instructions per sample on the typical signal / with a wrap at every sample:"
echo "SysTick ticks under qemu -icount shift=0 times the instructions per tick of a loop of known length: $(IFS=,; echo "${calibrations[*]}" | sed 's/,/, /g')"
echo "flash B: the image with the form less the image without it (generated code, runtime and any"
echo "library routine they pull in; goal ${flash_goal}); split B: the same with per-function sections;"
echo "RAM B: the state struct"
exit "${missed}"
