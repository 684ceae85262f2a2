// The per-sample step shared by all twelve unwrap kernels.
//
// Given the previous raw sample v and the current raw sample x of a channel, and the correction S
// accumulated so far on that channel, the step reduces the difference d = x - v to its principal
// value p in [-pi, pi) (an upward step of exactly pi counts as +pi), forms the correction
// c = p - d (a whole number of turns, up to rounding), adds c to S when cutoff < |c|, and returns
// the output sample S + x.
//
// The arithmetic is written once, in C99, in runtime/kq_wrap_step.h, which the generated code of
// kqhost generate runs as well; this header gives it the C++ names the kernels use. Every
// operation is one IEEE 754 binary64 operation, rounded to nearest, in exactly the order written: a
// mathematically equal formula (such as d - 2*pi*k) gives different bits. The single-precision
// variant runs the same binary64 arithmetic on its binary32 samples, cutoff and constants, all
// widened exactly; S stays binary64 and the caller rounds what it stores.
//
// Example (double): v = 4, x = 0, S = 0, cutoff pi gives S = 6.283185307179586 and returns
// 6.283185307179586.
#ifndef KQ_KERNELS_WRAP_CORRECTION_H
#define KQ_KERNELS_WRAP_CORRECTION_H

#include <type_traits>

#include "runtime/kq_wrap_step.h"

namespace kq {

// The constants of one precision variant, as binary64 values (runtime/kq_wrap_step.h). 2*pi is
// exactly twice the rounded pi of the same variant. The floor bias b makes truncation of a
// non-positive t round downward.
template <typename T>
struct WrapConstants;

template <>
struct WrapConstants<double> {
    static constexpr double kPi = KQ_PI_DBL;
    static constexpr double kNegPi = -KQ_PI_DBL;
    static constexpr double kTwoPi = KQ_TWO_PI_DBL;
    static constexpr double kInvTwoPi = KQ_INV_TWO_PI_DBL;
    static constexpr double kFloorBias = KQ_FLOOR_BIAS_DBL;
};

// The binary32 values, widened exactly: the single variant must not see the binary64 constants.
template <>
struct WrapConstants<float> {
    static constexpr double kPi = KQ_PI_SGL;
    static constexpr double kNegPi = -KQ_PI_SGL;
    static constexpr double kTwoPi = KQ_TWO_PI_SGL;
    static constexpr double kInvTwoPi = KQ_INV_TWO_PI_SGL;
    static constexpr double kFloorBias = KQ_FLOOR_BIAS_SGL;
};

static_assert(WrapConstants<double>::kPi == 3.141592653589793);
static_assert(WrapConstants<double>::kTwoPi == 2.0 * WrapConstants<double>::kPi);
static_assert(WrapConstants<double>::kNegPi == -WrapConstants<double>::kPi);
static_assert(WrapConstants<double>::kInvTwoPi == 0.15915494309189535);
static_assert(WrapConstants<double>::kFloorBias == 0.9999999999);
static_assert(WrapConstants<float>::kPi == static_cast<double>(3.1415927f));
static_assert(WrapConstants<float>::kPi == 3.1415927410125732421875);
static_assert(WrapConstants<float>::kTwoPi == 2.0 * WrapConstants<float>::kPi);
static_assert(WrapConstants<float>::kInvTwoPi == static_cast<double>(0.15915494f));
static_assert(WrapConstants<float>::kInvTwoPi == 0.15915493667125701904296875);
static_assert(WrapConstants<float>::kFloorBias == static_cast<double>(0.99999f));
static_assert(WrapConstants<float>::kFloorBias == 0.999989986419677734375);

// A calm difference, |d| < kCalmStep, takes no correction when the cutoff is at least kCalmCutoff
// (the proof is beside KQ_CALM_STEP), so a caller may skip the step there: S stays, and the
// output is S + x. This holds for both precisions' constants.
inline constexpr double kCalmStep = KQ_CALM_STEP;
inline constexpr double kCalmCutoff = KQ_CALM_CUTOFF;
static_assert(kCalmCutoff == 1e-15);

// One step for a sample of data type T (double or float). v, x and cutoff are the raw values of
// type T widened exactly; S is updated in place. Returns y = S + x in binary64, which the caller
// rounds to T when it stores it. NaN and infinite differences leave S unchanged. The arithmetic is
// that of runtime/kq_wrap_step.h, which the generated code runs too.
template <typename T>
inline double wrapCorrection(double v, double x, double& S, double cutoff) {
    static_assert(std::is_same_v<T, double> || std::is_same_v<T, float>);
    if constexpr (std::is_same_v<T, double>) {
        return kq_wrap_step_dbl(v, x, &S, cutoff);
    } else {
        return kq_wrap_step_sgl(v, x, &S, cutoff);
    }
}

}  // namespace kq

#endif
