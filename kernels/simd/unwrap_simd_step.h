// The step of the vector kernels, written once over a lane set L (the operations of one vector
// level on binary64 lanes: kernels/simd/lanes_avx2.h, lanes_avx512.h, lanes_neon.h) and the data
// type T: its constants and the corrections of a block of lanes, shared by every strategy
// (unwrap_simd_along.h, unwrap_simd_side_by_side.h, unwrap_simd_rows.h).
//
// Why the bits agree: every operation of the step (wrap_correction.h) is an elementwise IEEE
// binary64 operation, so doing it in lanes, in the same order and with the same operands, gives
// each lane the bits of the scalar step. The single kernels widen binary32 samples exactly to
// binary64 and round each stored value with the default rounding, as static_cast does. Only the
// correction S accumulated along a channel is sequential, and S changes only where a correction
// is taken. Two shortcuts skip operations whose results are known beforehand (see StepConstants):
// a calm difference takes no correction, and a difference of about one turn has k = +-1 and no
// tie-break.
//
// The helpers of a block are always inlined: out of line, the constants of the step would have to
// be stored to memory for every call.
//
// Every template here takes the lane set L, which each level's translation unit defines in its
// own unnamed namespace: so every instantiation is local to the code compiled for that level, and
// the linker can never hand a vector-compiled copy of a shared function to the scalar path.
#ifndef KQ_KERNELS_SIMD_UNWRAP_SIMD_STEP_H
#define KQ_KERNELS_SIMD_UNWRAP_SIMD_STEP_H

#include <cstdint>

#include "kernels/wrap_correction.h"

namespace kq::simd {

// The constants of the step for data type T, the cutoff, and the bounds of the shortcuts below,
// in every lane.
template <typename L, typename T>
struct StepConstants {
    using C = WrapConstants<T>;
    using Vec = typename L::Vec;

    explicit StepConstants(double cut)
        : pi(L::broadcast(C::kPi)),
          negPi(L::broadcast(C::kNegPi)),
          twoPi(L::broadcast(C::kTwoPi)),
          invTwoPi(L::broadcast(C::kInvTwoPi)),
          floorBias(L::broadcast(C::kFloorBias)),
          zero(L::broadcast(0.0)),
          negZero(L::broadcast(-0.0)),
          cutoff(L::broadcast(cut)),
          calmBelow(L::broadcast(cut >= kCalmCutoff ? kCalmStep : 0.0)),
          oneTurnAbove(L::broadcast(kOneTurnLow)),
          oneTurnBelow(L::broadcast(kOneTurnHigh)),
          calmLimit(L::broadcast(kCalmLimit)),
          calmRawBelow(L::broadcastRaw(static_cast<T>(cut >= kCalmCutoff ? kCalmRawStep : 0.0))) {}

    // A calm difference (kernels/wrap_correction.h) takes no correction; with a cutoff below
    // kCalmCutoff (or NaN) no difference counts as calm.
    static constexpr double kCalmStep = kq::kCalmStep;
    static constexpr double kCalmCutoff = kq::kCalmCutoff;
    // The same test made on the samples as stored, before they are widened: a binary32 difference
    // below 2.9 in magnitude is within 2.9 * (1 + 2^-24) of the exact one, so the binary64
    // difference is below 3 as well. (In double this is the test above.)
    static constexpr double kCalmRawStep = sizeof(T) == sizeof(double) ? kCalmStep : 2.9;
    // A one-turn difference, pi + 1e-3 < |d| < 3pi - 1e-3: then t lies in (1, 2) for d > 0 and in
    // (-1, 0) for d < 0, where t - b lies in (-2, -1) since the margin keeps t below -1.5e-4,
    // far from the bias window (1e-10 in double, 1e-5 in single). So k is +1 or -1, k * 2pi is
    // +2pi or -2pi exactly, and p, about d - 2pi k, stays more than 1e-3 away from -pi: the
    // tie-break never applies. The margins hold for both precisions' constants.
    static constexpr double kOneTurnLow = 3.141592653589793 + 1e-3;
    static constexpr double kOneTurnHigh = 3 * 3.141592653589793 - 1e-3;
    // The bound on |p| of turnsExact.
    static constexpr double kCalmLimit = 3.1415;

