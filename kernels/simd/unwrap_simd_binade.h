// One channel in one pass where its correction S stays inside one binade (binadeChunk), over a
// lane set L of at least four lanes and the data type T, with the step of unwrap_simd_step.h.
// Frequent corrections otherwise make a chain of binary64 additions, S = S + c, one per take;
// inside a binade those additions are additions of multiples of one spacing, which are exact, so
// the lanes can do a block's at once.
//
// Why the bits agree. Let S0 be normal with 2^e <= |S0| < 2^(e+1), e >= 6, and q = 2^(e-52) its
// spacing: the binary64 values of magnitude in [2^e, 2^(e+1)] are exactly the multiples of q
// there. Call lo and hi S0's binade less one spacing at each end (magnitudes 2^e + q and
// 2^(e+1) - q, with S0's sign), and M its middle, 1.5 * 2^e with S0's sign.
// - The corrections. Where turnCorrections' check passes (|p| < 3.1415), |d| is below 9.5 and
//   |c| = |p - d| below 7 (c is -(k * 2pi) rounded, k = 0 or +-1); a lane that takes nothing
//   counts as c = 0. M + c then lies in M's binade, where binary64 holds the multiples of q, so
//   fl(M + c) - M (exact: both in one binade) is a multiple of q nearest to c, q * rn(c / q),
//   and |that - c| (exact: both are multiples of c's own spacing, which is at most q) is q/2 only
//   at a tie.
// - The sums. Let S be a multiple of q in [lo, hi] and c not a tie: S + q rn(c/q) lies within q/2
//   of S + c exactly; if it also lies in [lo, hi], then S + c lies strictly inside the binade,
//   more than q/2 from its ends, where the nearest binary64 value is the nearest multiple of q:
//   fl(S + c) = S + q rn(c/q). By induction every sum after a take is S0 plus the multiples of q
//   of the takes so far, as long as every one of them lies in [lo, hi].
// - The lanes. A block's rounded corrections are below 8 in magnitude, so their prefix sums (in
//   any order) and S plus them are sums of multiples of q below 2^(e+1): exact where they land in
//   [lo, hi]. Where the exact sum lands outside, the computed one does too: the exact sum is a
//   multiple of q at or below 2^e (representable) or at or above 2^(e+1), and rounding is
//   monotone. For a sum in [lo, hi] (within [M/2, 2M]) sum - M is exact and below 2^(e-1) in
//   magnitude; outside, |fl(sum - M)| >= 2^(e-1), rounding being monotone again.
// A chunk passes when no lane needed the full step, no rounded correction was a tie and every
// sum stayed in [lo, hi]; otherwise the caller runs it again another way. A NaN only arises in a
// block whose step check fails. Corrections of a few turns move S by about 6.3 each and a binade
// from 64 up spans at least 64, so a dense channel crosses a binade edge rarely.
#ifndef KQ_KERNELS_SIMD_UNWRAP_SIMD_BINADE_H
#define KQ_KERNELS_SIMD_UNWRAP_SIMD_BINADE_H

#include <bit>
#include <cstdint>

#include "kernels/simd/unwrap_simd_step.h"

namespace kq::simd {

// The binade of a correction s0, in every lane: false when s0 has none the one pass can use
// (below 64 in magnitude, infinite or NaN).
template <typename L>
struct Binade {
    using Vec = typename L::Vec;

    static bool usable(double s0) {
        const uint64_t field = (std::bit_cast<uint64_t>(s0) >> 52) & 0x7FF;  // e + 1023
        return field >= 1029 && field <= 0x7FE;
    }

    // From s0's sign and exponent field: M = +-1.5 * 2^e and 2^(e-1).
    explicit Binade(double s0)
        : middle(L::broadcast(fromBits((bitsOf(s0) & kSignAndField) | (uint64_t{1} << 51)))),
          halfWidth(L::broadcast(fromBits((bitsOf(s0) & kField) - (uint64_t{1} << 52)))) {}

    Vec middle;
    // A sum lies in [lo, hi] exactly when |fl(sum - middle)| < halfWidth.
    Vec halfWidth;

  private:
    static constexpr uint64_t kField = uint64_t{0x7FF} << 52;
    static constexpr uint64_t kSignAndField = kField | uint64_t{1} << 63;
    static uint64_t bitsOf(double v) { return std::bit_cast<uint64_t>(v); }
    static double fromBits(uint64_t b) { return std::bit_cast<double>(b); }
};

// The whole blocks (at most kChunkBlocks) at in[0..], unwrapped in one pass from the correction
// s, which must be Binade<L>::usable: true when the chunk passed (see the header), with s the
// correction after it, `before` its last block (it holds the block before in[0] on entry) and the
// corrections taken added to `taken`. False leaves s, `before` and `taken` as they were, and out
// holding values to be overwritten: `in` must not overlap `out`.
template <typename L, typename T>
[[gnu::always_inline]] inline bool binadeChunk(const T* in, T* out, int32_t blocks,
                                               RawBlock<L, T>& before, double& s,
                                               const StepConstants<L, T>& k, int32_t& taken) {
    using Vec = typename L::Vec;
    constexpr int32_t W = L::kLanes;
    constexpr unsigned kAll = (1u << W) - 1u;
    const Binade<L> bin(s);
    Vec S = L::broadcast(s);  // the correction before the block, in every lane
    Vec bounds = k.zero;
    // The largest |sum - M|, and 2^52 times the largest distance of a correction from its
    // rounding, which reaches 2^52 q/2 = 2^(e-1) only at a tie: one register for both.
    Vec spread = L::abs(L::sub(S, bin.middle));
    const Vec tieScale = L::broadcast(4503599627370496.0);  // 2^52
    int32_t count = 0;
    const auto block = [&](int32_t b, RawBlock<L, T> raw, RawBlock<L, T> rawBefore) {
        const Vec x = L::widen(raw);
        const Vec d = L::sub(x, L::widen(rawBefore));
        Vec c;
        const typename L::Cmp take = turnCorrections<L, T>(d, L::abs(d), k, c, bounds);
        const Vec applied = L::onlyWhere(take, c);
        const Vec rounded = L::sub(L::add(applied, bin.middle), bin.middle);
        const Vec prefix = L::prefixSum(rounded);
        const Vec sums = L::add(S, prefix);
        spread = L::max(L::max(L::abs(L::sub(sums, bin.middle)),
                               L::mul(L::abs(L::sub(rounded, applied)), tieScale)),
                        spread);
        L::store(out + b * W, L::add(sums, x));
        S = L::add(S, L::broadcastLast(prefix));
        count += __builtin_popcount(L::bits(take));
    };
    const RawBlock<L, T> first = L::loadRaw(in);
    block(0, first, L::shiftInRaw(before, first));
    for (int32_t b = 1; b < blocks; ++b) {
        block(b, L::loadRaw(in + b * W), L::loadRaw(in + b * W - 1));
    }
    if (L::bits(L::less(spread, bin.halfWidth)) != kAll || !turnsExact<L, T>(bounds, k)) {
        return false;
    }
    s = L::firstLane(S);
    before = L::loadRaw(in + (blocks - 1) * W);
    taken += count;
    return true;
}

}  // namespace kq::simd

#endif
