/* The unwrap step of kq_wrap_step.h on the bits, in the runtime's own binary64 arithmetic
 * (kq_soft_binary64.h), for processors without a binary64 unit: the same operations in the same
 * order, each one correctly rounded, so the same bits as kq_wrap_step_with on hardware binary64.
 *
 * Specialised where the step allows it without changing a bit: the comparisons with zero and with
 * -pi look at the bits, and the product of the turn count k (a whole number) with 2*pi (finite,
 * non-zero) is exact, and so skipped, when k is 0 or 1 in magnitude, the turn counts of nearly
 * every sample. */
#ifndef KQ_WRAP_STEP_SOFT_H
#define KQ_WRAP_STEP_SOFT_H

#include <stdint.h>

#include "kq_soft_binary64.h"
#include "kq_wrap_step.h"

/* k * two_pi for a whole (or infinite or NaN) k and a finite non-zero two_pi. */
static inline uint64_t kq_soft_turns(uint64_t k, uint64_t two_pi) {
    const uint64_t magnitude = k & ~KQ_B64_SIGN;
    uint64_t z;
    if (magnitude == 0U) {
        z = (k ^ two_pi) & KQ_B64_SIGN; /* a zero of the product's sign */
    } else if (magnitude == 0x3FF0000000000000U) {
        z = two_pi ^ (k & KQ_B64_SIGN);
    } else {
        z = kq_b64_mul(k, two_pi);
    }
    return z;
}

/* The step's new correction S (the step's output is then S + x), all values as bits, with the
 * constants of one variant. */
static inline uint64_t kq_wrap_correction_soft(uint64_t v, uint64_t x, uint64_t S, uint64_t cutoff,
                                               uint64_t pi, uint64_t two_pi, uint64_t inv_two_pi,
                                               uint64_t floor_bias) {
    const uint64_t d = kq_b64_sub(x, v);
    const uint64_t u = kq_b64_add(d, pi);
    const uint64_t t = kq_b64_mul(u, inv_two_pi);
    const uint64_t t_biased = kq_b64_positive(t) ? t : kq_b64_sub(t, floor_bias);
    const uint64_t k = kq_b64_trunc(t_biased);
    uint64_t p = kq_b64_sub(kq_b64_sub(u, kq_soft_turns(k, two_pi)), pi);
    uint64_t c;
    uint64_t sum = S;
    /* -pi is neither zero nor a NaN: equal values have equal bits. */
    if ((p == (pi | KQ_B64_SIGN)) && kq_b64_positive(d)) {
        p = pi;
    }
    c = kq_b64_sub(p, d);
    if (kq_b64_less(cutoff, c & ~KQ_B64_SIGN)) {
        sum = kq_b64_add(sum, c);
    }
    return sum;
}

static inline uint64_t kq_wrap_correction_soft_dbl(uint64_t v, uint64_t x, uint64_t S,
                                                   uint64_t cutoff) {
    return kq_wrap_correction_soft(v, x, S, cutoff, kq_bits_of(KQ_PI_DBL),
                                   kq_bits_of(KQ_TWO_PI_DBL), kq_bits_of(KQ_INV_TWO_PI_DBL),
                                   kq_bits_of(KQ_FLOOR_BIAS_DBL));
}

/* The single variant: v, x and cutoff binary32 values widened exactly, S binary64. */
static inline uint64_t kq_wrap_correction_soft_sgl(uint64_t v, uint64_t x, uint64_t S,
                                                   uint64_t cutoff) {
    return kq_wrap_correction_soft(v, x, S, cutoff, kq_bits_of(KQ_PI_SGL),
                                   kq_bits_of(KQ_TWO_PI_SGL), kq_bits_of(KQ_INV_TWO_PI_SGL),
                                   kq_bits_of(KQ_FLOOR_BIAS_SGL));
}

/* kq_calm_step_dbl_bits with its subtraction in software. */
static inline int kq_calm_step_soft(uint64_t v, uint64_t x) {
    const uint32_t hx = (uint32_t)(x >> 32);
    const uint32_t hv = (uint32_t)(v >> 32);
    const uint32_t ax = hx & 0x7fffffffU;
    const uint32_t av = hv & 0x7fffffffU;
    int calm;
    if ((ax < 0x3ff80000U) && (av < 0x3ff80000U)) {
        calm = 1;
    } else if ((((hx ^ hv) & 0x80000000U) == 0U) && (ax < 0x40080000U) && (av < 0x40080000U)) {
        calm = 1;
    } else {
        calm = ((uint32_t)(kq_b64_sub(x, v) >> 32) & 0x7fffffffU) < 0x40080000U;
    }
    return calm;
}

#endif
