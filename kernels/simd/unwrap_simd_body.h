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
// is taken. Two shortcuts skip operations whose results are known beforehand (see StepConstants):
// a calm difference takes no correction, and a difference of about one turn has k = +-1 and no
// tie-break.
//
// Two ways keep the additions of a channel in order without a branch per block:
// - One channel (unwrapAlong) goes in chunks of a few blocks: the lanes find the corrections of
//   the chunk and pack the taken ones in order; a scalar loop adds them to S one at a time, as
//   the scalar kernel does, and records S after each; the lanes then give every sample the S of
//   the last take at or before it. The only sequential work is one addition per take.
// - Channels side by side (unwrapSideBySide), as many as there are lanes: lane l is channel l,
//   and every sample adds to its lane's S either its taken correction or -0.0. x + (-0.0) is x
//   for every x but a signalling NaN (+0 and -0 included, under the default rounding), so a
//   lane's S takes the scalar values; a signalling NaN can only be the state a call starts from,
//   and a group whose state holds a NaN goes channel by channel instead.
// Calls whose channels are shorter than a block, and fewer channels than lanes, go to the
// scalar kernels.
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
          negZero(L::broadcast(-0.0)),
          cutoff(L::broadcast(cut)),
          calmBelow(L::broadcast(cut >= kCalmCutoff ? kCalmStep : 0.0)),
          oneTurnAbove(L::broadcast(kOneTurnLow)),
          oneTurnBelow(L::broadcast(kOneTurnHigh)),
          calmLimit(L::broadcast(kCalmLimit)),
          calmRawBelow(L::broadcastRaw(static_cast<T>(cut >= kCalmCutoff ? kCalmRawStep : 0.0))) {}

    // A calm difference (kernels/wrap_correction.h) takes no correction; with a cutoff below
    // kCalmCutoff (or NaN) no difference counts as calm.
    static constexpr double kCalmStep = ::kCalmStep;
    static constexpr double kCalmCutoff = ::kCalmCutoff;
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

// The raw (stored) samples of one block, as the lane set loads them.
template <typename L, typename T>
using RawBlock = decltype(L::loadRaw(static_cast<const T*>(nullptr)));

// Blocks per chunk of unwrapAlong: enough that the loop over the chunk's takes runs long between
// its exits, few enough that the chunk's buffers stay small.
inline constexpr int32_t kChunkBlocks = 32;

// The buffers of one chunk of unwrapAlong.
template <typename L>
struct Chunk {
    static constexpr int32_t kSamples = kChunkBlocks * L::kLanes;
    int32_t blocks = 0;
    int32_t count = 0;             // corrections taken
    unsigned takes[kChunkBlocks];  // the lanes that take one, by block
    double taken[kSamples];        // the corrections taken, in order
    // sums[t]: the correction after the chunk's first t takes. spreadTaken reads up to W - 1
    // values past the last one written; zeroed once, so they are never unset.
    double sums[kSamples + L::kLanes];
};

// The first pass over a chunk at in[0..]: finds the corrections of its blocks and packs the
// taken ones in order. `before` holds the block before the chunk on entry (its last lane the
// sample before in[0]) and the chunk's last block on return. Without kFull it runs
// turnCorrections and returns false when some lane needs the full step; the caller then runs it
// again with kFull. It only reads: in place, the chunk's outputs are stored after it.
template <typename L, typename T, bool kFull>
[[gnu::always_inline]] inline bool packChunk(const T* in, RawBlock<L, T>& before,
                                             const StepConstants<L, T>& k, Chunk<L>& chunk) {
    using Vec = typename L::Vec;
    constexpr int32_t W = L::kLanes;
    Vec bounds = k.zero;
    int32_t count = 0;
    const auto pack = [&](int32_t b, RawBlock<L, T> raw, RawBlock<L, T> rawBefore) {
        const Vec d = L::sub(L::widen(raw), L::widen(rawBefore));
        Vec c;
        unsigned bits;
        if constexpr (kFull) {
            bits = L::bits(fullCorrection<L, T>(d, k, c));
        } else {
            bits = L::bits(turnCorrections<L, T>(d, L::abs(d), k, c, bounds));
        }
        L::store(chunk.taken + count, L::packTaken(c, bits));
        count += __builtin_popcount(bits);
        chunk.takes[b] = bits;
    };
    const int32_t blocks = chunk.blocks;
    const RawBlock<L, T> first = L::loadRaw(in);
    pack(0, first, L::shiftInRaw(before, first));
    // Past the first block the previous samples are one element back in the same input.
    for (int32_t b = 1; b < blocks; ++b) {
        pack(b, L::loadRaw(in + b * W), L::loadRaw(in + b * W - 1));
    }
    chunk.count = count;
    before = L::loadRaw(in + (blocks - 1) * W);
    return kFull || turnsExact<L, T>(bounds, k);
}

