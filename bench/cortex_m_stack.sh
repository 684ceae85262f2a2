#!/usr/bin/env bash
# Worst-case stack of each entry point of generated code on the Cortex-M boards, two ways:
#   static    from GCC's -fstack-usage and -fcallgraph-info (the deepest call path of the model's
#             own code), plus a bound for the toolchain's routines on that path (software floating
#             point, memset), which GCC's figures do not cover: read from the linked image's
#             disassembly, every push and stack adjustment of the routine and of what it calls;
#   measured  under qemu-system-arm, by painting the stack before each call (bench/cortex_m_stack.c)
#             over inputs that wrap at every sample, NaNs, infinities, subnormals and huge values,
#             under cutoffs below the calm bound, pi, 0, NaN and infinity.
# Exits 1 unless, for every entry point, measured <= static: the static figure bounds what runs.
# A measurement below the own-code figure is shown: GCC's figures add a frame that a tail call
# reuses, or the inputs do not take the deepest path.
#
#   bench/cortex_m_stack.sh      needs build/release/bin/kqhost (or KQHOST=path), gcc-arm-none-eabi,
#                                picolibc-arm-none-eabi and qemu-system-arm
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
kqhost="${KQHOST:-${root}/build/release/bin/kqhost}"
[ -x "${kqhost}" ] || { echo "cortex_m_stack: build kqhost first (${kqhost})" >&2; exit 2; }
work="${root}/build/cortex-m-stack"
rm -rf "${work}"
mkdir -p "${work}/gen"

