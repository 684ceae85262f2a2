// Channels side by side (unwrapSideBySide, unwrapGroup), over a lane set L and the data type T,
// with the step of unwrap_simd_step.h: as many channels as there are lanes, lane l channel l. The
// additions of each channel stay in order without a branch per block: every sample adds to its
// lane's S either its taken correction or -0.0. x + (-0.0) is x for every x but a signalling NaN
// (+0 and -0 included, under the default rounding), so a lane's S takes the scalar values; a
// signalling NaN can only be the state a call starts from, and a group whose state holds a NaN
// goes channel by channel instead.
#ifndef KQ_KERNELS_SIMD_UNWRAP_SIMD_SIDE_BY_SIDE_H
#define KQ_KERNELS_SIMD_UNWRAP_SIMD_SIDE_BY_SIDE_H

#include <cstddef>
#include <cstdint>

#include "kernels/simd/unwrap_simd_along.h"
#include "kernels/simd/unwrap_simd_step.h"

namespace kq::simd {

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
// which must not be NaN; stores the corrections after them in sums[0..W-1]. The first stretch goes
// side by side, and so does the rest where it took corrections often; elsewhere each channel goes
// on by unwrapAlong. `in` may equal `out`.
template <typename L, typename T>
void unwrapGroup(const T* in, T* out, std::ptrdiff_t stride, int32_t n, const T* before,
                 typename L::Vec S, const StepConstants<L, T>& k, T cutoff, double* sums) {
    constexpr int32_t W = L::kLanes;
    constexpr int32_t kFirst = kStretchBlocks * W;
    const int32_t first = n < kFirst ? n : kFirst;
    // Read before the first stretch is unwrapped: in place, their positions are overwritten.
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

}  // namespace kq::simd

#endif
