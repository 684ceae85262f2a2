#!/bin/bash
# Streaming benchmark of kqhost run: wall time and peak memory of a frame-based run over raw .f64
# files of phase data, against copying the same file with cat (which may copy inside the kernel,
# with copy_file_range) and with dd through a 128 KiB buffer in user space, as kqhost must.
#
#   bench/stream_bench.sh [BUILD_DIR] [SIZES_MIB] [REPEATS]
#
# BUILD_DIR (default build/bench) holds bin/kqhost, bin/kqphasefix2.so and bench/make_phase_file.
# SIZES_MIB (default "64 1024") are the input sizes; the peak memory of the run must not grow with
# them. Each timing is the median of REPEATS runs (default 3) with warm page cache; the input is
# copied once before timing. Files go to $STREAM_BENCH_DIR (default: a folder in BUILD_DIR, on the
# disk the results would normally go to) and are deleted at the end, also on failure or ^C.
set -euo pipefail

build=${1:-build/bench}
sizes=${2:-"64 1024"}
repeats=${3:-3}
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

# Wall seconds of a command (its output discarded).
wall() {
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    calc "$end - $start"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Peak resident set of a command in KiB, from GNU time.
peak_kib() {
    /usr/bin/time -f '%M' -o "$work/rss" "$@" > /dev/null
    tail -n 1 "$work/rss"
}

echo "kqhost run --frame 4096 --channels 1 on raw .f64 phase data (0.3 rad/sample + noise)"
echo "machine: $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg); files in $work"
echo
echo "| input | cat > /dev/null | cat > copy | dd bs=128k copy | kqhost run | kqhost / cat copy | kqhost / dd copy | peak RSS |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
status=0
for size in $sizes; do
    input=$work/phase_${size}MiB.f64
    "$maker" "$input" $((size * 1024 * 1024 / 8))
    cat "$input" > /dev/null
    null_times=() copy_times=() dd_times=() run_times=()
    for ((r = 0; r < repeats; ++r)); do
        sync
        null_times+=("$(wall cat "$input")")
        sync
        # shellcheck disable=SC2016 # the inner shell expands $1 and $2
        copy_times+=("$(wall sh -c 'cat "$1" > "$2"' sh "$input" "$work/copy.f64")")
        rm -f "$work/copy.f64"
        sync
        dd_times+=("$(wall dd if="$input" of="$work/copy.f64" bs=128k status=none)")
        rm -f "$work/copy.f64"
        sync
        run_times+=("$(wall "$kqhost" run --frame 4096 --channels 1 "$input" "$work/out.f64")")
        rm -f "$work/out.f64"
    done
    null=$(printf '%s\n' "${null_times[@]}" | median)
    copy=$(printf '%s\n' "${copy_times[@]}" | median)
    dd=$(printf '%s\n' "${dd_times[@]}" | median)
    run=$(printf '%s\n' "${run_times[@]}" | median)
    sync
    rss=$(peak_kib "$kqhost" run --frame 4096 --channels 1 "$input" "$work/out.f64")
    rm -f "$work/out.f64" "$input"
    printf '| %s MiB | %.3f s | %.3f s | %.3f s | %.3f s | %.2fx | %.2fx | %.1f MiB |\n' "$size" \
        "$null" "$copy" "$dd" "$run" "$(calc "$run / $copy")" "$(calc "$run / $dd")" \
        "$(calc "$rss / 1024")"
    if holds "$rss > 64 * 1024"; then
        echo "  target missed: peak RSS above 64 MiB" && status=1
    fi
    if holds "$run > 1.5 * $copy"; then
        echo "  target missed: kqhost takes more than 1.5x the time of cat copying the file"
        status=1
    fi
done
exit $status
