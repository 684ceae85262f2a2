#!/usr/bin/env bash
# Builds kqhost and the block, then unwraps the shipped example: a two-channel FM chirp.
# Writes out/chirp_unwrapped.csv and the picture out/chirp.svg.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kqhost
mkdir -p out
./build/release/bin/kqhost run --plot out/chirp.svg examples/chirp.csv out/chirp_unwrapped.csv
echo "unwrapped phase: out/chirp_unwrapped.csv   picture: out/chirp.svg"
