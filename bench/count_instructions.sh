#!/usr/bin/env bash
# Counts the instructions the aarch64 kernels execute per sample under qemu-aarch64, scalar against
# Advanced SIMD, on one channel of N samples (default 20000). Timing under an emulator means
# nothing; the counts come from qemu's log of every translated block and every block it runs
# (-d in_asm,exec,nochain), summed over the blocks of the unwrap functions. Needs the aarch64 build
# (scripts/test-cross.sh aarch64, or cmake --build --preset aarch64).
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-20000}
kernels=build/aarch64/kernels/libkq_kernels.a
[ -e "$kernels" ] || { echo "count_instructions: build the aarch64 preset first" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
aarch64-linux-gnu-g++ -O2 -std=c++20 -static -I. bench/kernel_call.cpp "$kernels" \
  -o "$scratch/kernel_call"

# Instructions executed inside functions whose names contain "unwrap", from a qemu log.
count() {
  /usr/bin/python3 - "$1" <<'PY'
import re, sys
blocks, executed, start, name = {}, {}, None, ""
for line in open(sys.argv[1], errors="replace"):
    if line.startswith("IN:"):
        name, start = line[3:].strip(), None
    elif m := re.match(r"0x([0-9a-f]+):\s", line):
        if start is None:
            start = int(m.group(1), 16)
            blocks[start] = [name, 0]
        blocks[start][1] += 1
    elif line.startswith("Trace"):
        pc = int(re.search(r"/([0-9a-f]{16})/", line).group(1), 16)
        executed[pc] = executed.get(pc, 0) + 1
    elif not line.strip():
        start = None
print(sum(times * blocks[pc][1] for pc, times in executed.items()
          if pc in blocks and "unwrap" in blocks[pc][0]))
PY
}

printf "%-36s %8s %8s %6s\n" "kernel, data" scalar neon ratio
for run in "stateless-dbl 0.3 typical" "stateless-sgl 0.3 typical" "frame-dbl 0.3 typical" \
           "element-dbl 0.3 typical" "element-sgl 0.3 typical" "stateless-dbl 0.05 rare-wraps" \
           "stateless-dbl 2.5 dense-wraps"; do
  set -- $run
  samples=$n
  case $1 in element-*) samples=$((2 * n)) ;; esac
  declare -A per
  for level in scalar neon; do
    qemu-aarch64 -L /usr/aarch64-linux-gnu -d in_asm,exec,nochain -D "$scratch/log" \
      "$scratch/kernel_call" "$level" "$1" "$2" "$n" >/dev/null
    per[$level]=$(count "$scratch/log")
  done
  awk -v name="$1, $3" -v s="${per[scalar]}" -v v="${per[neon]}" -v m="$samples" \
    'BEGIN { printf "%-36s %8.2f %8.2f %5.2fx\n", name, s / m, v / m, s / v }'
done
echo "(instructions per sample; element kernels: two calls of N elements)"
