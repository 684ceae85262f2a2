/* The unwrap step of kq_wrap_step.h on the bits, in the runtime's own binary64 arithmetic
 * (kq_soft_binary64.h), for processors without a binary64 unit: the same operations in the same
 * order, each one correctly rounded, so the same bits as kq_wrap_step_with on hardware binary64.
 *
 * Specialised where the step allows it without changing a bit: the comparisons with zero and with
 * -pi look at the bits, and for the turn counts of nearly every sample (-1, 0 and 1) the turn
 * count comes from comparisons of u with bounds and its product with 2*pi, exact, is skipped. */
#ifndef KQ_WRAP_STEP_SOFT_H
#define KQ_WRAP_STEP_SOFT_H

#include <stdint.h>

#include "kq_soft_binary64.h"
#include "kq_wrap_step.h"

/* The turn count k of the step is a non-decreasing function of u (t = u * inv_two_pi rounds
 * monotonically, the biased branch lies below the other, truncation is monotonic), so it is n
 * exactly for u from the smallest binary64 value whose count reaches n up to the next such value.
 * Those values, found by bisection over binary64 with the processor's own arithmetic (and their
 * neighbours checked against it by tests/runtime/soft_binary64_test.c), spare the multiplication,
 * the bias and the truncation for the turn counts -1, 0 and 1 (|u| up to about 12.6). */
#define KQ_TURN_MINUS_ONE_DBL 0xC01921FB544EF876U /* -6.283185307807903 */
#define KQ_TURN_ZERO_DBL 0xBE0596BEE1CF8175U      /* -6.28318233918417e-10 */
#define KQ_TURN_ONE_DBL 0x401921FB54442D18U       /* 6.283185307179586 */
#define KQ_TURN_TWO_DBL 0x402921FB54442D18U       /* 12.566370614359172 */
#define KQ_TURN_MINUS_ONE_SGL 0xC019220BE393D9A7U /* -6.2832484778395274 */
#define KQ_TURN_ZERO_SGL 0xBF107E4CFA761DF0U      /* -6.291718329098201e-05 */
#define KQ_TURN_ONE_SGL 0x401921FB6546DF32U       /* 6.2831855606562375 */
#define KQ_TURN_TWO_SGL 0x402921FB6546DF32U       /* 12.566371121312475 */

/* The constants of one variant: the step's (kq_wrap_step.h) and its turn bounds (as bits), in one
 * constant object per variant. The caller picks the variant, so each step holds only its own. */
typedef struct {
    double pi;
    double two_pi;
    double inv_two_pi;
    double floor_bias;
    uint64_t turn_minus_one;
    uint64_t turn_zero;
    uint64_t turn_one;
    uint64_t turn_two;
} kq_soft_step_constants;

static inline const kq_soft_step_constants* kq_soft_step_constants_dbl(void) {
    static const kq_soft_step_constants constants = {
        KQ_PI_DBL,         KQ_TWO_PI_DBL,         KQ_INV_TWO_PI_DBL,
        KQ_FLOOR_BIAS_DBL, KQ_TURN_MINUS_ONE_DBL, KQ_TURN_ZERO_DBL,
        KQ_TURN_ONE_DBL,   KQ_TURN_TWO_DBL};
    return &constants;
}

static inline const kq_soft_step_constants* kq_soft_step_constants_sgl(void) {
    static const kq_soft_step_constants constants = {
        KQ_PI_SGL,         KQ_TWO_PI_SGL,         KQ_INV_TWO_PI_SGL,
        KQ_FLOOR_BIAS_SGL, KQ_TURN_MINUS_ONE_SGL, KQ_TURN_ZERO_SGL,
        KQ_TURN_ONE_SGL,   KQ_TURN_TWO_SGL};
    return &constants;
}

/* The step's turn count k from u, as the step computes it: t = u * inv_two_pi, t - floor_bias
 * unless t > 0, truncated. */
static inline uint64_t kq_soft_turn_count(uint64_t u, uint64_t inv_two_pi, uint64_t floor_bias) {
    const uint64_t t = kq_b64_mul_valid(u, inv_two_pi);
    return kq_b64_trunc(kq_b64_positive(t) ? t : kq_b64_sub(t, floor_bias));
}

