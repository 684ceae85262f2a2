#!/usr/bin/env python3
"""Writes wrapped phase mixed with hard values, as raw little-endian binary64 (FOLDER/phase.f64)
and binary32 (FOLDER/phase.f32), time-major: STEPS rows of CHANNELS values.

    hard-phase-inputs.py FOLDER [--steps N] [--channels C] [--runs] [--classes]

Wrapped phase of a random walk, with 5% of the values drawn from the hard values below (zeros of
both signs, subnormals, huge values, infinities, NaNs with payloads) and 5% of the steps made
exactly pi or 3 pi. With --runs, short sequences are written over the phase, one channel at a
time, so that each meets its own previous values: steps of exactly pi and of its neighbours, steps
at the calm bound 3, a sum that overflows to -infinity and then meets +infinity, 1e11 and 1e300
ramps, subnormal and NaN-payload sequences. The random part is the same with or without --runs.

With --classes, rows follow the STEPS rows in which every channel meets the classes of binary64
(and binary32) arithmetic that software floating point gets wrong, between successive samples:
for each exponent difference 0 to 66, large values just above a power of two and small ones that
take the difference (and the sum, with the signs mixed) into the binade below, with random sticky
bits at several exponents, exact halfway cases (ties to even) and their neighbours; then signed
zeros, subnormal differences and results, overflow to infinity, infinities, and NaNs with
payloads, quiet and signalling, of both signs. Each channel draws its own values.
"""
import argparse
import math
import random
import struct

HARD64 = [0x0000000000000000, 0x8000000000000000, 0x0000000000000001, 0x800fffffffffffff,
          0x7e37e43c8800759c, 0xfe37e43c8800759c, 0x7ff0000000000000, 0xfff0000000000000,
          0x7ff8000000000000, 0x7ff8000000000123, 0xfff8000000000456, 0x7ff0000000000001]
HARD32 = [0x00000000, 0x80000000, 0x00000001, 0x807fffff, 0x7f7fffff, 0xff7fffff,
          0x7f800000, 0xff800000, 0x7fc00000, 0x7fc00123, 0xffc00456, 0x7f800001]


def bits64(value):
    return struct.unpack('<Q', struct.pack('<d', value))[0]


def bits32(value):
    return struct.unpack('<I', struct.pack('<f', value))[0]


def value32(bits):
    return struct.unpack('<f', struct.pack('<I', bits))[0]


def runs(width):
    """The sequences as bit patterns of one precision (64 or 32)."""
    bits = bits64 if width == 64 else bits32
    pi = math.pi if width == 64 else value32(bits32(math.pi))
    above = math.nextafter(pi, 4.0) if width == 64 else value32(bits32(pi) + 1)
    below = math.nextafter(pi, 3.0) if width == 64 else value32(bits32(pi) - 1)
    big = 1e300 if width == 64 else 3.4e38
    # Two steps that each add about 1e308 (or 3e38 in single) to the correction: it overflows to
    # -infinity, and the next sample, +infinity, meets it (-inf + inf makes a default NaN).
    overflow = [-1e308, 0.0, 1e308, math.inf, 1.0] if width == 64 else [-3e38, 3e38, math.inf, 1.0]
    tiny = 5e-324 if width == 64 else 1e-45
    smallest_normal = 2.2250738585072014e-308 if width == 64 else 1.1754943508222875e-38
    nan = [0x7ff8000000000123, 0x7ff0000000000001, 0xfff8000000000456, 0xfff0000000000002]
    nan32 = [0x7fc00123, 0x7f800001, 0xffc00456, 0xff800002]
    sequences = [
        [0.0, pi, 0.0, -pi, 0.0, pi, 2 * pi, 3 * pi, 0.0, -3 * pi],
        [0.0, above, 0.0, below, 0.0, -above, 0.0, -below, below, -below],
        [0.0, 3.0, 6.0, 9.0, math.nextafter(9.0, 20.0) + 3.0, 2.9999998, 0.0],
        overflow + [2.0, -math.inf, -1.0, math.inf],
        [1e11 * n for n in range(1, 9)],
        [big, -big, big, 0.0, -big, 1e11, -1e11],
        [tiny, -tiny, smallest_normal, 0.0, -0.0, -smallest_normal, tiny, 0.0],
    ]
    out = [[bits(v) for v in seq] for seq in sequences]
    payloads = nan if width == 64 else nan32
    out.append([payloads[0], bits(1.0), payloads[1], bits(2.0), payloads[2], payloads[3], bits(3.0)])
    return out


RANDOM_PAIRS = 4


def precision_of(width):
    """(fraction bits, exponent bias, bits of a value, value of bits) of binary64 or binary32."""
    if width == 64:
        return 52, 1023, bits64, lambda b: struct.unpack('<d', struct.pack('<Q', b))[0]
    return 23, 127, bits32, value32


