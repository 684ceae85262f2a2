#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a Release build, and an AddressSanitizer +
# UndefinedBehaviorSanitizer build. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
for preset in release asan; do
  echo "== ${preset}: configure, build, test"
  cmake --preset "${preset}"
  cmake --build --preset "${preset}"
  ctest --preset "${preset}"
done
echo "== all tests passed in the release and sanitizer builds"
