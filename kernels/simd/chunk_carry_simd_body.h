// The vector form of takenCorrectionsDbl/Sgl (kernels/chunk_carry.h), over a lane set L: the first
// pass of the vector kernels' one-channel strategy (kernels/simd/unwrap_simd_along.h) on its own. A
// block of L::kLanes steps that is calm throughout costs a load, a subtraction and a comparison;
// the others run the kernels' lane step, whose corrections and takes are the scalar step's bit for
// bit, and pack the taken corrections in lane order, so they come out in the order of the steps.
// Zero corrections, which only a negative cutoff takes, are left out, as the scalar pass leaves
// them out. It only reads, so it asks for its samples ahead of the loop.
#ifndef KQ_KERNELS_SIMD_CHUNK_CARRY_SIMD_BODY_H
#define KQ_KERNELS_SIMD_CHUNK_CARRY_SIMD_BODY_H

#include <algorithm>
#include <cstdint>
#include <limits>

#include "kernels/kernel_list.h"
#include "kernels/simd/unwrap_simd_along.h"

namespace kq::simd {

// The scalar pass, for the steps the lanes leave.
template <typename T>
inline constexpr KernelFn<KernelForm::TakenCorrections, T>* kScalarTaken =
    ScalarKernel<KernelForm::TakenCorrections, T>::fn;

// How far ahead the taken pass asks for its samples: 4 KiB, a page (never past the last).
template <typename T>
inline constexpr int64_t kPrefetchAhead = 4096 / sizeof(T);

template <typename L, typename T>
int64_t takenCorrectionsInLanes(const T* in, int64_t n, T prev, T cutoff, double* taken) {
    constexpr int64_t W = L::kLanes;
    constexpr unsigned kAll = (1u << W) - 1u;
    if (n <= W) {
        return kScalarTaken<T>(in, n, prev, cutoff, taken);
    }
    const StepConstants<L, T> k(cutoff);
    // The step into in[0] has its sample before it elsewhere; from in[1] on, in[i - 1] is there.
    int64_t count = kScalarTaken<T>(in, 1, prev, cutoff, taken);
    int64_t i = 1;
    for (; i + W <= n; i += W) {
        // The branch on calm blocks follows the wraps and mispredicts often, and each miss
        // drops the loads in flight: asked for ahead, the samples come at the memory's pace
        // (a chunk's pass took 0.8-1.4 ns a sample without, 0.6-0.9 with, 2^22 samples).
        __builtin_prefetch(in + std::min(i + kPrefetchAhead<T>, n - 1));
        const RawBlock<L, T> raw = L::loadRaw(in + i);
        const RawBlock<L, T> rawBefore = L::loadRaw(in + i - 1);
        if (L::calmBits(raw, rawBefore, k.calmRawBelow) == kAll) {
            continue;
        }
        // takingLanes leaves c unset when every lane is calm; the zero test below reads it anyway.
        typename L::Vec c = k.zero;
        const unsigned takes =
            takingLanes<L, T>(L::sub(L::widen(raw), L::widen(rawBefore)), k, kAll, c) &
            ~L::bits(L::equal(c, k.zero));
        if (takes != 0) {
            // Writes W values from taken[count]; count is at most i, the steps so far, so they
            // stay within the room for n.
            L::store(taken + count, L::packTaken(c, takes));
            count += __builtin_popcount(takes);
        }
    }
    return count + kScalarTaken<T>(in + i, n - i, in[i - 1], cutoff, taken + count);
}

// The vector form of unwrapCarriedDbl/Sgl: the running per-channel kernels' one-channel walk
// (unwrapAlong), which keeps the correction in binary64 from the sum it is given, in pieces of
// the lengths it takes.
template <typename L, typename T>
void unwrapCarriedInLanes(const T* in, T* out, int64_t n, T* prev, double* sum, T cutoff) {
    for (int64_t i = 0; i < n;) {
        const auto piece =
            static_cast<int32_t>(std::min<int64_t>(n - i, std::numeric_limits<int32_t>::max()));
        // Read before the walk, which may overwrite it in place.
        const T last = in[i + piece - 1];
        *sum = unwrapAlong<L, T>(in + i, out + i, piece, *prev, *sum, cutoff);
        *prev = last;
        i += piece;
    }
}

}  // namespace kq::simd

#endif
