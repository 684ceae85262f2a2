#!/usr/bin/env bash
# The runtime's own binary64 arithmetic (runtime/kq_soft_binary64.h) and its unwrap step, bit for
# bit against hardware binary64: natively over every operand class of
# tests/runtime/binary64_cases.h and RANDOM random pairs per operation (default 10^7), then on the
# Cortex-M boards whose binary64 is software (qemu-system-arm with semihosting): each board runs the
# classes and 10^5 random pairs and prints one digest a class, which must equal the digest of
# x86-64's own results. Then the probe that must fail: the same board program on the Cortex-M4F
# with the compiler's binary64 (GCC's support routines) must differ, or the boards prove nothing.
#
#   scripts/test-soft-binary64.sh [RANDOM]     e.g. 1000000000 for 10^9 pairs (about 4 minutes
#                                              a core; add --native-only to skip the boards)
# Needs gcc, and for the boards gcc-arm-none-eabi, picolibc-arm-none-eabi and qemu-system-arm.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
random="${1:-10000000}"
work="${root}/build/soft-binary64"
mkdir -p "${work}"
started=${SECONDS}

# board|qemu machine|cpu flags|flash origin|RAM origin
boards=(
  "cortex-m4f|mps2-an386|-mcpu=cortex-m4 -mfpu=fpv4-sp-d16 -mfloat-abi=hard|0x00000000|0x20000000"
  "cortex-m33|mps2-an505|-mcpu=cortex-m33 -mfpu=fpv5-sp-d16 -mfloat-abi=hard|0x10000000|0x38000000"
  "cortex-m3|mps2-an385|-mcpu=cortex-m3 -mfloat-abi=soft|0x00000000|0x20000000"
)
flags="-std=c99 -O2 -ffp-contract=off -Wall -Wextra -Werror -Iruntime -Itests/runtime"
source=tests/runtime/soft_binary64_test.c

# shellcheck disable=SC2086
gcc ${flags} -pedantic -mfpmath=sse "${source}" -o "${work}/native"
echo "natively, against x86-64's binary64:"
"${work}/native" "${random}" | sed 's/^/  /'
"${work}/native" --digests >"${work}/expected.txt"
[ "${2:-}" = --native-only ] && exit 0

./scripts/install-deps.sh gcc-arm-none-eabi picolibc-arm-none-eabi qemu-system-arm

# board_run BOARD-ENTRY OUTPUT [EXTRA FLAGS]: builds the board program and prints its digests.
board_run() {
  local board machine cpu flash ram
  IFS='|' read -r board machine cpu flash ram <<<"$1"
  # shellcheck disable=SC2086
  arm-none-eabi-gcc ${flags} ${cpu} ${3:-} -DKQ_BOARD_TEST --specs=picolibc.specs --oslib=semihost \
    --crt0=semihost -DPICOLIBC_INTEGER_PRINTF_SCANF -Wl,--defsym=__flash="${flash}" \
    -Wl,--defsym=__flash_size=0x400000 -Wl,--defsym=__ram="${ram}" \
    -Wl,--defsym=__ram_size=0x200000 "${source}" -o "$2.elf"
  # picolibc's semihosting stdout arrives on qemu's stderr.
  timeout 300 qemu-system-arm -M "${machine}" -nographic -monitor none -serial none \
    -semihosting-config enable=on,target=native -kernel "$2.elf" 2>&1 | tr -d '\r' >"$2.txt"
}

status=0
echo "on the boards, digests of every class against x86-64's:"
for entry in "${boards[@]}"; do
  board="${entry%%|*}"
  board_run "${entry}" "${work}/${board}"
  if diff "${work}/expected.txt" "${work}/${board}.txt" >"${work}/${board}.diff"; then
    echo "  ${board}: $(grep -c '^class' "${work}/expected.txt") classes identical ($(awk '/^class/ { n += $3 } END { print n }' "${work}/expected.txt") pairs), and the known sum"
  else
    echo "test-soft-binary64: ${board} DIFFERS:" >&2
    cat "${work}/${board}.diff" >&2
    status=1
  fi
done

echo "probe (must fail): the Cortex-M4F with the compiler's binary64 routines"
board_run "${boards[0]}" "${work}/probe-toolchain" -DKQ_BOARD_TOOLCHAIN
if diff "${work}/expected.txt" "${work}/probe-toolchain.txt" >/dev/null; then
  echo "test-soft-binary64: PROBE PASSED, so the boards' comparison proves nothing" >&2
  status=1
else
  echo "  differs in: $(diff "${work}/expected.txt" "${work}/probe-toolchain.txt" | awk '/^> class/ { printf "%s%s", sep, $3; sep = ", " } /^> sum/ { printf "%sthe known sum (%s)", sep, $7; sep = ", " }'), as it must"
fi
[ "${status}" -eq 0 ] || exit 1
echo "test-soft-binary64: passed, $((SECONDS - started)) s"