    Vec pi, negPi, twoPi, invTwoPi, floorBias, zero, negZero, cutoff, calmBelow, oneTurnAbove,
        oneTurnBelow, calmLimit;
    decltype(L::broadcastRaw(T{})) calmRawBelow;
};

// wrapCorrection up to the correction, lane by lane, for differences d = x - v: sets c and
// returns the lanes where cutoff < |c|. The operations and their operand order are those of the
// scalar step; every comparison is ordered and quiet, so a NaN compares false as it does there.
template <typename L, typename T>
[[gnu::always_inline]] inline typename L::Cmp fullCorrection(typename L::Vec d,
                                                             const StepConstants<L, T>& k,
                                                             typename L::Vec& c) {
    using Vec = typename L::Vec;
    const Vec u = L::add(d, k.pi);
    const Vec t = L::mul(u, k.invTwoPi);
    const Vec tBiased = L::select(L::greater(t, k.zero), t, L::sub(t, k.floorBias));
    const Vec turns = L::truncate(tBiased);
    Vec p = L::sub(L::sub(u, L::mul(turns, k.twoPi)), k.pi);
    p = L::select(L::both(L::equal(p, k.negPi), L::greater(d, k.zero)), k.pi, p);
    c = L::sub(p, d);
    return L::less(k.cutoff, L::abs(c));
}

// The same for lanes whose difference is one turn (see StepConstants): k * 2pi is 2pi with the
// sign of d, and the tie-break never applies, so the remaining operations give the bits of the
// full step. Other lanes get a meaningless c and must be masked out by the caller.
template <typename L, typename T>
[[gnu::always_inline]] inline typename L::Cmp oneTurnCorrection(typename L::Vec d,
                                                                const StepConstants<L, T>& k,
                                                                typename L::Vec& c) {
    using Vec = typename L::Vec;
    const Vec u = L::add(d, k.pi);
    const Vec p = L::sub(L::sub(u, L::copySign(k.twoPi, d)), k.pi);
    c = L::sub(p, d);
    return L::less(k.cutoff, L::abs(c));
}

// The lanes (of those in `live`) that take a correction, as bits, and their corrections in c.
// Most blocks of real phase data are calm throughout and cost three operations; the others are
// calm or one turn in every lane, which skips the floor and the tie-break; anything else (NaN,
// infinities, steps near pi or beyond 3pi) runs the full step.
template <typename L, typename T>
[[gnu::always_inline]] inline unsigned takingLanes(typename L::Vec d, const StepConstants<L, T>& k,
                                                   unsigned live, typename L::Vec& c) {
    constexpr unsigned kAll = (1u << L::kLanes) - 1u;
    const typename L::Vec a = L::abs(d);
    const unsigned calm = L::bits(L::less(a, k.calmBelow)) | (kAll & ~live);
    if (calm == kAll) {
        return 0;
    }
    const unsigned oneTurn =
        L::bits(L::both(L::greater(a, k.oneTurnAbove), L::less(a, k.oneTurnBelow)));
    if ((calm | oneTurn) == kAll) {
        return L::bits(oneTurnCorrection<L, T>(d, k, c)) & oneTurn & live;
    }
    return L::bits(fullCorrection<L, T>(d, k, c)) & live;
}

// The corrections c of differences d of magnitude a (= |d|), taking k = 0 up to one turn and
// k = +-1 beyond it, and the lanes that take them; the principal values p go to `bounds`.
// Where that k is the step's own and the tie-break does not apply, the remaining operations give
// the bits of the full step, whatever the cutoff: k * 2pi is +0 or 2pi with the sign of d, exactly.
// Where it is not (|d| near pi, from near 3pi on, infinite), |p| comes out at least pi - 1e-9
// (see TurnBounds). A NaN difference gives a NaN correction and no take, as in the full step.
// No branch: in dense wraps whether a block is calm throughout is a coin toss.
template <typename L, typename T>
[[gnu::always_inline]] inline typename L::Cmp turnCorrections(typename L::Vec d, typename L::Vec a,
                                                              const StepConstants<L, T>& k,
                                                              typename L::Vec& c,
                                                              typename L::Vec& bounds) {
    const typename L::Vec turn =
        L::select(L::greater(a, k.oneTurnAbove), L::copySign(k.twoPi, d), k.zero);
    const typename L::Vec p = L::sub(L::sub(L::add(d, k.pi), turn), k.pi);
    bounds = L::max(L::abs(p), bounds);
    c = L::sub(p, d);
    return L::less(k.cutoff, L::abs(c));
}

// Whether turnCorrections gave the full step's bits in every lane, from the largest |p| it saw
// (NaN principal values are left out by max and need no check).
// - k = 0 for |d| <= pi + 1e-3: right for |d| < pi - 1e-9 (u = d + pi in (1e-9, 2pi - 1e-9), so t
//   in (0, 1) for both precisions' constants, and p = (d + pi) - pi is not -pi). Otherwise
//   |p| = |(d + pi) - pi| >= pi - 1e-9.
// - k = +-1 for |d| > pi + 1e-3: t in [1, 2) for d > 0; for d < 0, t < -1.5e-4, below the bias
//   window (1e-10 in double, 1e-5 in single), and t - b > -2 holds down to d = -3pi. Where k
//   is larger, |d| is about 3pi or more and |p| = |d - 2pi k'| >= pi - 1e-9 (k' = +-1). p stays
//   more than 1e-3 from -pi where k is right, so the tie-break never applies.
// So every lane was right when the largest |p| is below kCalmLimit, which is below pi - 1e-9
// for both precisions' pi; a right lane above it only costs a second, full pass.
template <typename L, typename T>
[[gnu::always_inline]] inline bool turnsExact(typename L::Vec bounds,
                                              const StepConstants<L, T>& k) {
    constexpr unsigned kAll = (1u << L::kLanes) - 1u;
    return L::bits(L::less(bounds, k.calmLimit)) == kAll;
}

}  // namespace kq::simd

#endif
