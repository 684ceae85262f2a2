/* IEEE 754 binary64 arithmetic in portable C99 integers, for processors without a binary64 unit:
 * addition, subtraction and multiplication correctly rounded to nearest (ties to even), the
 * comparisons the unwrap step makes, and the conversions between binary32 and binary64. A value
 * is its bits in a uint64_t (a binary32 value in a uint32_t). Subnormal operands and results are
 * computed exactly as the standard says (nothing is flushed to zero).
 *
 * Why: on a Cortex-M0/M3/M4F/M33 and in soft-float builds the compiler turns every binary64
 * operation into a call to its support library, and those routines are not all correctly rounded
 * (GCC 12.2's ARM addition misrounds some sums whose exponents differ by 33). The runtime uses
 * these functions there instead (kq_unwrap_runtime.c, KQ_SOFT_BINARY64), so the bits no longer
 * depend on the toolchain.
 *
 * NaNs follow x86-64's SSE2 arithmetic, the reference the bits are compared with: an operation
 * with a NaN operand returns the first NaN operand (in the order written, a - b: a first) with
 * its quiet bit set and its sign and payload kept; an invalid operation (inf - inf, 0 * inf)
 * returns the default NaN with the sign set, fff8000000000000. The conversions keep sign and
 * payload (binary64 to binary32 keeps the payload's top 22 bits) and set the quiet bit.
 *
 * The algorithms are the classic ones of software floating point: the significand carries ten
 * extra low bits (round bit and sticky bits) through alignment, and rounding and packing happen
 * in one place. The 64 x 64-bit product is built from four 32 x 32-bit products, one instruction
 * each on a 32-bit core. Freestanding: <stdint.h> only; no globals, no floating-point operation. */
#ifndef KQ_SOFT_BINARY64_H
#define KQ_SOFT_BINARY64_H

#include <stdint.h>

#define KQ_B64_SIGN 0x8000000000000000U
#define KQ_B64_INFINITY 0x7FF0000000000000U
#define KQ_B64_QUIET 0x0008000000000000U
#define KQ_B64_FRACTION 0x000FFFFFFFFFFFFFU
#define KQ_B64_HIDDEN 0x0010000000000000U
/* The NaN an invalid operation makes, as x86-64 makes it. */
#define KQ_B64_DEFAULT_NAN 0xFFF8000000000000U

#define KQ_B32_SIGN 0x80000000U
#define KQ_B32_INFINITY 0x7F800000U
#define KQ_B32_QUIET 0x00400000U
#define KQ_B32_FRACTION 0x007FFFFFU

/* The rare cases of an inline operation, out of line. */
#if defined(__GNUC__)
#define KQ_B64_RARE static __attribute__((noinline, unused))
#else
#define KQ_B64_RARE static
#endif

/* Addition (with subtraction) and multiplication are functions of their own, called from every
 * place that needs them: one copy of each keeps a microcontroller's flash small (and costs a
 * call). */
#if defined(__GNUC__)
#define KQ_B64_OPERATION static __attribute__((noinline, unused))
#else
#define KQ_B64_OPERATION static
#endif

/* The bits of a binary32 value and back (the union is the pun the runtime uses for binary64). */
static inline uint32_t kq_b32_bits_of(float value) {
    union {
        float value;
        uint32_t bits;
    } pun;
    pun.value = value;
    return pun.bits;
}

static inline float kq_b32_float_of(uint32_t bits) {
    union {
        float value;
        uint32_t bits;
    } pun;
    pun.bits = bits;
    return pun.value;
}

static inline int kq_b64_is_nan(uint64_t a) {
    return (a & ~KQ_B64_SIGN) > KQ_B64_INFINITY;
}

/* The biased exponent field, 0 to 0x7FF. */
static inline int32_t kq_b64_exponent_field(uint64_t a) {
    const uint32_t field = (uint32_t)(a >> 52) & 0x7FFU;
    return (int32_t)field;
}

