// The vector body of the row kernels (kernels/unwrap_rows.h), written once over a lane set L
// (kernels/simd/lanes_avx2.h, lanes_avx512.h, lanes_neon.h) and the data type T. Include it only
// from the translation unit compiled for that lane set's instruction set.
//
// Why the bits are those of the running per-channel kernel: a row holds one sample of each of
// its channels, so a block of W side-by-side channels is a block of W independent lanes, as in
// the running per-element kernel, and every lane runs the step's operations in the step's order
// (oneTurnCorrection and fullCorrection of unwrap_simd_step.h, chosen as takingLanes
// chooses them, see rowStep). Each lane adds its correction only where its own step takes one,
// and keeps it in binary64 from row to row, as the per-channel kernel keeps S during a call.
//
// The rows are walked in order, every block of a row before the next row, so memory is read
// and written once, front to back, whatever the row stride. Rows of up to four blocks keep the
// corrections and last raw samples in registers; wider rows keep them in prev and sum, where
// the blocks of a row overlap each other's work. A row that W does not divide ends with a block
// that overlaps the one before it, so no block is partial; rows of fewer than W channels go to
// the scalar kernels.
#ifndef KQ_KERNELS_SIMD_UNWRAP_SIMD_ROWS_H
#define KQ_KERNELS_SIMD_UNWRAP_SIMD_ROWS_H

#include <cstdint>
#include <type_traits>
#include <utility>

#include "kernels/kernel_list.h"
#include "kernels/simd/unwrap_simd_step.h"

