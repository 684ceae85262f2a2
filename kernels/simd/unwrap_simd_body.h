// The bodies of the vector kernels, written once over a lane set L (the operations of one vector
// level on binary64 lanes: kernels/simd/lanes_avx2.h, lanes_avx512.h, lanes_neon.h) and the data
// type T. They give the same bits as the scalar kernels of unwrap_stateless.cpp and
// unwrap_running.cpp.
//
// Why the bits agree: every operation of the step (wrap_correction.h) is an elementwise IEEE
// binary64 operation, so doing it in lanes, in the same order and with the same operands, gives
// each lane the bits of the scalar step. The single kernels widen binary32 samples exactly to
// binary64 and round each stored value with the default rounding, as static_cast does. Only the
// correction S accumulated along a channel is sequential, and S changes only where a correction
// is taken: a block of lanes without a take adds the same S to every sample, and a block with
// takes applies them one after the other, in lane order, exactly as the scalar loop does.
// Two shortcuts skip operations whose results are known beforehand (see StepConstants): a calm
// difference takes no correction, and a difference of about one turn has k = +-1 and no tie-break.
// Channels shorter than a block go to the scalar kernels.
//
// The helpers of a block are always inlined: out of line, the constants of the step would have to
// be stored to memory for every call.
//
// Every template here takes the lane set L, which each level's translation unit defines in its
// own unnamed namespace: so every instantiation is local to the code compiled for that level, and
// the linker can never hand a vector-compiled copy of a shared function to the scalar path.
#ifndef KQ_KERNELS_SIMD_UNWRAP_SIMD_BODY_H
#define KQ_KERNELS_SIMD_UNWRAP_SIMD_BODY_H

#include <cstddef>
#include <cstdint>

#include "kernels/first_step.h"
#include "kernels/kernel_list.h"
#include "kernels/wrap_correction.h"

namespace unwrap_simd {

namespace {

// The scalar kernel of a copying form, for calls whose channels are shorter than one block: there,
// setting up the lanes and the partial loads and stores cost more than the samples themselves.
// The copy kernels also work in place.
template <KernelForm F, typename T>
inline constexpr KernelFn<F, T>* kScalarFallback = ScalarKernel<F, T>::fn;

}  // namespace

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
          cutoff(L::broadcast(cut)),
          calmBelow(L::broadcast(cut >= kCalmCutoff ? kCalmStep : 0.0)),
          oneTurnAbove(L::broadcast(kOneTurnLow)),
          oneTurnBelow(L::broadcast(kOneTurnHigh)),
          calmRawBelow(L::broadcastRaw(static_cast<T>(cut >= kCalmCutoff ? kCalmRawStep : 0.0))) {}

    // A calm difference, |d| < 3: then u = d + pi lies in (0.14, 6.15), so t lies in (0, 1), k is
    // 0 and p = (d + pi) - pi; c = p - d is the rounding residue of those two operations, below
    // 7e-16 since |u| < 8. So no correction is taken when the cutoff is at least 1e-15; with a
    // smaller (or NaN) cutoff no difference counts as calm.
    static constexpr double kCalmStep = 3.0;
    static constexpr double kCalmCutoff = 1e-15;
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