/* Leading zeros of a non-zero value. */
static inline uint32_t kq_b64_leading_zeros(uint64_t a) {
#if defined(__GNUC__)
    return (uint32_t)__builtin_clzll(a);
#else
    uint32_t count = 0U;
    uint64_t rest = a;
    if ((rest >> 32) == 0U) {
        count = 32U;
        rest <<= 32;
    }
    while ((rest & KQ_B64_SIGN) == 0U) {
        ++count;
        rest <<= 1;
    }
    return count;
#endif
}

/* The left shift that brings the leading one of a non-zero a below 2^(64 - top) to bit 63 - top:
 * a's leading zeros less top, counted on a << top with bit 0 set. The low one changes no count
 * (the leading one lies at bit top or above) and leaves no value without one, so the count is
 * below 64 for every a, as the shifts it feeds need. */
static inline uint32_t kq_b64_normalising_shift(uint64_t a, uint32_t top) {
    return kq_b64_leading_zeros((a << top) | 1U);
}

/* a >> dist with every bit shifted out ORed into the lowest bit (the sticky bit), on 32-bit
 * halves: a 32-bit core has no 64-bit shift, and the general sequences for one cost about twice
 * as much. */
static inline uint64_t kq_b64_shift_right_jam(uint64_t a, uint32_t dist) {
    uint32_t high = (uint32_t)(a >> 32);
    uint32_t low = (uint32_t)a;
    uint32_t lost;
    if (dist == 0U) {
        lost = 0U;
    } else if (dist < 32U) {
        lost = low << (32U - dist);
        low = (low >> dist) | (high << (32U - dist));
        high >>= dist;
    } else if (dist < 64U) {
        lost = low | ((dist == 32U) ? 0U : (high << (64U - dist)));
        low = high >> (dist - 32U);
        high = 0U;
    } else {
        lost = high | low;
        low = 0U;
        high = 0U;
    }
    return ((uint64_t)high << 32) | low | ((lost != 0U) ? 1U : 0U);
}

/* The NaN an operation with a NaN operand returns: the first NaN operand, quieted. */
static inline uint64_t kq_b64_propagate_nan(uint64_t a, uint64_t b) {
    return (kq_b64_is_nan(a) ? a : b) | KQ_B64_QUIET;
}

/* Rounds sig (its leading one at bit 62, or lower for a subnormal result; ten bits below the
 * result's last) to nearest even and packs it with sign and exp, the biased exponent less one
 * (the leading one carries into the exponent field). Overflow gives an infinity. */
static inline uint64_t kq_b64_round_pack(uint64_t sign, int32_t exp, uint64_t sig) {
    uint64_t z;
    uint64_t s = sig;
    int32_t e = exp;
    if (e < 0) {
        s = kq_b64_shift_right_jam(s, (uint32_t)(-e));
        e = 0;
    }
    if ((e > 0x7FD) || ((e == 0x7FD) && ((s + 0x200U) >= KQ_B64_SIGN))) {
        z = sign | KQ_B64_INFINITY;
    } else {
        const uint32_t round_bits = (uint32_t)s & 0x3FFU;
        s = (s + 0x200U) >> 10;
        if (round_bits == 0x200U) {
            s &= ~(uint64_t)1U; /* a tie: to even */
        }
        if (s == 0U) {
            e = 0;
        }
        z = sign | (((uint64_t)(uint32_t)e << 52) + s);
    }
    return z;
}

