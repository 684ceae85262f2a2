// The additions of a channel's taken corrections, S = S + c one after the other, done as integer
// additions where S stays in one binade: the same bits as the sequential binary64 additions,
// without their chain of 3-4 cycle latencies.
//
// Why the bits agree. Let S be normal with 2^e <= |S| < 2^(e+1), and q = 2^(e-52) its spacing:
// the binary64 values of magnitude in [2^e, 2^(e+1)] are exactly the multiples of q there (2^(e+1)
// included), and a value's significand is its multiple of q, so its bits are those of S plus the
// difference of the multiples (with S's sign: minus it for a negative S). Take x = S + c exact, and
// y = c/q, which is c times a power of two: exact (or, where it underflows, below 1/2 in
// magnitude either way, and rounded to 0 either way). If y is not a half-integer, the nearest
// multiple of q to x is S + q * rn(y), rn rounding to the nearest integer, and it lies within q/2
// of x. If that multiple is strictly inside the binade, 2^e < |S + q rn(y)| < 2^(e+1), then it
// is at least q from either edge, so x lies in the binade, more than q/2 from its edges: there the
// nearest binary64 value to x is the nearest multiple of q, and fl(S + c) = S + q * rn(y). By
// induction the same holds for every partial sum of a block, each a multiple of q. A half-integer
// y (a tie, whose rounding depends on the parity of S/q) fails the check, and so does a partial
// sum that reaches 2^e or 2^(e+1) (below 2^e the spacing halves, at 2^(e+1) it doubles).
//
// So a block of takes becomes: y_i = c_i * (+-2^(52-e)) in lanes; r_i = rn(y_i) by adding and
// subtracting 1.5 * 2^52 (for |y| < 2^51 the sum lies in (2^52, 2^53), where binary64 holds the
// integers and rounds to the nearest, ties to even; 1.5 * 2^52 is even, so the sum's bits are
// those of 1.5 * 2^52 plus rn(y), and the difference is rn(y) exactly); a tie test
// |rn(y) - y| < 1/2 (exact: the two are within 1/2 of each other, so Sterbenz's lemma, or |y| < 1,
// makes the difference exact); and V = the sum of |r_i|, which bounds every partial sum's distance
// from S in multiples of q. Sums of integers below 2^52 are exact in binary64, and a sum of
// non-negative terms never drops below a term or 2^52 once the exact sum reaches it, so V is exact
// when every |r_i| < 2^51 and V < 2^52, and at least 2^51 otherwise. Where
// |y| >= 2^51 (or y is infinite), rounding is monotone, so |r| >= 2^51 as well, and a NaN c gives a
// NaN r. With m = |S|/q - 2^52, S's multiple in its binade, the check V < m and m + V < 2^52 (which
// needs V < 2^51, so every |y| < 2^51, and no NaN) keeps every partial multiple in [1, 2^52 - 1],
// strictly inside the binade. Then a scalar loop adds the r_i to S's bits (one integer addition of
// 1 cycle per take) and records every partial sum. Otherwise (an edge within reach, a tie, a huge,
// NaN or infinite c; S zero, subnormal, below 2^-971 where 2^(52-e) would overflow, infinite or
// NaN) the block runs the sequential additions. Along a monotone run of takes V is the distance
// travelled, so the check is exact there.
#ifndef KQ_KERNELS_SIMD_BINADE_CHAIN_H
#define KQ_KERNELS_SIMD_BINADE_CHAIN_H

#include <bit>
#include <cstdint>

namespace unwrap_simd {

// Takes per binade block: a failing block costs its takes the sequential additions.
inline constexpr int32_t kBinadeTakes = 32;

// The sequential additions: sums[t] = s after takes 0 to t. Returns s after all of them.
template <typename L>
[[gnu::always_inline]] inline double addTakesInOrder(const double* taken, int32_t count, double s,
                                                     double* sums) {
    for (int32_t t = 0; t < count; ++t) {
        s = s + taken[t];
        sums[t] = s;
    }
    return s;
}

// The block form of addTakesInOrder for count (1 to kBinadeTakes) takes from s (see the header):
// false, having stored nothing, when the check fails.
template <typename L>
[[gnu::always_inline]] inline bool addTakesInBinade(const double* taken, int32_t count, double s,
                                                    double* sums) {
    using Vec = typename L::Vec;
    constexpr int32_t W = L::kLanes;
    constexpr unsigned kAll = (1u << W) - 1u;
    constexpr uint64_t kSignBit = uint64_t{1} << 63;
    constexpr uint64_t kFraction = (uint64_t{1} << 52) - 1;
    constexpr double kTwo52 = 4503599627370496.0;  // 2^52
    constexpr double kMagic = 1.5 * kTwo52;
    const uint64_t sBits = std::bit_cast<uint64_t>(s);
    const uint64_t field = (sBits >> 52) & 0x7FF;  // the biased exponent, e + 1023
    if (field < 52 || field > 0x7FE) {
        return false;
    }
    // +-2^(52-e), the sign of S making the r_i count along S's bits.
    const Vec scale =
        L::broadcast(std::bit_cast<double>(((2098 - field) << 52) | (sBits & kSignBit)));
    const Vec magic = L::broadcast(kMagic);
    const Vec half = L::broadcast(0.5);
    Vec spread = L::broadcast(0.0);
    typename L::Cmp noTie = L::less(spread, half);
    double rounded[kBinadeTakes + W];
    const auto round = [&](int32_t t, Vec c) {
        const Vec y = L::mul(c, scale);
        const Vec z = L::add(y, magic);
        const Vec r = L::sub(z, magic);
        noTie = L::both(noTie, L::less(L::abs(L::sub(r, y)), half));
        spread = L::add(spread, L::abs(r));
        L::store(rounded + t, z);
    };
    int32_t t = 0;
    for (; t + W <= count; t += W) {
        round(t, L::load(taken + t));
    }
    if (t < count) {
        // Lanes past count load as zero: r = 0, no tie.
        round(t, L::loadFirst(taken + t, count - t));
    }
    if (L::bits(noTie) != kAll) {
        return false;
    }
    double lanes[W];
    L::store(lanes, spread);
    double reach = 0.0;
    for (double lane : lanes) {
        reach += lane;
    }
    const auto multiple = static_cast<double>(sBits & kFraction);
    if (!(reach < multiple && multiple + reach < kTwo52)) {
        return false;
    }
    const uint64_t magicBits = std::bit_cast<uint64_t>(kMagic);
    uint64_t b = sBits;
#pragma GCC unroll 4
    for (int32_t i = 0; i < count; ++i) {
        b += std::bit_cast<uint64_t>(rounded[i]) - magicBits;
        sums[i] = std::bit_cast<double>(b);
    }
    return true;
}

// sums[t] = s after takes 0 to t of count, with the bits of the sequential additions: block by
// block in the binade form where its check passes. Returns s after all of them.
template <typename L>
[[gnu::always_inline]] inline double addTakes(const double* taken, int32_t count, double s,
                                              double* sums) {
    for (int32_t t = 0; t < count; t += kBinadeTakes) {
        const int32_t n = count - t < kBinadeTakes ? count - t : kBinadeTakes;
        if (addTakesInBinade<L>(taken + t, n, s, sums + t)) {
            s = sums[t + n - 1];
        } else {
            s = addTakesInOrder<L>(taken + t, n, s, sums + t);
        }
    }
    return s;
}

}  // namespace unwrap_simd

#endif
