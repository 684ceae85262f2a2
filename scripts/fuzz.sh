#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`: clang, the whole tree with AddressSanitizer and
# UndefinedBehaviorSanitizer), replays every seed corpus in fuzz/corpus/, then fuzzes each target
# for SECONDS (default 20) on a scratch copy of its corpus, so the repository is never modified.
# Exits non-zero on the first crash, sanitizer report, leak, timeout or out-of-memory, printing the
# target and the path of the input that reproduces it.
#
#   scripts/fuzz.sh            20 s per target (what CI runs)
#   scripts/fuzz.sh 600        10 minutes per target; any number of seconds works
#
# Reproducing a finding: run the target on the reproducer, e.g.
#   build/fuzz/fuzz/fuzz_host_dispatch build/fuzz/findings/fuzz_host_dispatch/crash-1a2b...
# fuzz_host_dispatch prints every host operation with KQ_FUZZ_TRACE=1 in the environment, and
# KQ_FUZZ_ORDERLY_HOST=1 limits it to hosts that keep the host's order of propagation. Once the
# fault is fixed, add the reproducer to fuzz/corpus/<target>/ (named after what it does): the
# replay step then keeps it fixed.
#
# Reproducers of the fuzzing step are kept in build/fuzz/findings/<target>/; the corpus a run grew
# is thrown away with its scratch folder. fuzz/make_corpus.py writes the seeds.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-20}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: scripts/fuzz.sh [SECONDS_PER_TARGET]" >&2
  exit 2
fi

targets=(fuzz_command_line fuzz_host_dispatch fuzz_record_writer fuzz_kernels fuzz_signal_reader)
bin_dir=build/fuzz/fuzz
findings=build/fuzz/findings

echo "== fuzz: configure and build (clang, sanitizers, libFuzzer)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -- -j2

symbolizer="$(command -v llvm-symbolizer || true)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}${symbolizer:+:external_symbolizer_path=$symbolizer}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

# Per input: 10 s before it counts as a hang; 2 GiB of memory (the machine is shared).
limits=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048)

dict_args() {
  local dict="fuzz/dict/$1.dict"
  if [ -f "$dict" ]; then
    echo "-dict=$dict"
  fi
}

# The input that made the run fail: the last one started (replay) or the artifact written.
report_failure() {
  local target="$1" log="$2" what="$3"
  local reproducer
  reproducer="$( (grep -o "Test unit written to .*" "$log" || true) | tail -1 |
    sed 's/^Test unit written to //')"
  if [ -z "$reproducer" ]; then
    reproducer="$( (grep -o "^Running: .*" "$log" || true) | tail -1 | sed 's/^Running: //')"
  fi
  echo "!! $target: $what failed" >&2
  grep -E "ERROR|SUMMARY|^fuzz_[a-z_]+: " "$log" | head -5 >&2 || true
  echo "!! reproducer: ${reproducer:-(none written; see $log)}" >&2
  echo "!! log: $log" >&2
}

scratch="$(mktemp -d "${TMPDIR:-/tmp}/kq-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$findings"
logs="$findings/logs"
mkdir -p "$logs"

echo "== fuzz: replay the seed corpora"
for target in "${targets[@]}"; do
  seeds=(fuzz/corpus/"$target"/*)
  log="$logs/$target.replay.log"
  if ! "$bin_dir/$target" "${limits[@]}" "${seeds[@]}" >"$log" 2>&1; then
    report_failure "$target" "$log" "replay of fuzz/corpus/$target"
    exit 1
  fi
  echo "   $target: ${#seeds[@]} seeds pass"
done

echo "== fuzz: ${seconds} s per target"
summary=()
for target in "${targets[@]}"; do
  corpus="$scratch/$target"
  mkdir -p "$corpus" "$findings/$target"
  cp fuzz/corpus/"$target"/* "$corpus"/
  log="$logs/$target.fuzz.log"
  # shellcheck disable=SC2046
  if ! "$bin_dir/$target" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$findings/$target/" $(dict_args "$target") "$corpus" >"$log" 2>&1; then
    report_failure "$target" "$log" "fuzzing"
    exit 1
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
  summary+=("$(printf '   %-20s %10s runs %8s exec/s' "$target" "$runs" "$rate")")
  echo "${summary[-1]}"
done
echo "== fuzz: no findings in ${#targets[@]} targets (${seconds} s each)"