/* |a| + |b| with the sign sign (a's), a and b finite or not. */
static inline uint64_t kq_b64_add_magnitudes(uint64_t a, uint64_t b, uint64_t sign) {
    const int32_t exp_a = kq_b64_exponent_field(a);
    const int32_t exp_b = kq_b64_exponent_field(b);
    uint64_t sig_a = a & KQ_B64_FRACTION;
    uint64_t sig_b = b & KQ_B64_FRACTION;
    const int32_t exp_diff = exp_a - exp_b;
    uint64_t z;
    if (exp_diff == 0) {
        if (exp_a == 0) {
            z = a + sig_b; /* two subnormals: exact, a carry makes the smallest normal */
        } else if (exp_a == 0x7FF) {
            z = ((sig_a | sig_b) != 0U) ? kq_b64_propagate_nan(a, b) : a;
        } else {
            z = kq_b64_round_pack(sign, exp_a, ((KQ_B64_HIDDEN * 2U) + sig_a + sig_b) << 9);
        }
    } else if (((exp_diff > 0) ? exp_a : exp_b) == 0x7FF) {
        const uint64_t big = (exp_diff > 0) ? sig_a : sig_b;
        z = (big != 0U) ? kq_b64_propagate_nan(a, b) : (sign | KQ_B64_INFINITY);
    } else {
        int32_t exp_z;
        uint64_t sig_z;
        sig_a <<= 9;
        sig_b <<= 9;
        if (exp_diff < 0) {
            exp_z = exp_b;
            if (exp_a != 0) {
                sig_a += 0x2000000000000000U;
            } else {
                sig_a <<= 1;
            }
            sig_a = kq_b64_shift_right_jam(sig_a, (uint32_t)(-exp_diff));
        } else {
            exp_z = exp_a;
            if (exp_b != 0) {
                sig_b += 0x2000000000000000U;
            } else {
                sig_b <<= 1;
            }
            sig_b = kq_b64_shift_right_jam(sig_b, (uint32_t)exp_diff);
        }
        sig_z = 0x2000000000000000U + sig_a + sig_b;
        if (sig_z < 0x4000000000000000U) {
            --exp_z;
            sig_z <<= 1;
        }
        z = kq_b64_round_pack(sign, exp_z, sig_z);
    }
    return z;
}

/* |a| - |b| with a's sign sign (the result's sign flips when |b| is larger). */
static inline uint64_t kq_b64_subtract_magnitudes(uint64_t a, uint64_t b, uint64_t sign) {
    const int32_t exp_a = kq_b64_exponent_field(a);
    const int32_t exp_b = kq_b64_exponent_field(b);
    uint64_t sig_a = a & KQ_B64_FRACTION;
    uint64_t sig_b = b & KQ_B64_FRACTION;
    const int32_t exp_diff = exp_a - exp_b;
    uint64_t z;
    if (exp_diff == 0) {
        if (exp_a == 0x7FF) {
            z = ((sig_a | sig_b) != 0U) ? kq_b64_propagate_nan(a, b) : KQ_B64_DEFAULT_NAN;
        } else if (sig_a == sig_b) {
            z = 0U; /* x - x is +0 when rounding to nearest */
        } else {
            /* Equal exponents: the difference is exact, so it is only normalised. */
            uint64_t sign_z = sign;
            uint64_t diff;
            int32_t exp_z = (exp_a == 0) ? 0 : (exp_a - 1);
            int32_t shift;
            if (sig_a > sig_b) {
                diff = sig_a - sig_b;
            } else {
                diff = sig_b - sig_a;
                sign_z ^= KQ_B64_SIGN;
            }
            shift = (int32_t)kq_b64_normalising_shift(diff, 11U);
            if (exp_z < shift) {
                shift = exp_z; /* a subnormal result */
                exp_z = 0;
            } else {
                exp_z -= shift;
            }
            z = sign_z | (((uint64_t)(uint32_t)exp_z << 52) + (diff << (uint32_t)shift));
        }
    } else if (((exp_diff > 0) ? exp_a : exp_b) == 0x7FF) {
        const uint64_t big = (exp_diff > 0) ? sig_a : sig_b;
        const uint64_t sign_z = (exp_diff > 0) ? sign : (sign ^ KQ_B64_SIGN);
        z = (big != 0U) ? kq_b64_propagate_nan(a, b) : (sign_z | KQ_B64_INFINITY);
    } else {
        uint64_t sign_z = sign;
        int32_t exp_z;
        uint64_t sig_z;
        uint32_t shift;
        sig_a <<= 10;
        sig_b <<= 10;
        if (exp_diff < 0) {
            sign_z ^= KQ_B64_SIGN;
            if (exp_a != 0) {
                sig_a += 0x4000000000000000U;
            } else {
                sig_a <<= 1;
            }
            sig_a = kq_b64_shift_right_jam(sig_a, (uint32_t)(-exp_diff));
            exp_z = exp_b;
            sig_z = (sig_b | 0x4000000000000000U) - sig_a;
        } else {
            if (exp_b != 0) {
                sig_b += 0x4000000000000000U;
            } else {
                sig_b <<= 1;
            }
            sig_b = kq_b64_shift_right_jam(sig_b, (uint32_t)exp_diff);
            exp_z = exp_a;
            sig_z = (sig_a | 0x4000000000000000U) - sig_b;
        }
        /* The difference has its leading one at bit 62 or 61 (the exponents differ), or lower
         * only when it cancels from a difference of one, where it is exact. */
        if (sig_z >= 0x2000000000000000U) {
            if (sig_z < 0x4000000000000000U) {
                sig_z += sig_z; /* one bit up, without a general 64-bit shift */
                --exp_z;
            }
            z = kq_b64_round_pack(sign_z, exp_z - 1, sig_z);
        } else {
            shift = kq_b64_normalising_shift(sig_z, 1U);
            exp_z -= (int32_t)shift + 1;
            if ((shift >= 10U) && (exp_z >= 0)) {
                const uint32_t up = shift - 10U;
                z = sign_z | (((uint64_t)(uint32_t)exp_z << 52) + (sig_z << up));
            } else {
                z = kq_b64_round_pack(sign_z, exp_z, sig_z << shift);
            }
        }
    }
    return z;
}

