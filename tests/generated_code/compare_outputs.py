#!/usr/bin/env python3
"""Compares what generated code printed on a target with kqhost run's outputs, bit for bit.

    compare_outputs.py FORMS REFERENCES OUTPUT TARGET ALLOWED
    compare_outputs.py --hash FORMS REFERENCES [OUTPUT]
    compare_outputs.py --self-test      (the allowances against a table of cases)

FORMS: one form a line (NAME|ROWS|double or single|options); REFERENCES/NAME.f64 or .f32: kqhost
run's raw little-endian output; OUTPUT: the target's text (a line "form NAME", then one value's
bits in hex a line); ALLOWED: the NaN differences allowed on TARGET, comma-separated, or "none":

  nan-sign       kqhost holds x86's default NaN (sign set: fff8000000000000, ffc00000) where the
                 target holds it with the sign clear: the NaN an invalid operation makes.
  canonical-nan  kqhost holds any NaN where the target holds the canonical quiet NaN
                 (7ff8000000000000, 7fc00000): every operation returns it, payloads are lost.
  single-canonical-nan
                 the same, in the single-precision forms only: the software conversion from
                 binary64 to binary32 returns the canonical NaN for every NaN.

Every other difference fails, and so does an allowance the outputs never needed (the README's
table would then claim a difference that does not happen). So does a line
"mode NAME forms N differing D refused R lost L" (the forms run again under another
floating-point mode) with D, R or L above 0, or "mode NAME not held". Prints one line for the
target, with the hash of its outputs (below); exits 1 on failure.

--hash prints the SHA-256 of kqhost's outputs (or of OUTPUT's) as one text, a line "form NAME"
then one value's bits in hex a line, with every NaN written as the canonical quiet NaN: the one
value that every target whose differences the table allows reproduces.
"""
import hashlib
import struct
import sys

DEFAULT_NAN = {8: 0xFFF8000000000000, 4: 0xFFC00000}
CANONICAL_NAN = {8: 0x7FF8000000000000, 4: 0x7FC00000}
KINDS = ('nan-sign', 'canonical-nan', 'single-canonical-nan')


def is_nan(bits, width):
    exponent = (bits >> (52 if width == 8 else 23)) & (0x7FF if width == 8 else 0xFF)
    fraction = bits & ((1 << (52 if width == 8 else 23)) - 1)
    return exponent == (0x7FF if width == 8 else 0xFF) and fraction != 0


def allowed_kind(want, got, width, allowed):
    """The first allowance in ALLOWED that covers got in place of want, or None."""
    for kind in allowed:
        if kind == 'nan-sign' and want == DEFAULT_NAN[width] and got == CANONICAL_NAN[width]:
            return kind
        canonical = kind == 'canonical-nan' or (kind == 'single-canonical-nan' and width == 4)
        if canonical and is_nan(want, width) and got == CANONICAL_NAN[width]:
            return kind
    return None


# (kqhost's bits, the target's, width in bytes, allowances, the allowance expected to cover it).
ALLOWANCE_CASES = [
    (0xFFF8000000000000, 0x7FF8000000000000, 8, ['nan-sign'], 'nan-sign'),
    (0xFFC00000, 0x7FC00000, 4, ['nan-sign'], 'nan-sign'),
    (0xFFF8000000000000, 0x7FF8000000000000, 8, [], None),
    (0x7FF8000000000000, 0xFFF8000000000000, 8, ['nan-sign'], None),
    (0x7FF8000000000123, 0x7FF8000000000000, 8, ['nan-sign'], None),
    (0x7FF8000000000123, 0x7FF8000000000000, 8, ['canonical-nan'], 'canonical-nan'),
    (0xFFC00456, 0x7FC00000, 4, ['canonical-nan'], 'canonical-nan'),
    (0x7FF8000000000123, 0x7FF8000000000001, 8, ['canonical-nan'], None),
    (0x7FF0000000000000, 0x7FF8000000000000, 8, ['canonical-nan'], None),
    (0x7FC00123, 0x7FC00000, 4, ['single-canonical-nan'], 'single-canonical-nan'),
    (0x7FF8000000000123, 0x7FF8000000000000, 8, ['single-canonical-nan'], None),
    (0x3FF0000000000000, 0x3FF0000000000001, 8, list(KINDS), None),
    (0x00000000, 0x80000000, 4, list(KINDS), None),
]


# (a mode line, whether it passes).
MODE_CASES = [
    ('mode upward forms 24 differing 0 refused 0 lost 0', True),
    ('mode upward forms 24 differing 1 refused 0 lost 0', False),
    ('mode flush-to-zero forms 24 differing 0 refused 24 lost 0', False),
    ('mode default-nan forms 24 differing 0 refused 0 lost 3', False),
    ('mode default-nan not held', False),
    ('mode upward forms 24 differing 0', False),
]


# Outputs that hash as the first row does (True) or not: NaNs are one value, nothing else is.
HASH_CASES = [
    ([('f', 8, [0x7FF8000000000000, 0x8000000000000000]), ('g', 4, [0xFFC00000])], True),
    ([('f', 8, [0xFFF0000000000001, 0x8000000000000000]), ('g', 4, [0x7F800001])], True),
    ([('f', 8, [0x7FF8000000000000, 0x0000000000000000]), ('g', 4, [0xFFC00000])], False),
    ([('f', 8, [0x7FF0000000000000, 0x8000000000000000]), ('g', 4, [0xFFC00000])], False),
    ([('f', 8, [0x7FF8000000000000]), ('g', 4, [0x00000000, 0xFFC00000])], False),
]