# board name|qemu machine|cpu flags|flash origin|RAM origin (as bench/cortex_m_bench.sh)
boards=(
  "cortex-m4f|mps2-an386|-mcpu=cortex-m4 -mfpu=fpv4-sp-d16 -mfloat-abi=hard|0x00000000|0x20000000"
  "cortex-m33|mps2-an505|-mcpu=cortex-m33 -mfpu=fpv5-sp-d16 -mfloat-abi=hard|0x10000000|0x38000000"
  "cortex-m7|mps2-an500|-mcpu=cortex-m7 -mfpu=fpv5-d16 -mfloat-abi=hard|0x00000000|0x20000000"
)
# One model of each form: the three walks, copying and in place, double and single.
walks=(
  "stateless|--mode stateless --frame 8"
  "frame|--mode running --frame 8"
  "sample|--mode running"
)
models=""
{
  echo "/* Written by bench/cortex_m_stack.sh: the models bench/cortex_m_stack.c measures. */"
  for entry in "${walks[@]}"; do
    for place in copy in_place; do
      for precision in double single; do
        name="kqs_${entry%%|*}_${place}_${precision}"
        flag="" form=COPY
        [ "${place}" = in_place ] && flag="--in-place" form=IN_PLACE
        # shellcheck disable=SC2086
        "${kqhost}" generate --channels 8 --precision "${precision}" ${entry#*|} ${flag} \
          --name "${name}" --output-dir "${work}/gen"
        echo "#include \"${name}.h\""
        models="${models} ${form}(${name})"
      done
    done
  done
  echo "#define KQS_MODELS(COPY, IN_PLACE)${models}"
} >"${work}/gen/kqs_models.h"

common="-std=c99 -O2 -ffp-contract=off -Wall -Wextra -Werror -I${work}/gen"

for board_entry in "${boards[@]}"; do
  IFS='|' read -r board machine flags flash ram <<<"${board_entry}"
  out="${work}/${board}"
  mkdir -p "${out}"
  objects=()
  for source in "${work}"/gen/kqs_*.c; do
    object="${out}/$(basename "${source%.c}").o"
    # shellcheck disable=SC2086
    arm-none-eabi-gcc ${common} ${flags} -fstack-usage -fcallgraph-info=su -c "${source}" \
      -o "${object}"
    objects+=("${object}")
  done
  # shellcheck disable=SC2086
  arm-none-eabi-gcc ${common} ${flags} --specs=picolibc.specs --oslib=semihost --crt0=semihost \
    -DPICOLIBC_INTEGER_PRINTF_SCANF -Wl,--defsym=__flash="${flash}" \
    -Wl,--defsym=__flash_size=0x400000 -Wl,--defsym=__ram="${ram}" \
    -Wl,--defsym=__ram_size=0x200000 bench/cortex_m_stack.c "${objects[@]}" -o "${out}/stack.elf"
  arm-none-eabi-objdump -d --no-show-raw-insn "${out}/stack.elf" >"${out}/stack.s"
  arm-none-eabi-nm "${out}/stack.elf" >"${out}/stack.nm"
  timeout 120 qemu-system-arm -M "${machine}" -nographic -monitor none -serial none \
    -semihosting-config enable=on,target=native -kernel "${out}/stack.elf" >"${out}/measured.txt" 2>&1 || {
    cat "${out}/measured.txt" >&2
    echo "cortex_m_stack: ${board}: the measurement failed" >&2
    exit 1
  }
done

/usr/bin/python3 - "${work}" "${boards[@]}" <<'PY'
import glob, os, re, sys

work, boards = sys.argv[1], [b.split('|')[0] for b in sys.argv[2:]]
failed = False

def callgraph(paths):
    """Own stack of each function of the model's code and its callees, from GCC's .ci files."""
    frames, calls = {}, {}
    for path in paths:
        for line in open(path):
            node = re.match(r'node: \{ title: "([^"]+)" label: "[^"]*\\n(\d+) bytes \((\w+)', line)
            if node:
                if node.group(3) != 'static':
                    sys.exit(f'cortex_m_stack: {node.group(1)}: stack not static in {path}')
                frames[node.group(1)] = int(node.group(2))
            edge = re.match(r'edge: \{ sourcename: "([^"]+)" targetname: "([^"]+)"', line)
            if edge:
                calls.setdefault(edge.group(1), set()).add(edge.group(2))
    return frames, calls

REGISTER_BYTES = {'r': 4, 'l': 4, 'p': 4, 'f': 4, 's': 4, 'i': 4, 'd': 8}

def pushed(registers):
    """Bytes pushed by a register list such as {r4-r7, lr} or {d8-d9}."""
    total = 0
    for item in registers.split(','):
        item = item.strip()
        bounds = re.match(r'([a-z]+)(\d+)-[a-z]+(\d+)$', item)
        if bounds:
            total += (int(bounds.group(3)) - int(bounds.group(2)) + 1) * (8 if item[0] == 'd' else 4)
        elif item:
            total += 8 if item[0] == 'd' else 4
    return total

def routines(disassembly):
    """For each symbol of the image: bytes its instructions push or reserve, and what it calls
    or branches to outside itself (a fall-through into the next symbol counts as a call)."""
    info, order, current = {}, [], None
    for line in open(disassembly):
        header = re.match(r'^([0-9a-f]+) <([^>]+)>:$', line)
        if header:
            if current and info[current]['falls']:
                info[current]['calls'].add(header.group(2))
            current = header.group(2)
            info[current] = {'bytes': 0, 'calls': set(), 'falls': True}
            order.append(current)
            continue
        insn = re.match(r'^\s*[0-9a-f]+:\s+(\S+)\s*(.*)$', line)
        if not insn or not current:
            continue
        op, args = insn.group(1), insn.group(2)
        entry = info[current]
        if op in ('push', 'push.w', 'vpush', 'vpush.64', 'vpush.32'):
            entry['bytes'] += pushed(args.strip('{} '))
        elif re.match(r'(stmdb|stmfd|vstmdb)(\.w)?$', op) and args.startswith('sp!'):
            entry['bytes'] += pushed(args.split('{', 1)[1].split('}')[0])
        elif re.match(r'subs?(\.w)?$', op) and re.match(r'sp, (sp, )?#\d+', args):
            entry['bytes'] += int(re.search(r'#(\d+)', args).group(1))
        elif re.match(r'(str|strd|vstr)(\.w)?$', op) and re.search(r'\[sp, #-\d+\]!', args):
            entry['bytes'] += int(re.search(r'#-(\d+)\]!', args).group(1))
        target = re.search(r'<([^>+]+)(\+0x[0-9a-f]+)?>', args)
        if op.startswith('b') and target and target.group(1) != current:
            entry['calls'].add(target.group(1))
        if op == 'nop':
            continue  # alignment padding: the instruction before it decides
        entry['falls'] = not (re.match(r'(b|b\.w|b\.n|bx)$', op) or
                              (op.startswith('pop') and 'pc' in args) or
                              (op.startswith('ldm') and 'pc' in args) or
                              (op.startswith('ldr') and args.startswith('pc,')))
    return info

def aliases(symbols, info):
    """Each symbol of the image under the name the disassembly shows at its address (libgcc gives
    one routine several names, such as __aeabi_dadd and __adddf3)."""
    shown, names = {}, {}
    for line in open(symbols):
        parts = line.split()
        if len(parts) == 3:
            names.setdefault(parts[0], []).append(parts[2])
    for address, group in names.items():
        for name in group:
            if name in info:
                for other in group:
                    shown[other] = name
    return shown

def toolchain_bound(name, info, shown, seen=()):
    name = shown.get(name, name)
    if name not in info:
        sys.exit(f'cortex_m_stack: {name} is not in the image')
    if name in seen:
        return 0  # a branch back into a routine already on the path adds no new frame
    entry = info[name]
    deeper = [toolchain_bound(c, info, shown, seen + (name,)) for c in entry['calls']]
    return entry['bytes'] + max(deeper, default=0)

def worst(function, frames, calls, external):
    """The deepest path from function: (own code only, own code plus toolchain routines)."""
    own, total = 0, 0
    for callee in calls.get(function, ()):
        if callee in frames:
            o, t = worst(callee, frames, calls, external)
        else:
            o, t = 0, external(callee)
        own, total = max(own, o), max(total, t)
    return frames[function] + own, frames[function] + total

rows = {}
for board in boards:
    out = os.path.join(work, board)
    frames, calls = callgraph(glob.glob(os.path.join(out, '*.ci')))
    info = routines(os.path.join(out, 'stack.s'))
    shown = aliases(os.path.join(out, 'stack.nm'), info)
    measured = {}
    for line in open(os.path.join(out, 'measured.txt')):
        parts = line.split()
        if parts and parts[0] == 'error':
            sys.exit(f'cortex_m_stack: {board}: {line.strip()}')
        if len(parts) == 4 and parts[0] == 'stack':
            measured[(parts[1], parts[2])] = int(parts[3])
    if not measured:
        sys.exit(f'cortex_m_stack: {board}: nothing measured')
    for (model, function), bytes_measured in sorted(measured.items()):
        own, total = worst(f'{model}_{function}', frames, calls,
                           lambda callee: toolchain_bound(callee, info, shown))
        ok = bytes_measured <= total
        failed |= not ok
        rows[(board, model, function)] = (own, total, bytes_measured)
        note = '' if ok else '  ABOVE THE STATIC BOUND'
        if ok and bytes_measured < own:
            note = '  (below the own-code figure: a tail call reuses its frame, or a path not run)'
        print(f'{board:<11} {model:<28} {function:<14} own {own:4d}  static {total:4d}  '
              f'measured {bytes_measured:4d}{note}')

# The README's summary: per board, each entry point's worst over the forms, step by precision.
print()
print('| board | step, double | step, single | initialize | set_tolerance | reset | terminate |')
print('|---|---:|---:|---:|---:|---:|---:|')
for board in boards:
    cells = []
    for function, precision in (('step', 'double'), ('step', 'single'), ('initialize', ''),
                                ('set_tolerance', ''), ('reset', ''), ('terminate', '')):
        picked = [v for (b, m, f), v in rows.items()
                  if b == board and f == function and m.endswith(precision)]
        own, total, measured = (max(v[i] for v in picked) for i in range(3))
        cells.append(f'{measured} ({own} / {total})')
    print(f'| {board} | ' + ' | '.join(cells) + ' |')
print('bytes measured (static: own code / with the toolchain routines), worst over the forms')
if failed:
    print('cortex_m_stack: a measurement lies above its static bound', file=sys.stderr)
    sys.exit(1)
PY