/* a + b, correctly rounded to nearest. */
KQ_B64_OPERATION uint64_t kq_b64_add(uint64_t a, uint64_t b) {
    const uint64_t sign = a & KQ_B64_SIGN;
    return (sign == (b & KQ_B64_SIGN)) ? kq_b64_add_magnitudes(a, b, sign)
                                       : kq_b64_subtract_magnitudes(a, b, sign);
}

/* a - b, correctly rounded to nearest: a + (-b), except that a NaN b comes back with its own
 * sign (quieted; a NaN a first). */
static inline uint64_t kq_b64_sub(uint64_t a, uint64_t b) {
    return kq_b64_add(a, kq_b64_is_nan(b) ? b : (b ^ KQ_B64_SIGN));
}

/* The high 64 bits of a * b, with a one ORed in when the low 64 bits are not all zero. */
static inline uint64_t kq_b64_multiply_high_jam(uint64_t a, uint64_t b) {
    const uint32_t a_low = (uint32_t)a;
    const uint32_t a_high = (uint32_t)(a >> 32);
    const uint32_t b_low = (uint32_t)b;
    const uint32_t b_high = (uint32_t)(b >> 32);
    const uint64_t low_low = (uint64_t)a_low * b_low;
    const uint64_t low_high = (uint64_t)a_low * b_high;
    const uint64_t high_low = (uint64_t)a_high * b_low;
    const uint64_t high_high = (uint64_t)a_high * b_high;
    const uint64_t middle = (low_low >> 32) + (uint32_t)low_high + (uint32_t)high_low;
    const uint64_t high = high_high + (low_high >> 32) + (high_low >> 32) + (middle >> 32);
    return high | (((((uint32_t)middle) | (uint32_t)low_low) != 0U) ? 1U : 0U);
}

/* A finite operand's significand with its leading one at bit 52, and its exponent (a subnormal
 * is normalised below 1; a zero gives a zero significand, and so a zero product). */
static inline uint64_t kq_b64_normalised(uint64_t a, int32_t* exp) {
    const int32_t e = kq_b64_exponent_field(a);
    uint64_t sig = a & KQ_B64_FRACTION;
    if (e == 0) {
        const uint32_t shift = kq_b64_normalising_shift(sig, 11U);
        sig <<= shift;
        *exp = 1 - (int32_t)shift;
    } else {
        sig |= KQ_B64_HIDDEN;
        *exp = e;
    }
    return sig;
}

/* a * b, correctly rounded to nearest, where it is not invalid (a zero times an infinity): a zero
 * times a finite value goes through the general case, which gives it exactly. The step's
 * products are all such: each has one of its finite non-zero constants as b. */