/* The step's u - k * two_pi. Where the turn count is -1, 0 or 1 (between the variant's turn
 * bounds) it is u + two_pi, u or u - two_pi: k * two_pi is exact, and for k = 0 (+0 or -0) the
 * difference is u itself, since u = d + pi is never -0. Elsewhere the whole computation. */
static inline uint64_t kq_soft_unturned(uint64_t u, const kq_soft_step_constants* constants) {
    const uint64_t magnitude = u & ~KQ_B64_SIGN;
    uint64_t z = u;
    int whole = 0;
    if ((u & KQ_B64_SIGN) != 0U) {
        if (magnitude > (constants->turn_zero & ~KQ_B64_SIGN)) {
            if (magnitude <= (constants->turn_minus_one & ~KQ_B64_SIGN)) {
                z = kq_b64_add(u, kq_bits_of(constants->two_pi));
            } else {
                whole = 1;
            }
        }
    } else if (u >= constants->turn_one) {
        if (u < constants->turn_two) {
            z = kq_b64_sub(u, kq_bits_of(constants->two_pi));
        } else {
            whole = 1;
        }
    } else {
        /* k is zero: z is u */
    }
    if (whole != 0) {
        /* k * two_pi for a whole (or infinite, or NaN) k: two_pi is finite and non-zero. */
        const uint64_t k = kq_soft_turn_count(u, kq_bits_of(constants->inv_two_pi),
                                              kq_bits_of(constants->floor_bias));
        z = kq_b64_sub(u, kq_b64_mul_valid(k, kq_bits_of(constants->two_pi)));
    }
    return z;
}

/* The step's new correction S (its output is then S + x) from the difference d = x - v, all
 * values as bits, with the constants of the double or the single variant. */
static inline uint64_t kq_wrap_correction_soft(uint64_t d, uint64_t S, uint64_t cutoff,
                                               const kq_soft_step_constants* constants) {
    const uint64_t pi = kq_bits_of(constants->pi);
    const uint64_t u = kq_b64_add(d, pi);
    uint64_t p = kq_b64_sub(kq_soft_unturned(u, constants), pi);
    uint64_t c;
    uint64_t sum = S;
    /* -pi is neither zero nor a NaN: equal values have equal bits. */
    if ((p == (pi | KQ_B64_SIGN)) && kq_b64_positive(d)) {
        p = pi;
    }
    c = kq_b64_sub(p, d);
    if (kq_b64_less(cutoff, c & ~KQ_B64_SIGN) != 0) {
        sum = kq_b64_add(sum, c);
    }
    return sum;
}

static inline uint64_t kq_wrap_correction_soft_dbl(uint64_t v, uint64_t x, uint64_t S,
                                                   uint64_t cutoff) {
    return kq_wrap_correction_soft(kq_b64_sub(x, v), S, cutoff, kq_soft_step_constants_dbl());
}

/* The single variant: v, x and cutoff binary32 values widened exactly, S binary64. */
static inline uint64_t kq_wrap_correction_soft_sgl(uint64_t v, uint64_t x, uint64_t S,
                                                   uint64_t cutoff) {
    return kq_wrap_correction_soft(kq_b64_sub(x, v), S, cutoff, kq_soft_step_constants_sgl());
}

/* The tests of kq_calm_step_dbl_bits that need no subtraction: true when the high words of v and
 * x alone show the difference calm. */
static inline int kq_calm_by_magnitudes(uint64_t v, uint64_t x) {
    const uint32_t hx = (uint32_t)(x >> 32);
    const uint32_t hv = (uint32_t)(v >> 32);
    const uint32_t ax = hx & 0x7fffffffU;
    const uint32_t av = hv & 0x7fffffffU;
    return ((ax < 0x3ff80000U) && (av < 0x3ff80000U)) ||
           ((((hx ^ hv) & 0x80000000U) == 0U) && (ax < 0x40080000U) && (av < 0x40080000U));
}

/* |d| < 3 (KQ_CALM_STEP) from the bits of the difference d (a NaN lies above). */
static inline int kq_calm_difference(uint64_t d) {
    return ((uint32_t)(d >> 32) & 0x7fffffffU) < 0x40080000U;
}

#endif
