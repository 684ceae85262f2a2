#!/usr/bin/env bash
# Builds the block, the stand-in host and kqhost for another target from this Linux x86-64
# machine, and runs the whole test suite and a kqhost validation on it under an emulator.
# Exits non-zero on any failure.
#   scripts/test-cross.sh aarch64   64-bit ARM Linux, under qemu-user
set -euo pipefail
cd "$(dirname "$0")/.."

# Installs the Debian packages of the arguments that are missing.
install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

case "${1:-}" in
  aarch64)
    install_missing g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user googletest \
      cmake ninja-build
    start=$SECONDS
    cmake --preset aarch64
    cmake --build --preset aarch64 -j2
    echo "== aarch64: built in $((SECONDS - start)) s"
    ctest --preset aarch64
    qemu-aarch64 -L /usr/aarch64-linux-gnu build/aarch64/bin/kqhost validate --iterations 2000
    echo "== aarch64: suite and validation passed under qemu in $((SECONDS - start)) s"
    ;;
  *)
    echo "usage: scripts/test-cross.sh aarch64" >&2
    exit 2
    ;;
esac