KQ_B64_OPERATION uint64_t kq_b64_mul_valid(uint64_t a, uint64_t b) {
    const uint64_t sign = (a ^ b) & KQ_B64_SIGN;
    const uint64_t mag_a = a & ~KQ_B64_SIGN;
    const uint64_t mag_b = b & ~KQ_B64_SIGN;
    uint64_t z;
    if ((mag_a > KQ_B64_INFINITY) || (mag_b > KQ_B64_INFINITY)) {
        z = kq_b64_propagate_nan(a, b);
    } else if ((mag_a == KQ_B64_INFINITY) || (mag_b == KQ_B64_INFINITY)) {
        z = sign | KQ_B64_INFINITY;
    } else {
        int32_t exp_a;
        int32_t exp_b;
        const uint64_t sig_a = kq_b64_normalised(mag_a, &exp_a) << 10;
        const uint64_t sig_b = kq_b64_normalised(mag_b, &exp_b) << 11;
        int32_t exp_z = exp_a + exp_b - 0x3FF;
        uint64_t sig_z = kq_b64_multiply_high_jam(sig_a, sig_b);
        if (sig_z < 0x4000000000000000U) {
            --exp_z;
            sig_z <<= 1;
        }
        z = kq_b64_round_pack(sign, exp_z, sig_z);
    }
    return z;
}

/* a * b, correctly rounded to nearest. */
static inline uint64_t kq_b64_mul(uint64_t a, uint64_t b) {
    const uint64_t mag_a = a & ~KQ_B64_SIGN;
    const uint64_t mag_b = b & ~KQ_B64_SIGN;
    uint64_t z;
    if (((mag_a == 0U) && (mag_b == KQ_B64_INFINITY)) ||
        ((mag_b == 0U) && (mag_a == KQ_B64_INFINITY))) {
        z = KQ_B64_DEFAULT_NAN;
    } else {
        z = kq_b64_mul_valid(a, b);
    }
    return z;
}

/* a < b (false when either is a NaN; -0 and +0 are equal). */
static inline int kq_b64_less(uint64_t a, uint64_t b) {
    int less = 0;
    if (kq_b64_is_nan(a) || kq_b64_is_nan(b)) {
        /* unordered: not less */
    } else if (((a ^ b) & KQ_B64_SIGN) != 0U) {
        if (((a & KQ_B64_SIGN) != 0U) && (((a | b) << 1) != 0U)) {
            less = 1;
        }
    } else if ((a != b) && (((a & KQ_B64_SIGN) != 0U) != (a < b))) {
        less = 1;
    } else {
        /* equal, or a above b */
    }
    return less;
}

/* a > 0 (false for zeros and NaNs). */
static inline int kq_b64_positive(uint64_t a) {
    return (a != 0U) && (a <= KQ_B64_INFINITY);
}

/* Truncation toward zero: the fraction bits below the binary point cleared. |a| < 1 gives a zero
 * of a's sign; |a| >= 2^52, infinities and NaNs come back as they are. */
static inline uint64_t kq_b64_trunc(uint64_t a) {
    const int32_t exponent = kq_b64_exponent_field(a) - 0x3FF;
    uint64_t z;
    if (exponent < 0) {
        z = a & KQ_B64_SIGN;
    } else if (exponent >= 52) {
        z = a;
    } else {
        z = a & ~(KQ_B64_FRACTION >> (uint32_t)exponent);
    }
    return z;
}

/* A binary32 value widened to binary64 (exact; a NaN is quieted, its payload kept): every case. */
KQ_B64_RARE uint64_t kq_b64_from_binary32_any(uint32_t f) {
    const uint32_t sign_bit = f & KQ_B32_SIGN;
    const uint32_t fraction = f & KQ_B32_FRACTION;
    const uint64_t sign = (uint64_t)sign_bit << 32;
    const uint32_t exp = (f >> 23) & 0xFFU;
    const uint64_t frac = (uint64_t)fraction;
    uint64_t z;
    if (exp == 0xFFU) {
        z = sign | KQ_B64_INFINITY | (frac << 29) | ((frac != 0U) ? KQ_B64_QUIET : 0U);
    } else if (exp != 0U) {
        z = sign | (((uint64_t)exp + 0x380U) << 52) | (frac << 29);
    } else if (frac == 0U) {
        z = sign;
    } else {
        /* A subnormal: its leading one, at bit 52 - shift, becomes the hidden bit (at bit 22 it
         * is 2^-127, binary64's exponent field 0x380). */
        const uint32_t shift = kq_b64_normalising_shift(frac, 11U);
        z = sign | (((uint64_t)0x380U + 30U - shift) << 52) | ((frac << shift) & KQ_B64_FRACTION);
    }
    return z;
}

