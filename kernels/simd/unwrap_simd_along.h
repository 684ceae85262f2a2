// One channel at a time (unwrapAlong), over a lane set L and the data type T, with the step of
// unwrap_simd_step.h. The additions of the channel stay in order without a branch per block: it
// goes in stretches of a few blocks (a stretch is this walk's window; a chunk is a caller's piece
// of a channel, kernels/chunk_carry.h); the lanes find the corrections of the stretch and pack the
// taken ones in order; a scalar loop adds them to S one at a time, as the scalar kernel does, and
// records S after each; the lanes then give every sample the S of the last take at or before it.
// The only sequential work is one addition per take.
#ifndef KQ_KERNELS_SIMD_UNWRAP_SIMD_ALONG_H
#define KQ_KERNELS_SIMD_UNWRAP_SIMD_ALONG_H

#include <cstdint>

#include "kernels/simd/unwrap_simd_step.h"

namespace kq::simd {

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

// Blocks per stretch of unwrapAlong: enough that the loop over the stretch's takes runs long
// between its exits, few enough that the stretch's buffers stay small.
inline constexpr int32_t kStretchBlocks = 32;

// The buffers of one stretch of unwrapAlong.
template <typename L>
struct Stretch {
    static constexpr int32_t kSamples = kStretchBlocks * L::kLanes;
    int32_t blocks = 0;
    int32_t count = 0;               // corrections taken
    unsigned takes[kStretchBlocks];  // the lanes that take one, by block
    double taken[kSamples];          // the corrections taken, in order
    // sums[t]: the correction after the stretch's first t takes. spreadTaken reads up to W - 1
    // values past the last one written; zeroed once, so they are never unset.
    double sums[kSamples + L::kLanes];
};

// The first pass over a stretch at in[0..]: finds the corrections of its blocks and packs the
// taken ones in order. `before` holds the block before the stretch on entry (its last lane the
// sample before in[0]) and the stretch's last block on return. Without kFull it runs
// turnCorrections and returns false when some lane needs the full step; the caller then runs it
// again with kFull. It only reads: in place, the stretch's outputs are stored after it.
template <typename L, typename T, bool kFull>
[[gnu::always_inline]] inline bool packStretch(const T* in, RawBlock<L, T>& before,
                                               const StepConstants<L, T>& k, Stretch<L>& stretch) {
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
        L::store(stretch.taken + count, L::packTaken(c, bits));
        count += __builtin_popcount(bits);
        stretch.takes[b] = bits;
    };
    const int32_t blocks = stretch.blocks;
    const RawBlock<L, T> first = L::loadRaw(in);
    pack(0, first, L::shiftInRaw(before, first));
    // Past the first block the previous samples are one element back in the same input.
    for (int32_t b = 1; b < blocks; ++b) {
        pack(b, L::loadRaw(in + b * W), L::loadRaw(in + b * W - 1));
    }
    stretch.count = count;
    before = L::loadRaw(in + (blocks - 1) * W);
    return kFull || turnsExact<L, T>(bounds, k);
}

// The additions of a stretch, in order, one per take: the only sequential part. Returns the
// correction after the stretch.
template <typename L>
[[gnu::always_inline]] inline double addStretch(Stretch<L>& stretch, double s) {
    stretch.sums[0] = s;
    const int32_t count = stretch.count;
    for (int32_t t = 0; t < count; ++t) {
        s = s + stretch.taken[t];
        stretch.sums[t + 1] = s;
    }
    return s;
}

// The last pass: every sample of the stretch plus the correction of the last take at or before it.
template <typename L, typename T>
[[gnu::always_inline]] inline void storeStretch(const T* in, T* out, const Stretch<L>& stretch) {
    constexpr int32_t W = L::kLanes;
    const double* sums = stretch.sums;
    const int32_t blocks = stretch.blocks;
    for (int32_t b = 0; b < blocks; ++b) {
        const unsigned takes = stretch.takes[b];
        const typename L::Vec x = L::widen(L::loadRaw(in + b * W));
        L::store(out + b * W, L::add(L::spreadTaken(sums, takes), x));
        sums += __builtin_popcount(takes);
    }
}

