#!/usr/bin/env bash
# MISRA C:2012 over what kqhost generate writes: one model of each of the twelve forms (stateless,
# running per channel and running per element; copying and in place; double and single) in one
# folder with the runtime files, checked as a user would check it, with Debian's cppcheck and its
# MISRA addon and no define:
#     cppcheck --addon=misra DIR
# (here with every configuration of the preprocessor conditions, not only cppcheck's first 12).
# Every finding must be a deviation listed in runtime/README.md's table, matched by rule and file
# (a model's files are NAME.c and NAME.h there). Fails on a finding the table does not list, on a
# file cppcheck could not analyse in any configuration (noValidConfiguration: an #error reached
# in every one) or not in all of them (toomanyconfigs), when it analysed no file, and when a
# header the generator writes is not included by the code it analyses (cppcheck reaches headers
# through their includes only); notes a row no finding needs. The addon prints rule numbers only.
#
#   scripts/misra-check.sh      needs build/release/bin/kqhost (or KQHOST=path)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
./scripts/install-deps.sh cppcheck

kqhost="${KQHOST:-${root}/build/release/bin/kqhost}"
[ -x "${kqhost}" ] || { echo "misra-check: build kqhost first (${kqhost})" >&2; exit 2; }
work="${root}/build/misra"
gen="${work}/gen"
rm -rf "${work}"
mkdir -p "${gen}"
started=${SECONDS}

# name|kqhost generate options: the three walks, each copying and in place, double and single.
walks=(
  "stateless|--mode stateless --frame 8"
  "running_frame|--mode running --frame 8"
  "running_sample|--mode running"
)
models=()
for entry in "${walks[@]}"; do
  walk="${entry%%|*}"
  for place in copy in_place; do
    for precision in double single; do
      name="kqm_${walk}_${place}_${precision}"
      flag=""
      [ "${place}" = in_place ] && flag="--in-place"
      # shellcheck disable=SC2086
      "${kqhost}" generate --channels 3 --precision "${precision}" ${entry#*|} ${flag} \
        --name "${name}" --output-dir "${gen}"
      models+=("${name}")
    done
  done
done

# Every header is reached from the analysed code.
for header in "${gen}"/*.h; do
  base="$(basename "${header}")"
  if ! grep -q "^#include \"${base}\"" "${gen}"/*.c "${gen}"/*.h; then
    echo "misra-check: ${base} is included by no generated file, so cppcheck never reads it" >&2
    exit 1
  fi
done

# --max-configs: every configuration of the preprocessor conditions, not only cppcheck's first 12.
(cd "${gen}" && cppcheck --addon=misra --enable=information --max-configs=100 \
  --template='{file}|{line}|{id}' . \
  >"${work}/cppcheck.out" 2>&1) || {
  cat "${work}/cppcheck.out" >&2
  echo "misra-check: cppcheck failed" >&2
  exit 1
}

/usr/bin/python3 - "${work}/cppcheck.out" runtime/README.md "${gen}" "${models[@]}" <<'PY'
import collections, os, re, sys

output_path, readme_path, gen, models = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
lines = open(output_path).read().splitlines()
sources = sorted(f for f in os.listdir(gen) if f.endswith('.c'))
checked = {m.group(1) for m in (re.match(r'Checking (\S+) \.\.\.$', l) for l in lines) if m}
problems = []
for line in lines:
    if 'noValidConfiguration' in line:
        problems.append(f'no configuration analysed: {line}')
    if 'toomanyconfigs' in line.lower():
        problems.append(f'configurations left out (raise --max-configs): {line}')
missing = [s for s in sources if s not in checked]
if not checked or missing:
    problems.append(f'cppcheck checked {len(checked)} of {len(sources)} files '
                    f'(not: {", ".join(missing) or "-"})')

def where(path):
    base = os.path.basename(path)
    stem, ext = os.path.splitext(base)
    return f'NAME{ext}' if stem in models else base

findings = collections.Counter()
places = collections.defaultdict(set)
for line in lines:
    parts = line.split('|')
    if len(parts) == 3 and parts[2].startswith('misra-c2012-'):
        key = (parts[2][len('misra-c2012-'):], where(parts[0]))
        findings[key] += 1
        places[key].add(f'{os.path.basename(parts[0])}:{parts[1]}')

# The deviation table: | rule | where | why |, between its markers.
text = open(readme_path).read()
table = re.search(r'<!-- misra-deviations:begin -->\n(.*?)<!-- misra-deviations:end -->', text,
                  re.S)
if not table:
    sys.exit('misra-check: runtime/README.md has no deviation table')
deviations = {}
for row in table.group(1).splitlines()[2:]:
    cells = [c.strip() for c in row.strip().strip('|').split('|')]
    if len(cells) != 3 or not cells[2]:
        sys.exit(f'misra-check: a deviation row needs rule, where and why: {row}')
    rules = [r.strip() for r in cells[0].split(',')]
    files = [f.strip().strip('`') for f in cells[1].split(',')]
    for rule in rules:
        for f in files:
            deviations[(rule, f)] = 0

unlisted = []
for key, count in sorted(findings.items()):
    if key in deviations:
        deviations[key] += count
    else:
        unlisted.append(f'rule {key[0]} in {key[1]} ({count}x, at '
                        f'{", ".join(sorted(places[key])[:5])})')
for (rule, f), count in sorted(deviations.items()):
    if count == 0:
        print(f'misra-check: note: the table lists rule {rule} in {f}, which no finding needs')
for u in unlisted:
    problems.append(f'finding not in the deviation table: {u}')

per_rule = collections.Counter()
for (rule, _), count in deviations.items():
    per_rule[rule] += count
print(f'misra-check: {len(checked)} files, {len(models)} models, '
      f'{sum(len(p) for p in places.values())} findings, all listed: ' if not problems else 'misra-check: ',
      end='')
print(', '.join(f'{r} x{per_rule[r]}' for r in sorted(per_rule, key=lambda r: [int(x) for x in r.split('.')])))
if problems:
    for p in problems:
        print(f'misra-check: {p}', file=sys.stderr)
    sys.exit(1)
PY
echo "misra-check: passed, $((SECONDS - started)) s"