def self_test():
    """The allowances against ALLOWANCE_CASES: a too generous one would hide real differences;
    and the mode lines against MODE_CASES; the hash against HASH_CASES."""
    wrong = [case for case in ALLOWANCE_CASES if allowed_kind(*case[:4]) != case[4]]
    for want, got, width, allowed, expected in wrong:
        print(f'compare_outputs: {want:x} -> {got:x} ({width} bytes, {allowed}) is covered by '
              f'{allowed_kind(want, got, width, allowed)}, expected {expected}')
    wrong_modes = [line for line, passes in MODE_CASES if (mode_problem(line) is None) != passes]
    for line in wrong_modes:
        print(f'compare_outputs: the mode line "{line}" is judged wrongly')
    first = normalised_hash(HASH_CASES[0][0])
    wrong_hashes = [outputs for outputs, same in HASH_CASES
                    if (normalised_hash(outputs) == first) != same]
    for outputs in wrong_hashes:
        print(f'compare_outputs: {outputs} hashes wrongly against {HASH_CASES[0][0]}')
    sys.exit(1 if wrong or wrong_modes or wrong_hashes else 0)


def normalised_hash(outputs):
    """SHA-256 of [(form name, width, values)] as text, NaNs canonical."""
    digest = hashlib.sha256()
    for name, width, values in outputs:
        digest.update(f'form {name}\n'.encode())
        digest.update(''.join(f'{CANONICAL_NAN[width] if is_nan(v, width) else v:0{2 * width}x}\n'
                              for v in values).encode())
    return digest.hexdigest()


def read_forms(forms_path):
    """[(name, width)] of FORMS, in order."""
    forms = []
    for line in open(forms_path):
        if line.strip():
            name, _, precision, _ = line.rstrip('\n').split('|', 3)
            forms.append((name, 8 if precision == 'double' else 4))
    return forms


def read_reference(references, name, width):
    raw = open(f'{references}/{name}.{"f64" if width == 8 else "f32"}', 'rb').read()
    return list(struct.unpack(f'<{len(raw) // width}{"Q" if width == 8 else "I"}', raw))


def read_target(path):
    """The values of each form, and the mode lines."""
    forms, current, modes = {}, None, []
    for line in open(path):
        line = line.strip()
        if line.startswith('mode '):
            modes.append(line)
        elif line.startswith('form '):
            current = forms.setdefault(line[5:], [])
        elif line:
            current.append(int(line, 16))
    return forms, modes


def mode_problem(line):
    """What is wrong with a mode line, or None: its forms gave the default mode's bits."""
    words = line.split()
    if len(words) != 10 or words[2::2] != ['forms', 'differing', 'refused', 'lost']:
        return line
    forms, differing, refused, lost = (int(word) for word in words[3::2])
    if differing or refused or lost:
        return (f'under {words[1]}: {differing} of {forms} forms differ, initialize refused '
                f'{refused}, the caller\'s mode lost after {lost}')
    return None


def main():
    if sys.argv[1:] == ['--self-test']:
        self_test()
    if sys.argv[1] == '--hash':
        forms = read_forms(sys.argv[2])
        if len(sys.argv) > 4:
            printed = read_target(sys.argv[4])
            print(normalised_hash((name, width, printed.get(name, [])) for name, width in forms))
        else:
            print(normalised_hash((name, width, read_reference(sys.argv[3], name, width))
                                  for name, width in forms))
        sys.exit(0)
    forms_path, references, output, target, allowed_text = sys.argv[1:6]
    allowed = [] if allowed_text == 'none' else allowed_text.split(',')
    unknown = [kind for kind in allowed if kind not in KINDS]
    if unknown:
        sys.exit(f'compare_outputs: unknown allowance {unknown} for {target}')
    printed, modes = read_target(output)
    used = {kind: 0 for kind in allowed}
    problems, values, differing = [], 0, 0
    forms = read_forms(forms_path)
    for name, width in forms:
        want = read_reference(references, name, width)
        got = printed.get(name)
        if got is None or len(got) != len(want):
            problems.append(f'{name}: {len(want)} values from kqhost, '
                            f'{"none" if got is None else len(got)} from the target')
            continue
        values += len(want)
        for index, (w, g) in enumerate(zip(want, got)):
            if w == g:
                continue
            kind = allowed_kind(w, g, width, allowed)
            if kind is not None:
                used[kind] += 1
                continue
            differing += 1
            if differing <= 12:
                problems.append(f'{name}: value {index}: kqhost '
                                f'{w:0{2 * width}x}, target {g:0{2 * width}x}')
    for kind, count in used.items():
        if count == 0:
            problems.append(f'{kind} is allowed on {target} but no output needed it')
    problems += [problem for problem in map(mode_problem, modes) if problem is not None]
    notes = ', '.join(f'{count} {kind}' for kind, count in used.items() if count) or 'no NaN notes'
    if modes:
        notes += f'; the same under {len(modes)} other modes ({", ".join(m.split()[1] for m in modes)})'
    digest = normalised_hash((name, width, printed.get(name, [])) for name, width in forms)
    if problems:
        print(f'{target}: DIFFERS from kqhost run: {differing} of {values} values'
              f'{" (the first 12 shown)" if differing > 12 else ""}; outputs hash {digest}')
        print('\n'.join('  ' + problem for problem in problems))
        sys.exit(1)
    print(f'{target}: {values} values identical to kqhost run ({notes}); outputs hash {digest}')


if __name__ == '__main__':
    main()