// The additions of a chunk, in order, one per take: the only sequential part. Returns the
// correction after the chunk.
template <typename L>
[[gnu::always_inline]] inline double addChunk(Chunk<L>& chunk, double s) {
    chunk.sums[0] = s;
    const int32_t count = chunk.count;
    for (int32_t t = 0; t < count; ++t) {
        s = s + chunk.taken[t];
        chunk.sums[t + 1] = s;
    }
    return s;
}

// The last pass: every sample of the chunk plus the correction of the last take at or before it.
template <typename L, typename T>
[[gnu::always_inline]] inline void storeChunk(const T* in, T* out, const Chunk<L>& chunk) {
    constexpr int32_t W = L::kLanes;
    const double* sums = chunk.sums;
    const int32_t blocks = chunk.blocks;
    for (int32_t b = 0; b < blocks; ++b) {
        const unsigned takes = chunk.takes[b];
        const typename L::Vec x = L::widen(L::loadRaw(in + b * W));
        L::store(out + b * W, L::add(L::spreadTaken(sums, takes), x));
        sums += __builtin_popcount(takes);
    }
}

// Blocks of a chunk at in[0..] one after the other, with a branch on each: cheap where most
// blocks are calm, dear where the branches cannot be foreseen. S holds the correction before
// the chunk and after it; returns the number of corrections taken.
template <typename L, typename T>
[[gnu::always_inline]] inline int32_t blockByBlock(const T* in, T* out, int32_t blocks,
                                                   RawBlock<L, T>& before, typename L::Vec& S,
                                                   const StepConstants<L, T>& k) {
    using Vec = typename L::Vec;
    constexpr int32_t W = L::kLanes;
    constexpr unsigned kAll = (1u << W) - 1u;
    int32_t count = 0;
    for (int32_t b = 0; b < blocks; ++b) {
        const RawBlock<L, T> raw = L::loadRaw(in + b * W);
        const RawBlock<L, T> rawBefore = L::shiftInRaw(before, raw);
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
                count += __builtin_popcount(takes);
            }
        }
        L::store(out + b * W, L::add(perLane, x));
    }
    return count;
}

// Whole blocks in a chunk from sample i of n.
template <typename L>
[[gnu::always_inline]] inline int32_t chunkBlocks(int32_t i, int32_t n) {
    const int32_t left = (n - i) / L::kLanes;
    return left < kChunkBlocks ? left : kChunkBlocks;
}

// More than one correction per two blocks: three passes beat block by block. Not with two lanes:
// there packing and spreading cost more instructions than the branches they save (under qemu at
// 40% wraps, 30.5 instructions per sample against 23.4 block by block), while the chain of
// additions is the same length either way.
template <typename L>
[[gnu::always_inline]] inline bool denseChunk(int32_t count, int32_t blocks) {
    return L::kLanes > 2 && 2 * count > blocks;
}

// The first two passes over the chunk from sample `at` of n: packs it and adds its corrections
// to s. False when no whole block is left.
template <typename L, typename T>
[[gnu::always_inline]] inline bool packAndAdd(const T* in, int32_t at, int32_t n,
                                              RawBlock<L, T>& before, const StepConstants<L, T>& k,
                                              Chunk<L>& chunk, double& s) {
    chunk.blocks = chunkBlocks<L>(at, n);
    if (chunk.blocks <= 0) {
        return false;
    }
    const RawBlock<L, T> chunkBefore = before;
    if (!packChunk<L, T, false>(in + at, before, k, chunk)) {
        before = chunkBefore;
        packChunk<L, T, true>(in + at, before, k, chunk);
    }
    s = addChunk<L>(chunk, s);
    return true;
}

