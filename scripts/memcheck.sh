#!/usr/bin/env bash
# Runs kqhost simulations of the block under valgrind memcheck on an -O0 -g build: any memory
# error, or any leak, fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v valgrind >/dev/null || { apt-get update -qq && apt-get install -y -qq valgrind; }
cmake --preset memcheck >/dev/null
cmake --build --preset memcheck
kqhost=build/memcheck/bin/kqhost
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
memcheck() {
  valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect "$kqhost" "$@"
}
memcheck run --plot "$scratch/chirp.svg" examples/chirp.csv "$scratch/a.csv"
memcheck run --frame 64 --in-place --precision single --set-tolerance 3:1 --reset 5 \
  examples/chirp.csv "$scratch/b.csv"
memcheck run --shape vector --mode stateless examples/chirp.csv "$scratch/c.csv"
memcheck gxw --precision single
memcheck sizes --flag 0
if memcheck run --sample-time 0 examples/chirp.csv "$scratch/d.csv" 2>"$scratch/err"; then
  echo "memcheck: a continuous sample time was accepted" >&2; exit 1
fi
grep -q "discrete sample time" "$scratch/err"
echo "memcheck: no memory errors and no leaks"
