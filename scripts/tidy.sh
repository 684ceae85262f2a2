#!/usr/bin/env bash
# clang-tidy over the block's own code (entry/, block/, kernels/) with the checks of .clang-tidy,
# against the compile commands of a build folder (default build/release, configured if missing).
# Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
[ -e "$build/compile_commands.json" ] || cmake --preset release > /dev/null
# The files the build compiles: the other platforms' own files (the Windows entry, the ARM lanes)
# are checked by their compilers in the cross builds. The compile commands are GCC's; clang does
# not know some of GCC's warning options.
/usr/bin/python3 - "$build" <<'PY' |
import json, os, sys
files = set()
for entry in json.load(open(os.path.join(sys.argv[1], "compile_commands.json"))):
    path = os.path.relpath(os.path.join(entry["directory"], entry["file"]))
    if path.split(os.sep)[0] in ("entry", "block", "kernels"):
        files.add(path)
print("\n".join(sorted(files)))
PY
    xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet \
        --extra-arg=-Wno-unknown-warning-option
echo "== clang-tidy: no findings in entry/, block/, kernels/"