namespace kq::simd {

namespace {

// The correction of one block's lanes after a step from the raw samples before to x, whose
// difference is d; S is the correction before it. Which corrections are taken is what the kernels'
// takingLanes gives, without its early exit for blocks that are calm throughout: in typical
// phase data the channels of a row wrap at unrelated times, so that exit is hard to predict, and
// taking the one-turn arithmetic in every easy block costs less than the missed predictions. Calm
// lanes never pass the one-turn mask, and calm lanes take no correction in the kernels either.
template <typename L, typename T>
[[gnu::always_inline]] inline typename L::Vec rowStep(typename L::Vec S, typename L::Vec d,
                                                      const StepConstants<L, T>& k) {
    using Vec = typename L::Vec;
    constexpr unsigned kAll = (1u << L::kLanes) - 1u;
    const Vec a = L::abs(d);
    const auto oneTurn = L::both(L::greater(a, k.oneTurnAbove), L::less(a, k.oneTurnBelow));
    const unsigned easy = L::bits(L::less(a, k.calmBelow)) | L::bits(oneTurn);
    Vec c;
    if (__builtin_expect(easy == kAll, 1)) {
        const auto taken = L::both(oneTurnCorrection<L, T>(d, k, c), oneTurn);
        return L::select(taken, L::add(S, c), S);
    }
    // NaN, infinite, near-pi or large steps, or a cutoff below the calm bound.
    const auto taken = fullCorrection<L, T>(d, k, c);
    return L::select(taken, L::add(S, c), S);
}

// Calls f(std::integral_constant<int, B>) for B = 0 .. Count - 1, unrolled.
template <int Count, typename F>
[[gnu::always_inline]] inline void forEachBlock(F&& f) {
    [&]<int... B>(std::integer_sequence<int, B...>) {
        (f(std::integral_constant<int, B>{}), ...);
    }
    (std::make_integer_sequence<int, Count>{});
}

// Rows of Blocks blocks, their state in registers. Block b covers channels b * W on, except the
// last, which ends at the last channel (tail = numChans - W) and so overlaps the block before it
// when W does not divide numChans. An overlapped channel is then walked by two blocks from the
// same state on the same samples, and both write the same bits; every block of a row loads its
// samples before any stores, so in place the second one still reads raw samples.
template <typename L, typename T, int Blocks>
void walkInRegisters(const T* in, int64_t inRowStep, T* out, int64_t outRowStep, int64_t rows,
                     int64_t tail, T* prev, double* sum, const StepConstants<L, T>& k) {
    using Vec = typename L::Vec;
    using Raw = decltype(L::loadRaw(prev));
    auto offset = [tail](auto block) -> int64_t {
        constexpr int b = decltype(block)::value;
        return b + 1 < Blocks ? int64_t{b} * L::kLanes : tail;
    };
    Vec S[Blocks];
    Raw before[Blocks];
    forEachBlock<Blocks>([&](auto b) {
        S[b] = L::load(sum + offset(b));
        before[b] = L::loadRaw(prev + offset(b));
    });
    for (int64_t r = 0; r < rows; ++r) {
        const T* rowIn = in + r * inRowStep;
        T* rowOut = out + r * outRowStep;
        Raw raw[Blocks];
        forEachBlock<Blocks>([&](auto b) { raw[b] = L::loadRaw(rowIn + offset(b)); });
        forEachBlock<Blocks>([&](auto b) {
            const Vec x = L::widen(raw[b]);
            S[b] = rowStep<L, T>(S[b], L::sub(x, L::widen(before[b])), k);
            before[b] = raw[b];
            L::store(rowOut + offset(b), L::add(S[b], x));
        });
    }
    forEachBlock<Blocks>([&](auto b) {
        L::store(sum + offset(b), S[b]);
        L::storeRaw(prev + offset(b), before[b]);
    });
}

// One block of a wide row from its raw samples, its state in prev and sum.
template <typename L, typename T, typename Raw>
[[gnu::always_inline]] inline void stepInMemory(Raw raw, Raw before, typename L::Vec S, T* out,
                                                T* prev, double* sum,
                                                const StepConstants<L, T>& k) {
    const typename L::Vec x = L::widen(raw);
    const typename L::Vec after = rowStep<L, T>(S, L::sub(x, L::widen(before)), k);
    L::storeRaw(prev, raw);
    L::store(sum, after);
    L::store(out, L::add(after, x));
}

// Rows wider than the registers hold. The blocks as in walkInRegisters; the last one, when it
// overlaps, loads its samples and state before the block it overlaps runs.
template <typename L, typename T>
void walkInMemory(const T* in, int64_t inRowStep, T* out, int64_t outRowStep, int64_t rows,
                  int64_t numChans, T* prev, double* sum, const StepConstants<L, T>& k) {
    constexpr int64_t W = L::kLanes;
    const int64_t whole = numChans - numChans % W;
    const int64_t tail = numChans - W;
    for (int64_t r = 0; r < rows; ++r) {
        const T* rowIn = in + r * inRowStep;
        T* rowOut = out + r * outRowStep;
        const auto tailRaw = L::loadRaw(rowIn + tail);
        const auto tailBefore = L::loadRaw(prev + tail);
        const typename L::Vec tailS = L::load(sum + tail);
        for (int64_t j = 0; j < whole; j += W) {
            stepInMemory<L, T>(L::loadRaw(rowIn + j), L::loadRaw(prev + j), L::load(sum + j),
                               rowOut + j, prev + j, sum + j, k);
        }
        if (whole < numChans) {
            stepInMemory<L, T>(tailRaw, tailBefore, tailS, rowOut + tail, prev + tail, sum + tail,
                               k);
        }
    }
}

// The row kernels: any number of channels, as the scalar ones.
template <typename L, typename T>
void unwrapRows(const T* in, int64_t inRowStep, T* out, int64_t outRowStep, int64_t rows,
                int64_t numChans, T* prev, double* sum, T cutoff) {
    constexpr int64_t W = L::kLanes;
    if (rows <= 0 || numChans <= 0) {
        return;
    }
    if (numChans < W) {
        ScalarKernel<KernelForm::Rows, T>::fn(in, inRowStep, out, outRowStep, rows, numChans, prev,
                                              sum, cutoff);
        return;
    }
    const StepConstants<L, T> k(cutoff);
    const int64_t tail = numChans - W;
    switch ((numChans + W - 1) / W) {
        case 1:
            walkInRegisters<L, T, 1>(in, inRowStep, out, outRowStep, rows, tail, prev, sum, k);
            break;
        case 2:
            walkInRegisters<L, T, 2>(in, inRowStep, out, outRowStep, rows, tail, prev, sum, k);
            break;
        case 3:
            walkInRegisters<L, T, 3>(in, inRowStep, out, outRowStep, rows, tail, prev, sum, k);
            break;
        case 4:
            walkInRegisters<L, T, 4>(in, inRowStep, out, outRowStep, rows, tail, prev, sum, k);
            break;
        default:
            walkInMemory<L, T>(in, inRowStep, out, outRowStep, rows, numChans, prev, sum, k);
    }
}

}  // namespace

}  // namespace kq::simd

#endif
