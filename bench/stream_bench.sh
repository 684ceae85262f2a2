#!/bin/bash
# Streaming benchmark of kqhost run: processor time (user + system) and peak memory of a
# frame-based run over raw .f64 files of phase data, against copying the same file with dd through
# a 1 MiB buffer in user space, as any program that transforms the bytes must. (cat may copy inside
# the kernel with copy_file_range, never through user memory, so it is no yardstick.)
#
#   bench/stream_bench.sh [BUILD_DIR] [SIZES_MIB] [REPEATS]
#
# BUILD_DIR (default build/bench) holds bin/kqhost, bin/kqphasefix2.so and bench/make_phase_file.
# SIZES_MIB (default "128 1024") are the input sizes; the peak memory of the run must not grow with
# them. Each time is the best of REPEATS runs (default 5) with warm page cache, the least
# disturbed on a busy machine; the input is read once before timing. Files go to
# $STREAM_BENCH_DIR (default: a folder in BUILD_DIR, on the disk the results would normally go to)
# and are deleted at the end, also on failure or ^C. Targets: kqhost within 1.25x the processor
# time of dd, peak RSS under 64 MiB.
set -euo pipefail

build=${1:-build/bench}
sizes=${2:-"128 1024"}
repeats=${3:-5}
kqhost=$build/bin/kqhost
maker=$build/bench/make_phase_file
for tool in "$kqhost" "$maker"; do
    if [[ ! -x $tool ]]; then
        echo "stream_bench: $tool not found; build the bench preset first" >&2
        exit 1
    fi
done

# GNU time measures the peak memory.
if [[ ! -x /usr/bin/time ]]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq time
fi

work=$(mktemp -d "${STREAM_BENCH_DIR:-$build}/stream_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# Room for an input, its copy and kqhost's output, plus a margin of 10%.
largest=0
for size in $sizes; do ((size > largest)) && largest=$size; done
need_kib=$((largest * 1024 * 3 * 11 / 10))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if ((free_kib < need_kib)); then
    echo "stream_bench: $work has $((free_kib / 1024)) MiB free, $((need_kib / 1024)) MiB needed" >&2
    exit 1
fi

# Arithmetic and comparisons on decimal numbers.
calc() { awk "BEGIN { print $* }"; }
holds() { awk "BEGIN { exit !($*) }"; }

# Processor seconds (user + system) of a command, its output discarded: perf's task clock where
# perf runs (to the microsecond), else GNU time's user + system (to the centisecond).
if perf stat -e task-clock -x, -o /dev/null true 2> /dev/null; then
    cpu_seconds() {
        perf stat -e task-clock -x, -o "$work/perf" "$@" > /dev/null
        awk -F, '$3 == "task-clock" { printf "%.4f\n", $1 / 1000 }' "$work/perf"
    }
else
    cpu_seconds() {
        /usr/bin/time -f '%U %S' -o "$work/time" "$@" > /dev/null
        tail -n 1 "$work/time" | awk '{ printf "%.4f\n", $1 + $2 }'
    }
fi

# Peak resident set of a command in KiB, from GNU time.
peak_kib() {
    /usr/bin/time -f '%M' -o "$work/rss" "$@" > /dev/null
    tail -n 1 "$work/rss"
}

best() { sort -g | head -n 1; }

echo "kqhost run --frame 4096 --channels 1 on raw .f64 phase data (0.3 rad/sample + noise)"
echo "machine: $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg); files in $work"
echo "processor time (user + system), best of $repeats runs"
echo
echo "| input | dd bs=1M copy | kqhost run | kqhost / dd | peak RSS |"
echo "|---|---:|---:|---:|---:|"
status=0
for size in $sizes; do
    input=$work/phase_${size}MiB.f64
    "$maker" "$input" $((size * 1024 * 1024 / 8))
    cat "$input" > /dev/null
    dd_cpu=() run_cpu=()
    for ((r = 0; r < repeats; ++r)); do
        sync
        dd_cpu+=("$(cpu_seconds dd if="$input" of="$work/copy.f64" bs=1M status=none)")
        rm -f "$work/copy.f64"
        sync
        run_cpu+=("$(cpu_seconds "$kqhost" run --frame 4096 --channels 1 "$input" "$work/out.f64")")
        rm -f "$work/out.f64"
    done
    dd=$(printf '%s\n' "${dd_cpu[@]}" | best)
    run=$(printf '%s\n' "${run_cpu[@]}" | best)
    sync
    rss=$(peak_kib "$kqhost" run --frame 4096 --channels 1 "$input" "$work/out.f64")
    rm -f "$work/out.f64" "$input"
    printf '| %s MiB | %.3f s | %.3f s | %.2fx | %.1f MiB |\n' "$size" "$dd" "$run" \
        "$(calc "$run / $dd")" "$(calc "$rss / 1024")"
    if holds "$rss > 64 * 1024"; then
        echo "  target missed: peak RSS above 64 MiB" && status=1
    fi
    if holds "$run > 1.25 * $dd"; then
        echo "  target missed: kqhost takes more than 1.25x the processor time of dd bs=1M"
        status=1
    fi
done
exit $status
