#!/usr/bin/env bash
# Builds what a user installs and checks it as a user would get it, on this machine (as root):
# - the wheel: python3 -m build (offline, Debian's python3-build), its metadata (version,
#   licence), a pip install into a throwaway venv and python/README.md's example run with it;
# - the Debian packages: cpack -G DEB from build/release, lintian (no error, no warning), an
#   install, README.md's example with kqhost from PATH and python/README.md's example with the
#   installed module under /usr/bin/python3, then a purge that must leave no file and no state.
# Examples run from an empty folder with PYTHONPATH unset, so nothing of the build tree is used.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
python=/usr/bin/python3
packages=(kqphasefix2 kqhost python3-kqphasefix2)
./scripts/install-deps.sh lintian help2man python3-build python3-venv dpkg-dev file unzip
unset PYTHONPATH

scratch="$(mktemp -d)"
purge() { DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$@" >/dev/null; }
# Installed, or known to dpkg in any state but "not installed" (config files left: "rc").
installed() { [[ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null)" =~ ^.[^n] ]]; }
cleanup() {
    for package in "${packages[@]}"; do
        if installed "$package"; then purge "$package" || true; fi
    done
    rm -rf "$scratch"
}
trap cleanup EXIT
for package in "${packages[@]}"; do
    if installed "$package"; then
        echo "test-packages: $package is installed already; it must not be (dpkg -l $package)" >&2
        exit 1
    fi
done

# python/README.md's example, checked: no jump left, the chunks of a float64 stream the bits of one
# call, and the module imported from where the caller says.
cat > "$scratch/python_example.py" <<'EOF'
import sys
import numpy as np, kqphasefix2
phase = np.angle(np.exp(1j * np.linspace(0.0, 60.0, 10_000)))       # wrapped phase in (-pi, pi]
unwrapped = kqphasefix2.unwrap(phase)                                 # any axis, out=, float32 too
stream = kqphasefix2.Unwrapper(channels=1, dtype=np.float32)          # the running block
parts = [stream.process(c) for c in np.array_split(phase.astype(np.float32), 10)]
expected_prefix = sys.argv[1]
assert kqphasefix2.__file__.startswith(expected_prefix), (kqphasefix2.__file__, expected_prefix)
assert np.max(np.abs(np.diff(unwrapped))) < np.pi, "a jump of more than pi is left"
assert abs(unwrapped[-1] - 60.0) < 1e-9, unwrapped[-1]
assert all(part.dtype == np.float32 for part in parts) and sum(map(len, parts)) == len(phase)
# In float64 any split into chunks gives the bits of one call.
stream64 = kqphasefix2.Unwrapper(channels=1)
chunked = np.concatenate([stream64.process(c) for c in np.array_split(phase, 7)])
assert np.array_equal(chunked, unwrapped)
print("python example:", kqphasefix2.__version__, kqphasefix2.__file__)
EOF

echo "== the wheel: python3 -m build --wheel --no-isolation python"
CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}" \
    "$python" -m build --wheel --no-isolation --outdir "$scratch/dist" python >"$scratch/build.log" 2>&1 ||
    { cat "$scratch/build.log" >&2; exit 1; }
wheel="$(echo "$scratch"/dist/kqphasefix2-*.whl)"
version="$(cat VERSION)"
[ -f "$wheel" ] || { echo "test-packages: no wheel in $scratch/dist" >&2; exit 1; }
metadata="$(unzip -p "$wheel" "kqphasefix2-$version.dist-info/METADATA")"
echo "$(basename "$wheel"): $(stat -c %s "$wheel") bytes"
grep -E '^(Name|Version|License|Requires-Dist|Provides-Extra):|^Classifier: License' <<<"$metadata"
grep -qx "Version: $version" <<<"$metadata"
grep -qx "License: Apache-2.0" <<<"$metadata"
unzip -l "$wheel" | grep -q "kqphasefix2-$version.dist-info/LICENSE" ||
    { echo "test-packages: the wheel lacks the licence's text" >&2; exit 1; }
"$python" -m venv --system-site-packages "$scratch/venv"
PIP_NO_INDEX=1 "$scratch/venv/bin/python" -m pip install --quiet --no-deps "$wheel"
(cd "$scratch" && PYTHONDONTWRITEBYTECODE=1 "$scratch/venv/bin/python" python_example.py \
    "$scratch/venv/lib/")

echo "== the Debian packages: cpack -G DEB in build/release"
cmake --preset release >/dev/null
cmake --build --preset release
rm -rf build/release/packages
(cd build/release && cpack -G DEB -B "$repo/build/release/packages" >"$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log" >&2; exit 1; }
debs=(build/release/packages/*.deb)
[ ${#debs[@]} -eq ${#packages[@]} ] ||
    { echo "test-packages: expected ${#packages[@]} packages, cpack made: ${debs[*]}" >&2; exit 1; }
for deb in "${debs[@]}"; do
    echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
done

echo "== lintian"
lintian --fail-on error,warning "${debs[@]}"
echo "lintian: no error, no warning"

echo "== install, then the examples with the installed kqhost and module"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${debs[@]/#/./}" >/dev/null
for package in "${packages[@]}"; do
    dpkg -L "$package" >>"$scratch/installed-paths"
done
[ "$(command -v kqhost)" = /usr/bin/kqhost ]
grep -qx /usr/share/man/man1/kqhost.1.gz "$scratch/installed-paths"
(cd "$scratch" && kqhost run --plot chirp.svg "$repo/examples/chirp.csv" chirp_unwrapped.csv)
build/release/bin/kqhost run examples/chirp.csv "$scratch/chirp_from_build.csv"
cmp "$scratch/chirp_unwrapped.csv" "$scratch/chirp_from_build.csv"
echo "kqhost from PATH: $(kqhost --version), the README's example as the build tree's kqhost gives it"
(cd "$scratch" && "$python" python_example.py /usr/lib/python3/dist-packages/kqphasefix2/)

echo "== purge, then nothing of the packages is left"
purge "${packages[@]}"
for package in "${packages[@]}"; do
    if installed "$package"; then
        echo "test-packages: $package is still known to dpkg after the purge:" >&2
        dpkg -l "$package" >&2
        exit 1
    fi
done
# A path may stay only when it is a folder another package owns (/usr/bin and the like).
left=0
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then
        if [ ! -d "$path" ] || ! dpkg -S "$path" >/dev/null 2>&1; then
            echo "test-packages: left after the purge: $path" >&2
            left=1
        fi
    fi
done < <(grep -vx '/\.' "$scratch/installed-paths" | sort -u)
[ "$left" -eq 0 ]
echo "== the packages installed, ran and purged cleanly"