// Blocks of a stretch at in[0..] one after the other, with a branch on each: cheap where most
// blocks are calm, dear where the branches cannot be foreseen. S holds the correction before
// the stretch and after it; returns the number of corrections taken.
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
            const unsigned takes = takingLanes<L, T>(L::sub(x, L::widen(rawBefore)), k, kAll, c);
            if (takes != 0) {
                perLane = applyTakes<L>(S, c, takes);
                count += __builtin_popcount(takes);
            }
        }
        L::store(out + b * W, L::add(perLane, x));
    }
    return count;
}

// Whole blocks in a stretch from sample i of n.
template <typename L>
[[gnu::always_inline]] inline int32_t stretchBlocks(int32_t i, int32_t n) {
    const int32_t left = (n - i) / L::kLanes;
    return left < kStretchBlocks ? left : kStretchBlocks;
}

// More than one correction per two blocks: three passes beat block by block. Not with two lanes:
// there packing and spreading cost more instructions than the branches they save (under qemu at
// 40% wraps, 30.5 instructions per sample against 23.4 block by block), while the chain of
// additions is the same length either way.
template <typename L>
[[gnu::always_inline]] inline bool denseStretch(int32_t count, int32_t blocks) {
    return L::kLanes > 2 && 2 * count > blocks;
}

// The first two passes over the stretch from sample `at` of n: packs it and adds its corrections
// to s. False when no whole block is left.
template <typename L, typename T>
[[gnu::always_inline]] inline bool packAndAdd(const T* in, int32_t at, int32_t n,
                                              RawBlock<L, T>& before, const StepConstants<L, T>& k,
                                              Stretch<L>& stretch, double& s) {
    stretch.blocks = stretchBlocks<L>(at, n);
    if (stretch.blocks <= 0) {
        return false;
    }
    const RawBlock<L, T> stretchBefore = before;
    if (!packStretch<L, T, false>(in + at, before, k, stretch)) {
        before = stretchBefore;
        packStretch<L, T, true>(in + at, before, k, stretch);
    }
    s = addStretch<L>(stretch, s);
    return true;
}

// One channel of n samples at in[0..n-1], out[0..n-1], after the raw sample v and with the
// correction s accumulated before it; returns the correction after the channel. It goes in
// stretches, block by block while corrections are rare and in three passes while they are not.
// There the passes of consecutive stretches interleave (pack the next, store this one, add the
// next), so that the stores of a stretch's sums have left for the cache before its last pass loads
// them as blocks. A stretch's raw samples are all read before its outputs are stored, and the
// sample before a stretch is held in a register: so `in` may equal `out`.
template <typename L, typename T>
double unwrapAlong(const T* in, T* out, int32_t n, T v, double s, double cutoff) {
    using Vec = typename L::Vec;
    constexpr int32_t W = L::kLanes;
    const StepConstants<L, T> k(cutoff);
    RawBlock<L, T> before = L::broadcastRaw(v);
    int32_t i = 0;
    for (int32_t blocks = stretchBlocks<L>(0, n); blocks > 0; blocks = stretchBlocks<L>(i, n)) {
        Vec S = L::broadcast(s);
        const int32_t count = blockByBlock<L, T>(in + i, out + i, blocks, before, S, k);
        s = L::firstLane(S);
        i += blocks * W;
        if (!denseStretch<L>(count, blocks) || stretchBlocks<L>(i, n) <= 0) {
            continue;
        }
        Stretch<L> stretches[2];
        for (Stretch<L>& stretch : stretches) {
            for (double& sum : stretch.sums) {
                sum = 0.0;
            }
        }
        int32_t current = 0;
        packAndAdd<L, T>(in, i, n, before, k, stretches[0], s);
        for (;;) {
            const Stretch<L>& stretch = stretches[current];
            const int32_t next = i + stretch.blocks * W;
            const bool more = denseStretch<L>(stretch.count, stretch.blocks) &&
                              packAndAdd<L, T>(in, next, n, before, k, stretches[1 - current], s);
            storeStretch<L, T>(in + i, out + i, stretch);
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
        const unsigned lastTakes = takingLanes<L, T>(
            L::sub(x, L::widen(L::shiftInRaw(before, raw))), k, (1u << count) - 1u, c);
        const Vec perLane = lastTakes != 0 ? applyTakes<L>(S, c, lastTakes) : S;
        L::storeFirst(out + i, L::add(perLane, x), count);
        s = L::firstLane(S);
    }
    return s;
}

}  // namespace kq::simd

#endif