    Vec pi, negPi, twoPi, invTwoPi, floorBias, zero, cutoff, calmBelow, oneTurnAbove, oneTurnBelow;
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
[[gnu::always_inline]] inline unsigned takenCorrections(typename L::Vec d,
                                                        const StepConstants<L, T>& k, unsigned live,
                                                        typename L::Vec& c) {
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

// Applies the takes (a non-empty set of lanes) of one block in lane order. On entry every lane
// of S holds the correction before the block; on return every lane holds the correction after
// it, and the result holds for each lane the correction its own output uses. Every lane of the
// running sum adds the corrections one at a time in lane order, as the scalar loop does; the
// per-lane result only copies from it, so the chain from one block to the next is the additions
// alone.
template <typename L>
[[gnu::always_inline]] inline typename L::Vec applyTakes(typename L::Vec& S, typename L::Vec c,
                                                         unsigned takes) {
    using Vec = typename L::Vec;
    Vec sum = S;
    Vec perLane = S;
    do {
        const unsigned lane = static_cast<unsigned>(__builtin_ctz(takes));
        sum = L::add(sum, L::broadcastLane(c, lane));
        perLane = L::select(L::lanesFrom(lane), sum, perLane);
        takes &= takes - 1;
    } while (takes != 0);
    S = sum;
    return perLane;
}

// One channel of n samples at in[0..n-1], out[0..n-1], after the raw sample v and with the
// correction s accumulated before it; returns the correction after the channel. Each block's raw
// samples are loaded before its outputs are stored, and the previous raw samples come from the
// block before, held in a register: so `in` may equal `out`.
template <typename L, typename T>
double unwrapAlong(const T* in, T* out, int32_t n, T v, double s, double cutoff) {
    using Vec = typename L::Vec;
    constexpr int32_t W = L::kLanes;
    constexpr unsigned kAll = (1u << W) - 1u;
    const StepConstants<L, T> k(cutoff);
    Vec S = L::broadcast(s);
    // The samples as stored; the last lane of `before` is the previous sample.
    auto before = L::broadcastRaw(v);
    int32_t i = 0;
    for (; i + W <= n; i += W) {
        const auto raw = L::loadRaw(in + i);
        const auto rawBefore = L::shiftInRaw(before, raw);
        before = raw;
        const Vec x = L::widen(raw);
        Vec perLane = S;
        // The calm test runs on the stored samples, which in single precision is half the work.
        if (L::calmBits(raw, rawBefore, k.calmRawBelow) != kAll) {
            Vec c = S;  // set where a correction is taken
            const unsigned takes =
                takenCorrections<L, T>(L::sub(x, L::widen(rawBefore)), k, kAll, c);
            if (takes != 0) {
                perLane = applyTakes<L>(S, c, takes);
            }
        }
        L::store(out + i, L::add(perLane, x));
    }
    if (i < n) {
        // The last, partial block: lanes past the end read as zero, take nothing, store nothing.
        const int32_t count = n - i;
        const auto raw = L::loadRawFirst(in + i, count);
        const Vec x = L::widen(raw);
        Vec c = S;
        const unsigned takes = takenCorrections<L, T>(
            L::sub(x, L::widen(L::shiftInRaw(before, raw))), k, (1u << count) - 1u, c);
        const Vec perLane = takes != 0 ? applyTakes<L>(S, c, takes) : S;
        L::storeFirst(out + i, L::add(perLane, x), count);
    }
    return L::firstLane(S);
}

// The stateless kernels: every channel starts from a zero correction; sample 0 passes through.
template <typename L, typename T>
void unwrapStateless(const T* in, T* out, T cutoff, int32_t numChans, int32_t frameLen) {
    if (numChans <= 0 || frameLen <= 0) {
        return;
    }
    if (frameLen <= L::kLanes) {
        kScalarFallback<KernelForm::StatelessCopy, T>(in, out, cutoff, numChans, frameLen);
        return;
    }
    for (int32_t j = 0; j < numChans; ++j) {
        const std::ptrdiff_t base = static_cast<std::ptrdiff_t>(j) * frameLen;
        const T v = in[base];
        out[base] = v;
        unwrapAlong<L, T>(in + base + 1, out + base + 1, frameLen - 1, v, 0.0, cutoff);
    }
}

// The running per-channel kernels: as the scalar ones, with each channel run by unwrapAlong.
template <typename L, typename T>
void unwrapRunningFrame(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numChans,
                        int32_t frameLen, uint8_t* firstStep) {
    if (frameLen < L::kLanes) {
        kScalarFallback<KernelForm::RunningFrameCopy, T>(in, out, prev, cumsum, cutoff, numChans,
                                                         frameLen, firstStep);
        return;
    }
    seedFirstStep(in, prev, cumsum, numChans, frameLen, firstStep);
    if (frameLen <= 0) {
        return;
    }
    for (int32_t j = 0; j < numChans; ++j) {
        const std::ptrdiff_t base = static_cast<std::ptrdiff_t>(j) * frameLen;
        // Read before the channel is unwrapped: in place, its position is overwritten.
        const T last = in[base + frameLen - 1];
        const double s =
            unwrapAlong<L, T>(in + base, out + base, frameLen, prev[j], cumsum[j], cutoff);
        prev[j] = last;
        cumsum[j] = static_cast<T>(s);
    }
}

// The running per-element kernels: the elements are independent channels, so the lanes are too;
// each lane adds its correction only where its own step takes one.
template <typename L, typename T>
void unwrapRunningSample(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numElems,
                         uint8_t* firstStep) {
    using Vec = typename L::Vec;
    constexpr int32_t W = L::kLanes;
    if (numElems < W) {
        kScalarFallback<KernelForm::RunningSampleCopy, T>(in, out, prev, cumsum, cutoff, numElems,
                                                          firstStep);
        return;
    }
    seedFirstStep(in, prev, cumsum, numElems, 1, firstStep);
    const StepConstants<L, T> k(cutoff);
    constexpr unsigned kAll = (1u << W) - 1u;
    int32_t i = 0;
    for (; i + W <= numElems; i += W) {
        // The raw samples become the next call's Prev unchanged: a widened and narrowed binary32
        // NaN would lose its signalling bit.
        const auto raw = L::loadRaw(in + i);
        const auto rawPrev = L::loadRaw(prev + i);
        const Vec x = L::widen(raw);
        const Vec S = L::load(cumsum + i);
        Vec c = S;  // set where a correction is taken
        const unsigned takes =
            L::calmBits(raw, rawPrev, k.calmRawBelow) == kAll
                ? 0
                : takenCorrections<L, T>(L::sub(x, L::widen(rawPrev)), k, kAll, c);
        const Vec after = L::select(L::fromBits(takes), L::add(S, c), S);
        L::store(out + i, L::add(after, x));
        L::storeRaw(prev + i, raw);
        L::store(cumsum + i, after);
    }
    if (i < numElems) {
        const int32_t count = numElems - i;
        const auto raw = L::loadRawFirst(in + i, count);
        const Vec x = L::widen(raw);
        const Vec S = L::loadFirst(cumsum + i, count);
        Vec c = S;
        const unsigned takes = takenCorrections<L, T>(L::sub(x, L::loadFirst(prev + i, count)), k,
                                                      (1u << count) - 1u, c);
        const Vec after = L::select(L::fromBits(takes), L::add(S, c), S);
        L::storeFirst(out + i, L::add(after, x), count);
        L::storeRawFirst(prev + i, raw, count);
        L::storeFirst(cumsum + i, after, count);
    }
}

// A kernel of form F on its own arguments, run by the body of its shape: an in-place kernel's one
// buffer is the body's input and output.
template <typename L, KernelShape S, typename T, class... Rest>
[[gnu::always_inline]] inline void runShape(const T* in, T* out, Rest... rest) {
    if constexpr (S == KernelShape::Stateless) {
        unwrapStateless<L, T>(in, out, rest...);
    } else if constexpr (S == KernelShape::RunningSample) {
        unwrapRunningSample<L, T>(in, out, rest...);
    } else {
        unwrapRunningFrame<L, T>(in, out, rest...);
    }
}

template <typename L, KernelForm F, typename T, class First, class... Rest>
[[gnu::always_inline]] inline void runInForm(First first, Rest... rest) {
    if constexpr (isInPlace(F)) {
        runShape<L, shapeOf(F), T>(first, first, rest...);
    } else {
        runShape<L, shapeOf(F), T>(first, rest...);
    }
}

}  // namespace unwrap_simd

#endif