def binade_crossings(width, rng):
    """For each exponent difference k from 0 to 66: a sequence that alternates small values s (of
    exponent E - k) with large ones A = 2^E (1 + m ulp), m small, so that every difference of
    successive samples is A -+ s with the exponents k apart; where s exceeds m ulps it crosses
    into the binade below A. First RANDOM_PAIRS pairs with random significands (sticky bits), each
    at its own E, positive but the last: adding pi to a positive difference takes it back into
    the binade of A, where an error of the difference shows in the output (software routines get
    some sums of this shape wrong for some low bits only). Then at one E an exact halfway case of
    the lower binade's ulp (odd multiple of half an ulp: ties to even) and its neighbours."""
    fraction, bias, _, value = precision_of(width)

    def make(exponent, significand):
        return value(((exponent + bias) << fraction) | significand)
    out = []
    for k in range(67):
        sequence = []
        for pair in range(RANDOM_PAIRS):
            exponent = rng.randrange(-3, 27)  # A from 1/8 to 2^26: within reach of the turns
            sign = -1.0 if pair == RANDOM_PAIRS - 1 else 1.0
            sequence += [sign * make(exponent - k, rng.getrandbits(fraction)),
                         sign * make(exponent, rng.randrange(0, 4))]
        exponent = rng.randrange(-3, 24)
        big = [make(exponent, rng.randrange(0, 4)) for _ in range(3)]

        def small(significand):
            return make(exponent - k, significand)
        # A half-ulp multiple of the binade below A, 2^(E - fraction - 2), as bits of s's
        # significand: s = 2^(E - k) (1 + f 2^-fraction), so one half ulp is 2^(k - 2) units of f.
        if 2 <= k <= fraction + 1:
            half = 1 << (k - 2)
            ties = (2 * rng.randrange(0, (1 << fraction) // (2 * half)) + 1) * half
            sequence += [small(ties), -big[1], -small(ties + 1), big[2], small(ties - 1)]
        else:
            sequence += [small(0), -big[1], -small((1 << fraction) - 1), big[2], small(1)]
        out.append(sequence)
    return out


def special_classes(width):
    """Signed zeros, subnormal differences and results, overflow, infinities, NaN payloads."""
    fraction, bias, bits, value = precision_of(width)
    tiny = value(1)
    smallest_normal = value(1 << fraction)
    largest = value(((2 * bias) << fraction) | ((1 << fraction) - 1))
    top = 0x7FF if width == 64 else 0xFF
    sign = 1 << (width - 1)
    quiet = 1 << (fraction - 1)

    def nan(negative, signalling, payload):
        # As bits: a Python float can quiet a signalling NaN on its way to binary32.
        return (sign if negative else 0) | (top << fraction) | (0 if signalling else quiet) | payload
    return [
        [0.0, -0.0, 0.0, 0.0, -0.0, -0.0, 0.0],
        [smallest_normal * 1.5, smallest_normal * 1.25, tiny * 3, -tiny, smallest_normal,
         -smallest_normal, value((1 << fraction) - 1), tiny, 0.0],
        [largest, -largest, largest, largest, -largest, 0.0],
        [math.inf, math.inf, -math.inf, 1.0, math.inf, -math.inf, -math.inf, 0.0],
        [nan(False, True, 1), 1.0, nan(True, True, quiet >> 1), nan(False, False, 0x123), 2.0,
         nan(True, False, 0x456), nan(False, True, quiet - 1), math.inf, nan(True, True, 2), 0.0],
    ]


def classes(width, channels, seed):
    """Rows of bits: each channel the binade crossings (its own draws) and the special classes."""
    _, _, bits, _ = precision_of(width)
    columns = []
    for channel in range(channels):
        rng = random.Random(seed + channel)
        sequences = binade_crossings(width, rng) + special_classes(width)
        columns.append([v if isinstance(v, int) else bits(v) for sequence in sequences
                        for v in sequence])
    rows = max(len(column) for column in columns)
    for column in columns:
        column += [bits(0.0)] * (rows - len(column))
    return [[column[row] for column in columns] for row in range(rows)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('folder')
    parser.add_argument('--steps', type=int, default=1000)
    parser.add_argument('--channels', type=int, default=3)
    parser.add_argument('--runs', action='store_true')
    parser.add_argument('--classes', action='store_true')
    args = parser.parse_args()
    steps, channels = args.steps, args.channels
    rng = random.Random(20240601)
    phase = [rng.uniform(-math.pi, math.pi) for _ in range(channels)]
    rows64 = [[0] * channels for _ in range(steps)]
    rows32 = [[0] * channels for _ in range(steps)]
    for step in range(steps):
        for ch in range(channels):
            roll = rng.random()
            if roll < 0.05:
                pick = rng.randrange(len(HARD64))
                rows64[step][ch], rows32[step][ch] = HARD64[pick], HARD32[pick]
                continue
            if roll < 0.10:
                phase[ch] += rng.choice([math.pi, -math.pi, 3 * math.pi, -3 * math.pi])
            else:
                phase[ch] += rng.gauss(0.3, 1.5)
            value = math.atan2(math.sin(phase[ch]), math.cos(phase[ch]))
            rows64[step][ch], rows32[step][ch] = bits64(value), bits32(value)
    if args.runs:
        # Each sequence in turn, every 29 steps, on the channels in turn.
        runs64, runs32 = runs(64), runs(32)
        start, index = 5, 0
        while start + 12 < steps:
            ch = index % channels
            for offset, value in enumerate(runs64[index % len(runs64)]):
                rows64[start + offset][ch] = value
            for offset, value in enumerate(runs32[index % len(runs32)]):
                rows32[start + offset][ch] = value
            start, index = start + 29, index + 1
    if args.classes:
        rows64 += classes(64, channels, 20261210)
        rows32 += classes(32, channels, 20261210)
        assert len(rows64) == len(rows32)
    with open(f'{args.folder}/phase.f64', 'wb') as out:
        out.write(b''.join(struct.pack('<Q', v) for row in rows64 for v in row))
    with open(f'{args.folder}/phase.f32', 'wb') as out:
        out.write(b''.join(struct.pack('<I', v) for row in rows32 for v in row))


if __name__ == '__main__':
    main()
