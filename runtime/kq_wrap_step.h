/* The per-sample step of the phase unwrap, in C99: the one source of its arithmetic. The block's
 * C++ kernels (kernels/wrap_correction.h) and the target runtime (kq_unwrap_runtime.c) both call
 * these functions, so the two cannot drift apart.
 *
 * Given the previous raw sample v and the current raw sample x of a channel, and the correction S
 * accumulated so far on that channel, the step reduces the difference d = x - v to its principal
 * value p in [-pi, pi) (an upward step of exactly pi counts as +pi), forms the correction
 * c = p - d (a whole number of turns, up to rounding), adds c to S when cutoff < |c|, and returns
 * the output sample S + x.
 *
 * Every operation is one IEEE 754 binary64 operation, rounded to nearest, in exactly the order
 * written: a mathematically equal formula (such as d - 2*pi*k) gives different bits. The single
 * variant runs the same binary64 arithmetic on binary32 samples, cutoff and constants, all widened
 * exactly; S stays binary64 and the caller rounds what it stores.
 *
 * The bits hold on any processor whose compiler evaluates binary64 expressions in binary64 and
 * does not fuse a multiplication and an addition into one rounding. Compile with
 *     -ffp-contract=off   (and, on 32-bit x86, -msse2 -mfpmath=sse)
 * The guards below stop the build where the first cannot hold and turn contraction off where a
 * pragma can; the flag is still the one to pass, since an inlined step takes its caller's setting.
 *
 * Freestanding: <float.h> and <stdint.h> only; no libm, no globals. */
#ifndef KQ_WRAP_STEP_H
#define KQ_WRAP_STEP_H

#include <float.h>
#include <stdint.h>

/* x87 evaluates in extended precision (FLT_EVAL_METHOD 2): the step would round differently.
 * C99's <float.h> defines FLT_EVAL_METHOD; GCC and clang predefine __FLT_EVAL_METHOD__ in every
 * language mode. Without either, only a compiler older than C99 is refused: a C99 one has the
 * macro, and a static analyser that reads no system header (cppcheck) then sees the code as it is
 * instead of nothing but this error. */
#if defined(FLT_EVAL_METHOD)
#if FLT_EVAL_METHOD != 0
#error "the unwrap step needs FLT_EVAL_METHOD 0: on 32-bit x86 pass -msse2 -mfpmath=sse"
#endif
#elif defined(__FLT_EVAL_METHOD__)
#if __FLT_EVAL_METHOD__ != 0
#error "the unwrap step needs FLT_EVAL_METHOD 0: on 32-bit x86 pass -msse2 -mfpmath=sse"
#endif
#elif !defined(__cplusplus) && (!defined(__STDC_VERSION__) || __STDC_VERSION__ < 199901L)
#error "the unwrap step needs C99 or later"
#endif

/* Contraction into fused multiply-add rounds once where the step rounds twice. GCC ignores the
 * standard pragma but honours its own; clang fuses even in C11 mode unless told otherwise. The
 * C++ block sets -ffp-contract=off for its whole tree (and checks its objects), so the pragmas are
 * for C translation units. clang also keeps every operation the code writes when exceptions may
 * trap: otherwise it folds the conditional addition of the correction into an unconditional one. */
#if !defined(__cplusplus)
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#pragma clang fp contract(off)
#pragma clang fp exceptions(maytrap)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif
#endif

/* The constants, exact binary64 values written as hex floats (a decimal constant may be evaluated
 * in another precision first). 2*pi is exactly twice the rounded pi of the same variant; the floor
 * bias b makes truncation of a non-positive t round downward. */
#define KQ_PI_DBL 0x1.921fb54442d18p+1         /* 3.141592653589793 */
#define KQ_TWO_PI_DBL 0x1.921fb54442d18p+2     /* 6.283185307179586 */
#define KQ_INV_TWO_PI_DBL 0x1.45f306dc9c883p-3 /* 0.15915494309189535 */
#define KQ_FLOOR_BIAS_DBL 0x1.ffffffff24190p-1 /* 0.9999999999 */
/* The single variant's constants: binary32 values, widened exactly. */
#define KQ_PI_SGL 0x1.921fb6p+1         /* 3.1415927f */
#define KQ_TWO_PI_SGL 0x1.921fb6p+2     /* 6.2831855f */
#define KQ_INV_TWO_PI_SGL 0x1.45f306p-3 /* 0.15915494f */
#define KQ_FLOOR_BIAS_SGL 0x1.fffebp-1  /* 0.99999f */