// One channel of n samples at in[0..n-1], out[0..n-1], after the raw sample v and with the
// correction s accumulated before it; returns the correction after the channel. It goes in
// chunks, block by block while corrections are rare and in three passes while they are not.
// There the passes of consecutive chunks interleave (pack the next, store this one, add the
// next), so that the stores of a chunk's sums have left for the cache before its last pass loads
// them as blocks. A chunk's raw samples are all read before its outputs are stored, and the
// sample before a chunk is held in a register: so `in` may equal `out`.
template <typename L, typename T>
double unwrapAlong(const T* in, T* out, int32_t n, T v, double s, double cutoff) {
    using Vec = typename L::Vec;
    constexpr int32_t W = L::kLanes;
    const StepConstants<L, T> k(cutoff);
    RawBlock<L, T> before = L::broadcastRaw(v);
    int32_t i = 0;
    for (int32_t blocks = chunkBlocks<L>(0, n); blocks > 0; blocks = chunkBlocks<L>(i, n)) {
        Vec S = L::broadcast(s);
        const int32_t count = blockByBlock<L, T>(in + i, out + i, blocks, before, S, k);
        s = L::firstLane(S);
        i += blocks * W;
        if (!denseChunk<L>(count, blocks) || chunkBlocks<L>(i, n) <= 0) {
            continue;
        }
        Chunk<L> chunks[2];
        for (Chunk<L>& chunk : chunks) {
            for (double& sum : chunk.sums) {
                sum = 0.0;
            }
        }
        int32_t current = 0;
        packAndAdd<L, T>(in, i, n, before, k, chunks[0], s);
        for (;;) {
            const Chunk<L>& chunk = chunks[current];
            const int32_t next = i + chunk.blocks * W;
            const bool more = denseChunk<L>(chunk.count, chunk.blocks) &&
                              packAndAdd<L, T>(in, next, n, before, k, chunks[1 - current], s);
            storeChunk<L, T>(in + i, out + i, chunk);
            i = next;
            if (!more) {
                break;
            }
            current = 1 - current;
        }
    }
    if (i < n) {
        // The last, partial block: lanes past the end read as zero, take nothing, store nothing.
        const int32_t count = n - i;
        const auto raw = L::loadRawFirst(in + i, count);
        const Vec x = L::widen(raw);
        Vec S = L::broadcast(s);
        Vec c = S;
        const unsigned lastTakes = takenCorrections<L, T>(
            L::sub(x, L::widen(L::shiftInRaw(before, raw))), k, (1u << count) - 1u, c);
        const Vec perLane = lastTakes != 0 ? applyTakes<L>(S, c, lastTakes) : S;
        L::storeFirst(out + i, L::add(perLane, x), count);
        s = L::firstLane(S);
    }
    return s;
}

// count samples of every channel side by side, x[q] holding sample q of each (widened): each
// becomes its output. v holds each channel's previous raw sample and S its correction, both
// updated; every lane adds its taken correction or -0.0 (see the header). With kCount the
// corrections taken are added to `taken`. Without kFull it runs turnCorrections and returns
// false when some lane needs the full step; the caller then runs the samples again with kFull.
template <typename L, typename T, bool kFull, bool kCount>
[[gnu::always_inline]] inline bool stepSideBySide(typename L::Vec (&x)[L::kLanes], int32_t count,
                                                  typename L::Vec& v, typename L::Vec& S,
                                                  const StepConstants<L, T>& k, int32_t& taken) {
    using Vec = typename L::Vec;
    Vec bounds = k.zero;
    int32_t takenHere = 0;
    for (int32_t q = 0; q < count; ++q) {
        const Vec d = L::sub(x[q], v);
        v = x[q];
        Vec c;
        typename L::Cmp take;
        if constexpr (kFull) {
            take = fullCorrection<L, T>(d, k, c);
        } else {
            take = turnCorrections<L, T>(d, L::abs(d), k, c, bounds);
        }
        S = L::add(S, L::select(take, c, k.negZero));
        x[q] = L::add(S, x[q]);
        if constexpr (kCount) {
            takenHere += __builtin_popcount(L::bits(take));
        }
    }
    if (!kFull && !turnsExact<L, T>(bounds, k)) {
        return false;
    }
    taken += takenHere;
    return true;
}

// Loads count (at most W) samples of every channel of a group, sample q of each in x[q].
template <typename L, typename T>
[[gnu::always_inline]] inline void loadTile(const T* in, std::ptrdiff_t stride, int32_t count,
                                            typename L::Vec (&x)[L::kLanes]) {
    for (int32_t l = 0; l < L::kLanes; ++l) {
        x[l] = count == L::kLanes ? L::load(in + l * stride) : L::loadFirst(in + l * stride, count);
    }
    L::transpose(x);
}

