/* Operands for testing binary64 arithmetic, class by class as IEEE implementations are tested:
 * random pairs plus every class where a rounding, a normalisation or a special rule can go wrong.
 * One generator, so the native test (against the processor's own binary64) and the board test
 * (against the native results) see the same operands: everything here is integer arithmetic on a
 * fixed seed, the same bits on every processor. */
#ifndef KQ_BINARY64_CASES_H
#define KQ_BINARY64_CASES_H

#include <stdint.h>

#include "kq_soft_binary64.h"

enum {
    KQ_CASE_RANDOM,        /* random sign, exponents within 70 of each other, random fractions */
    KQ_CASE_RANDOM_BITS,   /* random 64-bit patterns: every exponent, NaNs and infinities too */
    KQ_CASE_EXPONENT_DIFF, /* exponent differences 0 to 66, the larger often with a short
                              fraction so that a subtraction falls into the next lower binade */
    KQ_CASE_TIES,          /* sums and products exactly halfway between two values */
    KQ_CASE_SUBNORMAL,     /* subnormal operands, and results that become subnormal */
    KQ_CASE_OVERFLOW,      /* sums and products at the top of the range and beyond */
    KQ_CASE_SPECIAL,       /* zeros, infinities, NaN payloads, range limits, crossed */
    KQ_CASE_BINARY32,      /* conversions: binary32 ties, range limits, subnormals, NaNs */
    KQ_CASE_PHASE,         /* the step's own: phase values, multiples of pi, wrap boundaries */
    KQ_CASE_COUNT
};

static const char* const kq_case_names[KQ_CASE_COUNT] = {"random",  "random-bits", "exponent-diff",
                                                         "ties",    "subnormal",   "overflow",
                                                         "special", "binary32",    "phase"};

/* xorshift64*: the operands' only source of randomness. */
static inline uint64_t kq_case_next(uint64_t* state) {
    uint64_t x = *state;
    x ^= x >> 12;
    x ^= x << 25;
    x ^= x >> 27;
    *state = x;
    return x * 0x2545F4914F6CDD1DU;
}

static inline uint32_t kq_case_below(uint64_t* state, uint32_t n) {
    return (uint32_t)((kq_case_next(state) >> 32) % n);
}

/* A fraction of one of the shapes that stress rounding: random, short (leading zeros), with
 * trailing zeros, or a run of ones at the bottom or the top. */
static inline uint64_t kq_case_fraction(uint64_t* state) {
    const uint64_t r = kq_case_next(state);
    const uint32_t k = kq_case_below(state, 53U);
    const uint32_t shape = kq_case_below(state, 5U);
    uint64_t f;
    switch (shape) {
        case 0U:
            f = r;
            break;
        case 1U:
            f = (r >> 12U) >> k;
            break;
        case 2U:
            f = r << k;
            break;
        case 3U:
            f = (k == 0U) ? 0U : (KQ_B64_FRACTION >> (52U - k));
            break;
        default:
            f = KQ_B64_FRACTION << k;
            break;
    }
    return f & KQ_B64_FRACTION;
}

static inline uint64_t kq_case_sign(uint64_t* state) {
    return kq_case_next(state) & KQ_B64_SIGN;
}

static inline uint64_t kq_case_make(uint64_t sign, uint32_t exp, uint64_t fraction) {
    return sign | ((uint64_t)exp << 52) | (fraction & KQ_B64_FRACTION);
}

/* A value of exponent field exp with a random sign and a shaped (or plain random) fraction. C
 * leaves the order in which a call's arguments are evaluated open, and compilers for different
 * processors choose differently: every draw from the generator is therefore a statement of its
 * own, in a fixed order, or the boards would see other operands than the native test. */
static inline uint64_t kq_case_value(uint64_t* state, uint32_t exp, int shaped) {
    const uint64_t sign = kq_case_sign(state);
    const uint64_t fraction = (shaped != 0) ? kq_case_fraction(state) : kq_case_next(state);
    return kq_case_make(sign, exp, fraction);
}