/* A calm difference, |d| < KQ_CALM_STEP: then u = d + pi lies in (0.14, 6.15), so t lies in
 * (0, 1), k is 0 and p = (d + pi) - pi; c = p - d is the rounding residue of those two
 * operations, below 7e-16 since |u| < 8. So no correction is taken when the cutoff is at least
 * KQ_CALM_CUTOFF, and a caller may skip the step there: S stays, and the output is S + x. (This
 * holds for both variants' constants.) */
#define KQ_CALM_STEP 3.0
#define KQ_CALM_CUTOFF 0x1.203af9ee75616p-50 /* 1e-15 */
/* The same test on binary32 samples before they are widened: fl32(x - v) = (x - v)(1 + e) with
 * |e| <= 2^-24 (a difference of two binary32 values that underflows is exact), so
 * |fl32(x - v)| < 2.9 gives |x - v| < 2.9 / (1 - 2^-24) < 2.9000002, and the binary64 difference,
 * rounded from it, is below 3 as well. An overflow gives an infinite fl32(x - v), and a NaN
 * fails the comparison: neither counts as calm. */
#define KQ_CALM_STEP_SGL 2.9f
/* The smallest binary32 value not below KQ_CALM_CUTOFF (the one before it, 0x1.203af8p-50, is
 * below): a binary32 cutoff reaches KQ_CALM_CUTOFF exactly when it reaches this, so the test can
 * run in binary32. */
#define KQ_CALM_CUTOFF_SGL 0x1.203afap-50f

#if defined(__cplusplus)
#include <cstring>
#define KQ_STEP_INLINE inline
#else
#define KQ_STEP_INLINE static inline
#endif

/* The bits of a binary64 value and back. */
KQ_STEP_INLINE uint64_t kq_bits_of(double value) {
#if defined(__cplusplus)
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
#else
    union {
        double value;
        uint64_t bits;
    } pun;
    pun.value = value;
    return pun.bits;
#endif
}

KQ_STEP_INLINE double kq_double_of(uint64_t bits) {
#if defined(__cplusplus)
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
#else
    union {
        double value;
        uint64_t bits;
    } pun;
    pun.bits = bits;
    return pun.value;
#endif
}

/* Truncation toward zero, exact for every binary64 value, without libm: the fraction bits below
 * the binary point are cleared. |t| < 1 gives a zero of t's sign; |t| >= 2^52 is already whole,
 * and an infinity or a NaN comes back as it is (C libraries differ on whether a signalling NaN
 * comes out quiet; the step never uses the bits of a NaN turn count). */
KQ_STEP_INLINE double kq_trunc(double t) {
    const uint64_t bits = kq_bits_of(t);
    const uint32_t biased_exponent = (uint32_t)(bits >> 52) & 0x7ffu;
    const int32_t exponent = (int32_t)biased_exponent - 1023;
    double whole;
    if (exponent < 0) {
        whole = kq_double_of(bits & ~UINT64_C(0x7fffffffffffffff));
    } else if (exponent >= 52) {
        whole = t;
    } else {
        whole = kq_double_of(bits & ~(UINT64_C(0x000fffffffffffff) >> exponent));
    }
    return whole;
}

/* |x| for every binary64 value: the sign bit cleared (a NaN keeps its payload). */
KQ_STEP_INLINE double kq_fabs(double x) {
    return kq_double_of(kq_bits_of(x) & UINT64_C(0x7fffffffffffffff));
}

/* True for a NaN, from the bits: no comparison, which is a library call where binary64 is
 * software. */
KQ_STEP_INLINE int kq_is_nan(double x) {
    return (kq_bits_of(x) & UINT64_C(0x7fffffffffffffff)) > UINT64_C(0x7ff0000000000000);
}

/* True when the binary64 difference x - v lies within (-3, 3) (KQ_CALM_STEP). */
KQ_STEP_INLINE int kq_calm_step_dbl(double v, double x) {
    const double d = x - v;
    return (d < KQ_CALM_STEP) && (d > -KQ_CALM_STEP);
}

/* The same answer from the bits, for processors whose binary64 is software: the high word
 * (sign, exponent, top of the fraction) of |value| is below 0x3ff80000 exactly when |value| < 1.5
 * and below 0x40080000 exactly when |value| < 3, NaNs and infinities lying above both. Two values
 * below 1.5 in magnitude differ by at most 3 - 2^-51, a binary64 value, so the rounded difference
 * stays below 3; two of the same sign below 3 differ by less than the larger, which rounding
 * cannot pass. Wrapped phase mostly meets one of the two, and skips the subtraction; the rest
 * tests the difference on its bits. */
