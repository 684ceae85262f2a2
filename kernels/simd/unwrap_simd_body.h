// The bodies of the vector kernels, written once over a lane set L (the operations of one vector
// level on binary64 lanes: kernels/simd/lanes_avx2.h, lanes_avx512.h, lanes_neon.h) and the data
// type T. They give the same bits as the scalar kernels (the runtime's,
// runtime/kq_unwrap_runtime.c).
//
// Two strategies keep the additions of a channel in order without a branch per block: one
// channel at a time in stretches of blocks (unwrapAlong, unwrap_simd_along.h), and as many channels
// as there are lanes side by side (unwrapSideBySide, unwrap_simd_side_by_side.h); the step they
// share is in unwrap_simd_step.h, which says why the bits agree. The kernels below choose between
// them. Calls whose channels are shorter than a block, and fewer channels than lanes, go to the
// scalar kernels.
#ifndef KQ_KERNELS_SIMD_UNWRAP_SIMD_BODY_H
#define KQ_KERNELS_SIMD_UNWRAP_SIMD_BODY_H

#include <cstddef>
#include <cstdint>

#include "kernels/first_step.h"
#include "kernels/kernel_list.h"
#include "kernels/simd/unwrap_simd_along.h"
#include "kernels/simd/unwrap_simd_side_by_side.h"
#include "kernels/simd/unwrap_simd_step.h"

namespace kq::simd {

namespace {

// The scalar kernel of a copying form, for calls whose channels are shorter than one block: there,
// setting up the lanes and the partial loads and stores cost more than the samples themselves.
// The copy kernels also work in place.
template <KernelForm F, typename T>
inline constexpr KernelFn<F, T>* kScalarFallback = ScalarKernel<F, T>::fn;

}  // namespace

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
        const unsigned takes = L::calmBits(raw, rawPrev, k.calmRawBelow) == kAll
                                   ? 0
                                   : takingLanes<L, T>(L::sub(x, L::widen(rawPrev)), k, kAll, c);
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
        const unsigned takes =
            takingLanes<L, T>(L::sub(x, L::loadFirst(prev + i, count)), k, (1u << count) - 1u, c);
        const Vec after = L::select(L::fromBits(takes), L::add(S, c), S);
        L::storeFirst(out + i, L::add(after, x), count);
        L::storeRawFirst(prev + i, raw, count);
        L::storeFirst(cumsum + i, after, count);
    }
}

}  // namespace kq::simd

#endif