// A tile that needs the full step, from its raw samples again: out of line, so that the common
// path keeps no value alive for it (on AVX2 the registers are all in use).
template <typename L, typename T, bool kCount>
[[gnu::noinline]] void fullTileSideBySide(const T* in, std::ptrdiff_t stride, int32_t count,
                                          typename L::Vec (&x)[L::kLanes], typename L::Vec& v,
                                          typename L::Vec& S, const StepConstants<L, T>& k,
                                          int32_t& taken) {
    loadTile<L, T>(in, stride, count, x);
    stepSideBySide<L, T, true, kCount>(x, count, v, S, k, taken);
}

// One tile: count (at most W) samples of every channel of a group.
template <typename L, typename T, bool kCount>
[[gnu::always_inline]] inline void tileSideBySide(const T* in, T* out, std::ptrdiff_t stride,
                                                  int32_t count, typename L::Vec& v,
                                                  typename L::Vec& S, const StepConstants<L, T>& k,
                                                  int32_t& taken) {
    using Vec = typename L::Vec;
    Vec x[L::kLanes];
    loadTile<L, T>(in, stride, count, x);
    Vec vAfter = v;
    Vec sAfter = S;
    if (stepSideBySide<L, T, false, kCount>(x, count, vAfter, sAfter, k, taken)) {
        v = vAfter;
        S = sAfter;
    } else {
        fullTileSideBySide<L, T, kCount>(in, stride, count, x, v, S, k, taken);
    }
    L::transpose(x);
    for (int32_t l = 0; l < L::kLanes; ++l) {
        if (count == L::kLanes) {
            L::store(out + l * stride, x[l]);
        } else {
            L::storeFirst(out + l * stride, x[l], count);
        }
    }
}

// W channels side by side, lane l channel l: its n samples at in[l * stride + 0..n-1] and
// out[l * stride + 0..n-1], after the raw sample in lane l of v (widened) and with the correction
// in lane l of S, which must not be NaN; both are updated. With kCount the corrections taken are
// added to `taken`. Each tile is loaded before it is stored, so `in` may equal `out`.
template <typename L, typename T, bool kCount>
void unwrapSideBySide(const T* in, T* out, std::ptrdiff_t stride, int32_t n, typename L::Vec& v,
                      typename L::Vec& S, const StepConstants<L, T>& k, int32_t& taken) {
    constexpr int32_t W = L::kLanes;
    int32_t i = 0;
    for (; i + W <= n; i += W) {
        tileSideBySide<L, T, kCount>(in + i, out + i, stride, W, v, S, k, taken);
    }
    if (i < n) {
        tileSideBySide<L, T, kCount>(in + i, out + i, stride, n - i, v, S, k, taken);
    }
}

// More than one correction per twelve samples: side by side beats channel by channel, which
// skips the work of calm blocks.
[[gnu::always_inline]] inline bool denseSideBySide(int32_t count, int32_t samples) {
    return 12 * count > samples;
}

// A group of W channels, lane l channel l: n samples at in[l * stride + 0..n-1] and
// out[l * stride + 0..n-1], after the raw samples before[0..W-1] and with the corrections in S,
// which must not be NaN; stores the corrections after them in sums[0..W-1]. The first chunk goes
// side by side, and so does the rest where it took corrections often; elsewhere each channel goes
// on by unwrapAlong. `in` may equal `out`.
template <typename L, typename T>
void unwrapGroup(const T* in, T* out, std::ptrdiff_t stride, int32_t n, const T* before,
                 typename L::Vec S, const StepConstants<L, T>& k, T cutoff, double* sums) {
    constexpr int32_t W = L::kLanes;
    constexpr int32_t kFirst = kChunkBlocks * W;
    const int32_t first = n < kFirst ? n : kFirst;
    // Read before the first chunk is unwrapped: in place, their positions are overwritten.
    T firstLast[W];
    if (first < n) {
        for (int32_t l = 0; l < W; ++l) {
            firstLast[l] = in[l * stride + first - 1];
        }
    }
    typename L::Vec v = L::widen(L::loadRaw(before));
    int32_t taken = 0;
    unwrapSideBySide<L, T, true>(in, out, stride, first, v, S, k, taken);
    const bool sideBySide = first == n || denseSideBySide(taken, first * W);
    if (first < n && sideBySide) {
        unwrapSideBySide<L, T, false>(in + first, out + first, stride, n - first, v, S, k, taken);
    }
    L::store(sums, S);
    if (!sideBySide) {
        for (int32_t l = 0; l < W; ++l) {
            sums[l] = unwrapAlong<L, T>(in + l * stride + first, out + l * stride + first,
                                        n - first, firstLast[l], sums[l], cutoff);
        }
    }
}