/* The same, a normal value inline: the exponent rebiased, the fraction moved up. */
static inline uint64_t kq_b64_from_binary32(uint32_t f) {
    const uint32_t exp = (f >> 23) & 0xFFU;
    const uint32_t sign = f & KQ_B32_SIGN;
    const uint32_t magnitude = f & ~KQ_B32_SIGN;
    return ((exp - 1U) < 0xFEU)
               ? (((uint64_t)sign << 32) | ((uint64_t)magnitude << 29)) + ((uint64_t)0x380U << 52)
               : kq_b64_from_binary32_any(f);
}

/* A binary64 value rounded to binary32, to nearest even (a NaN is quieted, the top of its payload
 * kept): every case. */
KQ_B64_RARE uint32_t kq_b64_to_binary32_any(uint64_t a) {
    const uint32_t sign = (uint32_t)(a >> 32) & KQ_B32_SIGN;
    const int32_t exp = kq_b64_exponent_field(a);
    const uint64_t frac = a & KQ_B64_FRACTION;
    uint32_t z;
    if (exp == 0x7FF) {
        z = sign | KQ_B32_INFINITY | ((frac != 0U) ? (KQ_B32_QUIET | (uint32_t)(frac >> 29)) : 0U);
    } else if ((exp == 0) && (frac == 0U)) {
        z = sign;
    } else {
        /* 30 significant bits, the leading one at bit 30, the rest sticky; then rounded as
         * kq_b64_round_pack rounds, with seven extra bits. A binary64 subnormal is far below
         * the binary32 range and rounds to zero whatever its leading bit. */
        uint32_t sig =
            (uint32_t)(frac >> 22) | (((frac & 0x3FFFFFU) != 0U) ? 1U : 0U) | 0x40000000U;
        int32_t e = exp - 0x381;
        if (e < 0) {
            sig = (uint32_t)kq_b64_shift_right_jam(sig, (uint32_t)(-e));
            e = 0;
        }
        if ((e > 0xFD) || ((e == 0xFD) && ((sig + 0x40U) >= KQ_B32_SIGN))) {
            z = sign | KQ_B32_INFINITY;
        } else {
            const uint32_t round_bits = sig & 0x7FU;
            sig = (sig + 0x40U) >> 7;
            if (round_bits == 0x40U) {
                sig &= ~1U;
            }
            if (sig == 0U) {
                e = 0;
            }
            z = sign | (((uint32_t)e << 23) + sig);
        }
    }
    return z;
}

/* The same, the common case inline: a normal binary32 result (or one that rounds up to
 * infinity), the top 23 fraction bits rounded on the 29 below them, a carry running into the
 * exponent. */
static inline uint32_t kq_b64_to_binary32(uint64_t a) {
    const uint32_t exp = (uint32_t)(a >> 52) & 0x7FFU;
    uint32_t z;
    if ((exp - 0x381U) <= 0xFDU) {
        const uint32_t low = (uint32_t)a & 0x1FFFFFFFU;
        const uint32_t top = ((exp - 0x380U) << 23) | ((uint32_t)(a >> 29) & KQ_B32_FRACTION);
        uint32_t up = 0U;
        if ((low > 0x10000000U) || ((low == 0x10000000U) && ((top & 1U) != 0U))) {
            up = 1U;
        }
        z = ((uint32_t)(a >> 32) & KQ_B32_SIGN) | (top + up);
    } else {
        z = kq_b64_to_binary32_any(a);
    }
    return z;
}

#endif