/* One of the special values, by index. */
static inline uint64_t kq_case_special(uint64_t* state) {
    const uint64_t sign = kq_case_sign(state);
    const uint64_t payload = kq_case_fraction(state) & (KQ_B64_FRACTION >> 1);
    const uint32_t pick = kq_case_below(state, 14U);
    const uint32_t exp = 1U + kq_case_below(state, 0x7FEU);
    const uint64_t fraction = kq_case_fraction(state);
    uint64_t v;
    switch (pick) {
        case 0U:
            v = 0U;
            break;
        case 1U:
            v = KQ_B64_INFINITY;
            break;
        case 2U:
            v = KQ_B64_INFINITY | KQ_B64_QUIET | payload; /* quiet NaN */
            break;
        case 3U:
            v = KQ_B64_INFINITY | ((payload == 0U) ? 1U : payload); /* signalling NaN */
            break;
        case 4U:
            v = 1U; /* the smallest subnormal */
            break;
        case 5U:
            v = KQ_B64_FRACTION; /* the largest subnormal */
            break;
        case 6U:
            v = KQ_B64_HIDDEN; /* the smallest normal */
            break;
        case 7U:
            v = 0x7FEFFFFFFFFFFFFFU; /* the largest finite */
            break;
        case 8U:
            v = 0x3FF0000000000000U; /* 1 */
            break;
        case 9U:
            v = 0x4008000000000000U; /* 3, the calm bound */
            break;
        case 10U:
            v = 0x400921FB54442D18U; /* pi */
            break;
        case 11U:
            v = 0x401921FB54442D18U; /* 2 pi */
            break;
        case 12U:
            v = 0x3CD203AF9EE75616U; /* 1e-15, the calm cutoff */
            break;
        default:
            v = kq_case_make(0U, exp, fraction);
            break;
    }
    return sign | v;
}

/* A phase value: wrapped, near a multiple of pi, unwrapped far from zero, or special. */
static inline uint64_t kq_case_phase(uint64_t* state) {
    const uint32_t pick = kq_case_below(state, 4U);
    uint64_t v;
    if (pick == 0U) { /* |v| below 4: exponents 0x3F0 to 0x400 */
        const uint32_t exp = 0x3F0U + kq_case_below(state, 0x11U);
        v = kq_case_value(state, exp, 0);
    } else if (pick == 1U) { /* pi's bits with the low ones changed, 1 to 2^20 turns */
        const uint32_t exp = 0x400U + kq_case_below(state, 20U);
        const uint32_t keep = 40U + kq_case_below(state, 24U);
        const uint64_t noise = kq_case_next(state) >> keep;
        v = kq_case_value(state, exp, 0);
        v = (v & ~KQ_B64_FRACTION) | (0x921FB54442D18U ^ noise);
    } else if (pick == 2U) { /* unwrapped, up to 1e13 */
        const uint32_t exp = 0x3FFU + kq_case_below(state, 44U);
        v = kq_case_value(state, exp, 0);
    } else {
        v = kq_case_special(state);
    }
    return v;
}

