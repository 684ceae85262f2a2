#!/usr/bin/env python3
"""Writes the target programs' share of the comparison into GEN (beside the generated code):
kqg_inputs.h, the input files' bits as C arrays (so that a board needs no file and a big-endian
processor reads the same values; signalling NaNs as they are, as kqhost run passes them to the
block), and kqg_forms.c, which includes every form's header and runs it through form_runner.h with
its resets and tolerance changes.

    write_sources.py GEN INPUTS CHANNELS FORMS

FORMS holds one form a line: NAME|ROWS|double or single|the run's options (only --reset STEP and
--set-tolerance STEP:X are read: the events, at most one before any output step).
"""
import struct
import sys


def events(options):
    words, out = options.split(), []
    for flag, value in zip(words, words[1:]):
        if flag == '--reset':
            out.append((int(value), 'KQ_EVENT_RESET', 0.0))
        elif flag == '--set-tolerance':
            step, tolerance = value.split(':', 1)
            out.append((int(step), 'KQ_EVENT_SET_TOLERANCE', float(tolerance)))
    steps = [event[0] for event in out]
    # One event per step: which of a reset and a change comes first is kqhost run's own choice.
    assert len(set(steps)) == len(steps), f'two events at one step in {options}'
    return sorted(out, key=lambda event: event[0])


def array(name, ctype, values, width):
    lines = [f'static const {ctype} {name}[] = {{']
    for start in range(0, len(values), 6):
        lines.append('    ' + ', '.join(f'0x{v:0{width}x}u' for v in values[start:start + 6]) + ',')
    lines.append('};')
    return '\n'.join(lines)


def main():
    gen, inputs, channels, forms_path = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    raw64 = open(f'{inputs}/phase.f64', 'rb').read()
    raw32 = open(f'{inputs}/phase.f32', 'rb').read()
    values64 = list(struct.unpack(f'<{len(raw64) // 8}Q', raw64))
    values32 = list(struct.unpack(f'<{len(raw32) // 4}I', raw32))
    rows = len(values64) // channels
    assert len(values32) == len(values64) and rows * channels == len(values64)
    with open(f'{gen}/kqg_inputs.h', 'w') as out:
        out.write('/* The input files as bits, time-major. Written by write_sources.py. */\n')
        out.write('#include <stdint.h>\n')
        out.write(f'#define KQ_INPUT_ROWS {rows}L\n#define KQ_INPUT_CHANNELS {channels}\n')
        out.write(array('kq_input64', 'uint64_t', values64, 16).replace('u,', 'ull,') + '\n')
        out.write(array('kq_input32', 'uint32_t', values32, 8) + '\n')
    forms = [line.rstrip('\n').split('|', 3) for line in open(forms_path) if line.strip()]
    with open(f'{gen}/kqg_forms.c', 'w') as out:
        out.write('/* Every form, run by form_runner.h. Written by write_sources.py. */\n')
        out.write('#include "driver.h"\n#include "kqg_inputs.h"\n')
        for name, form_rows, precision, options in forms:
            out.write(f'#include "{name}.h"\n')
            out.write(f'static const struct kq_event {name}_events[] = {{\n')
            for step, kind, tolerance in events(options):
                out.write(f'    {{{step}, {kind}, {tolerance.hex()}}},\n')
            out.write('    {-1, KQ_EVENT_RESET, 0.0}};\n')
            out.write(f'#define FORM {name}\n#define FORM_NAME "{name}"\n')
            out.write(f'#define FORM_ROWS {int(form_rows)}L\n')
            out.write(f'#define FORM_INPUT {"kq_input64" if precision == "double" else "kq_input32"}\n')
            out.write(f'#define FORM_EVENTS {name}_events\n#include "form_runner.h"\n')
            out.write('#undef FORM\n#undef FORM_NAME\n#undef FORM_ROWS\n#undef FORM_INPUT\n')
            out.write('#undef FORM_EVENTS\n')
        out.write('const struct kq_form kq_forms[] = {\n')
        out.write(''.join(f'    {{"{name}", {name}_run}},\n' for name, *_ in forms))
        out.write('};\n')
        out.write(f'const int kq_form_count = {len(forms)};\n')


if __name__ == '__main__':
    main()
