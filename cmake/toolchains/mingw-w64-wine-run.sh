#!/usr/bin/env bash
# Runs a Windows program under Wine: mingw-w64-wine-run.sh PROGRAM.exe [ARGS...]; the exit status
# is the program's. The toolchain file makes it the emulator of the mingw build, so ctest runs
# the .exe tests through it.
#
# WINEPREFIX defaults to build/mingw/wine in the source tree; its first use creates it (about 15 s),
# under a lock so that parallel tests do not race to. Debian's wine64 keeps its loader off PATH,
# in /usr/lib/wine; KQ_WINE names another loader.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
: "${WINEPREFIX:=$(cd "${here}/../.." && pwd)/build/mingw/wine}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG
if [ -z "${KQ_WINE:-}" ]; then
  KQ_WINE="$(command -v wine64 || command -v wine || true)"
  [ -n "${KQ_WINE}" ] || KQ_WINE=/usr/lib/wine/wine64
fi
# A marker of our own says the prefix is made: Wine writes its registry files (system.reg) only
# when its server exits, and a server kept running for the whole test run never does.
ready="${WINEPREFIX}.ready"
if [ ! -e "${ready}" ]; then
  mkdir -p "$(dirname "${WINEPREFIX}")"
  (
    flock 9
    if [ ! -e "${ready}" ]; then
      "${KQ_WINE}" wineboot --init >/dev/null 2>&1 || true
      touch "${ready}"
    fi
  ) 9>"${WINEPREFIX}.lock"
fi
exec "${KQ_WINE}" "$@"