/* A pair of operands of one class. */
static inline void kq_case_pair(uint32_t kind, uint64_t* state, uint64_t* a, uint64_t* b) {
    uint64_t x;
    uint64_t y;
    uint32_t swap;
    if (kind == (uint32_t)KQ_CASE_RANDOM) {
        const uint32_t exp = 35U + kq_case_below(state, 0x7FEU - 70U);
        const uint32_t exp_y = exp + kq_case_below(state, 70U) - 35U;
        x = kq_case_value(state, exp, 0);
        y = kq_case_value(state, exp_y, 0);
    } else if (kind == (uint32_t)KQ_CASE_RANDOM_BITS) {
        x = kq_case_next(state);
        y = kq_case_next(state);
    } else if (kind == (uint32_t)KQ_CASE_EXPONENT_DIFF) {
        const uint32_t diff = kq_case_below(state, 67U);
        const uint32_t exp = 68U + kq_case_below(state, 0x7FEU - 70U);
        const uint32_t short_shift = 52U + kq_case_below(state, 12U);
        const uint64_t short_fraction = kq_case_next(state) >> short_shift;
        const uint32_t use_short = kq_case_below(state, 2U);
        x = kq_case_value(state, exp, 1);
        if (use_short == 0U) {
            x = (x & ~KQ_B64_FRACTION) | short_fraction;
        }
        y = kq_case_value(state, exp - diff, 1);
    } else if (kind == (uint32_t)KQ_CASE_TIES) {
        const uint32_t exp = 0x200U + kq_case_below(state, 0x3FFU);
        if (kq_case_below(state, 2U) == 0U) {
            /* b half a unit of a's last place (or a quarter), or at the same or the next
             * exponent, where the bit shifted out is exactly half. */
            static const uint32_t gaps[4] = {53U, 54U, 0U, 1U};
            const uint32_t gap = gaps[kq_case_below(state, 4U)];
            x = kq_case_value(state, exp, 1);
            y = kq_case_value(state, exp - gap, 1);
            if (gap > 1U) {
                y &= ~KQ_B64_FRACTION;
            }
        } else {
            /* Short significands whose product has 53 to 55 bits. */
            const uint32_t bits = 1U + kq_case_below(state, 52U);
            const uint32_t other = 54U - bits + kq_case_below(state, 2U);
            const uint64_t mask_x = KQ_B64_FRACTION ^ (KQ_B64_FRACTION >> bits);
            const uint64_t mask_y =
                (other >= 52U) ? KQ_B64_FRACTION : (KQ_B64_FRACTION ^ (KQ_B64_FRACTION >> other));
            const uint32_t exp_y = 0x3FFU - 0x100U + kq_case_below(state, 0x200U);
            x = kq_case_value(state, exp, 0);
            y = kq_case_value(state, exp_y, 0);
            x &= ~KQ_B64_FRACTION | mask_x;
            y &= ~KQ_B64_FRACTION | mask_y;
        }
    } else if (kind == (uint32_t)KQ_CASE_SUBNORMAL) {
        const uint32_t pick = kq_case_below(state, 4U);
        const uint32_t small = 1U + kq_case_below(state, 60U);
        const uint32_t tiny = 1U + kq_case_below(state, 3U);
        const uint32_t tiny_y = 1U + kq_case_below(state, 3U);
        const uint32_t exp = 1U + kq_case_below(state, 0x3FFU - 60U);
        if (pick == 0U) { /* both subnormal */
            x = kq_case_value(state, 0U, 1);
            y = kq_case_value(state, 0U, 1);
        } else if (pick == 1U) { /* one subnormal, one small normal */
            x = kq_case_value(state, 0U, 1);
            y = kq_case_value(state, small, 1);
        } else if (pick == 2U) { /* a product near or below the smallest normal */
            x = kq_case_value(state, exp, 1);
            y = kq_case_value(state, 0x3FFU + 2U - small - exp, 1);
        } else { /* sums that cancel into the subnormals */
            x = kq_case_value(state, tiny, 1);
            y = kq_case_value(state, tiny_y, 1);
        }
    } else if (kind == (uint32_t)KQ_CASE_OVERFLOW) {
        const uint32_t pick = kq_case_below(state, 2U);
        const uint32_t top = 0x7FDU + kq_case_below(state, 2U);
        const uint32_t near_top = 0x7F0U + kq_case_below(state, 15U);
        const uint32_t exp = 0x3FFU + kq_case_below(state, 0x3FFU);
        const uint32_t below = kq_case_below(state, 3U);
        if (pick == 0U) {
            x = kq_case_value(state, top, 1);
            y = kq_case_value(state, near_top, 1);
        } else {
            x = kq_case_value(state, exp, 1);
            y = kq_case_value(state, 0x7FEU + 0x3FFU - exp - below, 1);
        }
    } else if (kind == (uint32_t)KQ_CASE_SPECIAL) {
        const uint32_t pick = kq_case_below(state, 4U);
        x = kq_case_special(state);
        y = (pick == 0U) ? kq_case_phase(state) : kq_case_special(state);
    } else if (kind == (uint32_t)KQ_CASE_BINARY32) {
        /* x rounds to binary32 across its range, its low 29 bits a tie, just off one, or
         * random; y carries a binary32 value of any kind in its low half. */
        static const uint64_t low_bits[4] = {0x10000000U, 0x0FFFFFFFU, 0x10000001U, 0U};
        const uint32_t pick = kq_case_below(state, 5U);
        const uint64_t random_low = kq_case_next(state);
        const uint64_t low = (pick < 4U) ? low_bits[pick] : random_low;
        const uint32_t exp = 0x380U - 30U + kq_case_below(state, 0x100U + 32U);
        const uint32_t special = kq_case_below(state, 8U);
        const uint64_t high = kq_case_next(state) & 0xFFFFFFFF00000000U;
        const uint32_t single_bits = (uint32_t)kq_case_next(state);
        const uint32_t single_shift = kq_case_below(state, 9U);
        x = kq_case_value(state, exp, 1);
        x = (x & ~(uint64_t)0x1FFFFFFFU) | (low & 0x1FFFFFFFU);
        if (special == 0U) {
            x = kq_case_special(state);
        }
        y = high | (uint64_t)((single_bits & KQ_B32_SIGN) |
                              ((single_bits & ~KQ_B32_SIGN) >> single_shift));
    } else {
        x = kq_case_phase(state);
        y = kq_case_phase(state);
    }
    swap = kq_case_below(state, 2U);
    *a = (swap == 0U) ? x : y;
    *b = (swap == 0U) ? y : x;
}

/* A cutoff for the step: the kinds the unwrap meets (0, the calm one, pi, negative, NaN...). */
static inline uint64_t kq_case_cutoff(uint64_t* state) {
    static const uint64_t cutoffs[8] = {0U,
                                        KQ_B64_SIGN,
                                        0x3CD203AF9EE75616U, /* 1e-15 */
                                        0x3C9CD2B297D889BCU, /* 1e-16 */
                                        0x400921FB54442D18U, /* pi */
                                        0xBFF0000000000000U, /* -1 */
                                        0x7FF8000000000000U, /* NaN */
                                        KQ_B64_INFINITY};
    return cutoffs[kq_case_below(state, 8U)];
}

#endif
