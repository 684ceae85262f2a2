// The per-sample step shared by all twelve unwrap kernels.
//
// Given the previous raw sample v and the current raw sample x of a channel, and the correction S
// accumulated so far on that channel, the step reduces the difference d = x - v to its principal
// value p in [-pi, pi) (an upward step of exactly pi counts as +pi), forms the correction
// c = p - d (a whole number of turns, up to rounding), adds c to S when cutoff < |c|, and returns
// the output sample S + x.
//
// Every operation below is one IEEE 754 binary64 operation, rounded to nearest, in exactly the
// order written: a mathematically equal formula (such as d - 2*pi*k) gives different bits. The
// single-precision variant runs the same binary64 arithmetic on its binary32 samples, cutoff and
// constants, all widened exactly; S stays binary64 and the caller rounds what it stores.
//
// Example (double): v = 4, x = 0, S = 0, cutoff pi gives S = 6.283185307179586 and returns
// 6.283185307179586.
#ifndef KQ_KERNELS_WRAP_CORRECTION_H
#define KQ_KERNELS_WRAP_CORRECTION_H

#include <cmath>

// The constants of one precision variant, as binary64 values. 2*pi is exactly twice the rounded pi
// of the same variant. The floor bias b makes truncation of a non-positive t round downward.
template <typename T>
struct WrapConstants;

template <>
struct WrapConstants<double> {
    static constexpr double kPi = 3.141592653589793;
    static constexpr double kNegPi = -3.141592653589793;
    static constexpr double kTwoPi = 6.283185307179586;
    static constexpr double kInvTwoPi = 0.15915494309189535;
    static constexpr double kFloorBias = 0.9999999999;
};

// The binary32 values, widened exactly: the single variant must not see the binary64 constants.
template <>
struct WrapConstants<float> {
    static constexpr double kPi = static_cast<double>(3.1415927f);
    static constexpr double kNegPi = -static_cast<double>(3.1415927f);
    static constexpr double kTwoPi = static_cast<double>(6.2831855f);
    static constexpr double kInvTwoPi = static_cast<double>(0.15915494f);
    static constexpr double kFloorBias = static_cast<double>(0.99999f);
};

static_assert(WrapConstants<double>::kTwoPi == 2.0 * WrapConstants<double>::kPi);
static_assert(WrapConstants<double>::kNegPi == -WrapConstants<double>::kPi);
static_assert(WrapConstants<float>::kPi == 3.1415927410125732421875);
static_assert(WrapConstants<float>::kTwoPi == 2.0 * WrapConstants<float>::kPi);
static_assert(WrapConstants<float>::kInvTwoPi == 0.15915493667125701904296875);
static_assert(WrapConstants<float>::kFloorBias == 0.999989986419677734375);

// A calm difference, |d| < kCalmStep: then u = d + pi lies in (0.14, 6.15), so t lies in (0, 1), k
// is 0 and p = (d + pi) - pi; c = p - d is the rounding residue of those two operations, below
// 7e-16 since |u| < 8. So no correction is taken when the cutoff is at least kCalmCutoff, and a
// caller may skip the step there: S stays, and the output is S + x. (This holds for both
// precisions' constants.)
inline constexpr double kCalmStep = 3.0;
inline constexpr double kCalmCutoff = 1e-15;

// One step for a sample of data type T (double or float). v, x and cutoff are the raw values of
// type T widened exactly; S is updated in place. Returns y = S + x in binary64, which the caller
// rounds to T when it stores it. NaN and infinite differences leave S unchanged.
template <typename T>
inline double wrapCorrection(double v, double x, double& S, double cutoff) {
    using C = WrapConstants<T>;
    const double d = x - v;
    const double u = d + C::kPi;
    const double t = u * C::kInvTwoPi;
    // A NaN t also takes the biased branch: the comparison is strict and fails for NaN.
    const double tBiased = (t > 0.0) ? t : t - C::kFloorBias;
    // The turn count stays a binary64 whole number: converting it to a 32-bit integer would be
    // undefined for differences beyond about 1.35e10 rad and for NaN or infinite ones. Truncation
    // in binary64 is exact for every value and equals the 32-bit count wherever that one exists.
    const double k = std::trunc(tBiased);
    double p = (u - k * C::kTwoPi) - C::kPi;
    if (p == C::kNegPi && d > 0.0) {
        p = C::kPi;
    }
    const double c = p - d;
    // Strict, on the magnitude of the correction; a NaN c or cutoff fails it and leaves S alone.
    if (cutoff < std::fabs(c)) {
        S = S + c;
    }
    return S + x;
}

#endif