KQ_STEP_INLINE int kq_calm_step_dbl_bits(double v, double x) {
    const uint32_t hx = (uint32_t)(kq_bits_of(x) >> 32);
    const uint32_t hv = (uint32_t)(kq_bits_of(v) >> 32);
    const uint32_t ax = hx & 0x7fffffffu;
    const uint32_t av = hv & 0x7fffffffu;
    return ((ax < 0x3ff80000u) && (av < 0x3ff80000u)) ||
           ((((hx ^ hv) & 0x80000000u) == 0u) && (ax < 0x40080000u) && (av < 0x40080000u)) ||
           (((uint32_t)(kq_bits_of(x - v) >> 32) & 0x7fffffffu) < 0x40080000u);
}

/* cutoff >= KQ_CALM_CUTOFF from the bits, for processors whose binary64 is software: the bits of
 * values from +0 to +inf order as the values do; a negative value has its sign bit set and a NaN
 * lies above +inf, and neither reaches the bound. */
KQ_STEP_INLINE int kq_calm_cutoff_dbl_bits(double cutoff) {
    const uint64_t bits = kq_bits_of(cutoff);
    return (bits >= UINT64_C(0x3cd203af9ee75616)) && (bits <= UINT64_C(0x7ff0000000000000));
}

/* For binary32 samples, in binary32 arithmetic (KQ_CALM_STEP_SGL): when true, the binary64
 * difference of the widened samples lies within (-3, 3). */
KQ_STEP_INLINE int kq_calm_step_sgl(float v, float x) {
    const float d = x - v;
    return (d < KQ_CALM_STEP_SGL) && (d > -KQ_CALM_STEP_SGL);
}

/* The cutoff a Tolerance gives, in binary64 (a single model rounds it to binary32): the value
 * itself when above zero, else its negation, so -0 becomes +0, +0 becomes -0 and a NaN stays a NaN.
 * The one statement of the rule: the block and the Python module call it, and so do the runtime's
 * kq_cutoff_of_tolerance_dbl and _sgl, which the generated code calls (where binary64 is software
 * they apply the same rule to the bits). */
KQ_STEP_INLINE double kq_cutoff_of_tolerance(double tolerance) {
    return (tolerance > 0.0) ? tolerance : -tolerance;
}

/* The step with the constants of one variant. The turn count k stays a binary64 whole number:
 * converting it to an integer would be undefined for differences beyond about 1.35e10 rad and for
 * NaN or infinite ones, and truncation in binary64 equals the 32-bit count wherever that exists. */
KQ_STEP_INLINE double kq_wrap_step_with(double v, double x, double* S, double cutoff, double pi,
                                        double two_pi, double inv_two_pi, double floor_bias) {
    const double d = x - v;
    const double u = d + pi;
    const double t = u * inv_two_pi; /* a multiplication by the stored constant, never a division */
    /* A NaN t also takes the biased branch: the comparison is strict and fails for NaN. */
    const double t_biased = (t > 0.0) ? t : (t - floor_bias);
    const double k = kq_trunc(t_biased);
    double p = (u - (k * two_pi)) - pi;
    if ((p == -pi) && (d > 0.0)) {
        p = pi;
    }
    {
        const double c = p - d;
        /* Strict, on the magnitude of the correction; a NaN c or cutoff leaves S alone. */
        if (cutoff < kq_fabs(c)) {
            *S = *S + c;
        }
    }
    return *S + x;
}

/* One step of the double variant: v, x and cutoff binary64; updates *S and returns S + x. */
KQ_STEP_INLINE double kq_wrap_step_dbl(double v, double x, double* S, double cutoff) {
    return kq_wrap_step_with(v, x, S, cutoff, KQ_PI_DBL, KQ_TWO_PI_DBL, KQ_INV_TWO_PI_DBL,
                             KQ_FLOOR_BIAS_DBL);
}

/* One step of the single variant: v, x and cutoff are binary32 values widened exactly; returns
 * S + x in binary64, which the caller rounds to binary32 when it stores it. */
KQ_STEP_INLINE double kq_wrap_step_sgl(double v, double x, double* S, double cutoff) {
    return kq_wrap_step_with(v, x, S, cutoff, KQ_PI_SGL, KQ_TWO_PI_SGL, KQ_INV_TWO_PI_SGL,
                             KQ_FLOOR_BIAS_SGL);
}

#endif