// The stateless kernels: every channel starts from a zero correction; sample 0 passes through.
template <typename L, typename T>
void unwrapStateless(const T* in, T* out, T cutoff, int32_t numChans, int32_t frameLen) {
    constexpr int32_t W = L::kLanes;
    if (numChans <= 0 || frameLen <= 0) {
        return;
    }
    int32_t j = 0;
    if (frameLen > 1 && numChans >= W) {
        const StepConstants<L, T> k(cutoff);
        for (; j + W <= numChans; j += W) {
            const std::ptrdiff_t base = static_cast<std::ptrdiff_t>(j) * frameLen;
            T first[W];
            for (int32_t l = 0; l < W; ++l) {
                first[l] = in[base + static_cast<std::ptrdiff_t>(l) * frameLen];
                out[base + static_cast<std::ptrdiff_t>(l) * frameLen] = first[l];
            }
            double sums[W];
            unwrapGroup<L, T>(in + base + 1, out + base + 1, frameLen, frameLen - 1, first, k.zero,
                              k, cutoff, sums);
        }
    }
    if (j == numChans) {
        return;
    }
    const std::ptrdiff_t rest = static_cast<std::ptrdiff_t>(j) * frameLen;
    if (frameLen <= W) {
        kScalarFallback<KernelForm::StatelessCopy, T>(in + rest, out + rest, cutoff, numChans - j,
                                                      frameLen);
        return;
    }
    for (; j < numChans; ++j) {
        const std::ptrdiff_t base = static_cast<std::ptrdiff_t>(j) * frameLen;
        const T v = in[base];
        out[base] = v;
        unwrapAlong<L, T>(in + base + 1, out + base + 1, frameLen - 1, v, 0.0, cutoff);
    }
}

// The running per-channel kernels: as the scalar ones, with groups of W channels side by side
// and each other channel run by unwrapAlong.
template <typename L, typename T>
void unwrapRunningFrame(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numChans,
                        int32_t frameLen, uint8_t* firstStep) {
    using Vec = typename L::Vec;
    constexpr int32_t W = L::kLanes;
    constexpr unsigned kAll = (1u << W) - 1u;
    if (frameLen < W && numChans < W) {
        kScalarFallback<KernelForm::RunningFrameCopy, T>(in, out, prev, cumsum, cutoff, numChans,
                                                         frameLen, firstStep);
        return;
    }
    seedFirstStep(in, prev, cumsum, numChans, frameLen, firstStep);
    if (frameLen <= 0) {
        return;
    }
    const StepConstants<L, T> k(cutoff);
    int32_t j = 0;
    for (; j + W <= numChans; j += W) {
        const std::ptrdiff_t base = static_cast<std::ptrdiff_t>(j) * frameLen;
        const Vec S = L::load(cumsum + j);
        if (L::bits(L::equal(S, S)) != kAll) {
            break;  // a NaN correction: channel by channel
        }
        // Read before the channels are unwrapped: in place, their positions are overwritten.
        T last[W];
        for (int32_t l = 0; l < W; ++l) {
            last[l] = in[base + static_cast<std::ptrdiff_t>(l + 1) * frameLen - 1];
        }
        double sums[W];
        unwrapGroup<L, T>(in + base, out + base, frameLen, frameLen, prev + j, S, k, cutoff, sums);
        for (int32_t l = 0; l < W; ++l) {
            prev[j + l] = last[l];
            cumsum[j + l] = static_cast<T>(sums[l]);
        }
    }
    if (j == numChans) {
        return;
    }
    if (frameLen < W) {
        const std::ptrdiff_t rest = static_cast<std::ptrdiff_t>(j) * frameLen;
        kScalarFallback<KernelForm::RunningFrameCopy, T>(
            in + rest, out + rest, prev + j, cumsum + j, cutoff, numChans - j, frameLen, firstStep);
        return;
    }
    for (; j < numChans; ++j) {
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
        if (takes == 0) {
            // No correction: Cumsum stays as it is stored.
            L::store(out + i, L::add(S, x));
        } else {
            const Vec after = L::select(L::fromBits(takes), L::add(S, c), S);
            L::store(out + i, L::add(after, x));
            L::store(cumsum + i, after);
        }
        L::storeRaw(prev + i, raw);
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
