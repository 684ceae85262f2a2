#!/usr/bin/env bash
# The cross builds, tested on this Linux x86-64 machine:
#
#   scripts/test-cross.sh windows    MinGW-w64 build (preset mingw), its tests and a validate run
#                                    under Wine, and kqhost's outputs compared with the native ones
#   scripts/test-cross.sh aarch64    the same for 64-bit ARM Linux under qemu-aarch64
#
# Installs what is missing with apt-get; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

# The native kqhost, which the cross-platform comparison takes as its reference.
build_native_kqhost() {
  cmake --preset release >/dev/null
  cmake --build --preset release --target kqhost
}

# ---- windows: MinGW-w64 and Wine -------------------------------------------------------------------
test_windows() {
  ./scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64
  local wine_run=cmake/toolchains/mingw-w64-wine-run.sh
  export WINEPREFIX="${PWD}/build/mingw/wine" WINEDEBUG=-all
  local wineserver
  wineserver="$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)"
  [ -x "${wineserver}" ] || wineserver=/usr/lib/wine/wineserver

  echo "== windows: configure and build (preset mingw)"
  cmake --preset mingw
  cmake --build --preset mingw

  # One Wine server for the whole run, so that each program starts in a fraction of a second
  # (status 2: one already runs for this prefix). Then the prefix, the first time (about 15 s).
  mkdir -p "${WINEPREFIX}"
  "${wineserver}" -p 2>/dev/null || true
  trap "'${wineserver}' -k 2>/dev/null || true" EXIT
  "${wine_run}" cmd /c exit 0

  echo "== windows: the test suite under Wine"
  ctest --preset mingw

  echo "== windows: validate, 2000 random simulations under Wine"
  "${wine_run}" build/mingw/bin/kqhost.exe validate --iterations 2000

  echo "== windows: kqhost run natively and under Wine, outputs compared byte for byte"
  build_native_kqhost
  scripts/cross-compare.sh native windows
  echo "== windows: all passed"
}

# ---- aarch64: 64-bit ARM Linux under qemu-user -------------------------------------------------------
test_aarch64() {
  ./scripts/install-deps.sh g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user googletest
  local start=$SECONDS
  cmake --preset aarch64
  cmake --build --preset aarch64 -j2
  echo "== aarch64: built in $((SECONDS - start)) s"
  ctest --preset aarch64
  qemu-aarch64 -L /usr/aarch64-linux-gnu build/aarch64/bin/kqhost validate --iterations 2000
  echo "== aarch64: kqhost run natively and under qemu, outputs compared byte for byte"
  build_native_kqhost
  scripts/cross-compare.sh native aarch64
  echo "== aarch64: suite, validation and comparison passed in $((SECONDS - start)) s"
}

case "${1:-}" in
  windows) test_windows ;;
  aarch64) test_aarch64 ;;
  *)
    echo "usage: scripts/test-cross.sh windows|aarch64" >&2
    exit 2
    ;;
esac
