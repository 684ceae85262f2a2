// The AVX2 lane set of the vector kernels: four binary64 lanes in a ymm register, comparison
// results as all-ones lanes. Include it only from the translation unit compiled for AVX2. The
// lane set lives in an unnamed namespace, so the kernel bodies instantiated with it stay local to
// that unit (see unwrap_simd_step.h). No fused multiply-add: every product is rounded on its own.
#ifndef KQ_KERNELS_SIMD_LANES_AVX2_H
#define KQ_KERNELS_SIMD_LANES_AVX2_H

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace {

// Index tables of packTaken and spreadTaken, by the four bits of taken lanes: 32-bit element
// indices for _mm256_permutevar8x32_ps, two per binary64 lane.
struct Avx2TakeTables {
    int32_t pack[16][8];
    int32_t spread[16][8];
};

constexpr Avx2TakeTables makeAvx2TakeTables() {
    Avx2TakeTables t{};
    for (int32_t m = 0; m < 16; ++m) {
        std::size_t packed = 0;
        int32_t before = 0;  // takes in lanes 0 to l
        for (std::size_t l = 0; l < 4; ++l) {
            const auto low = static_cast<int32_t>(2 * l);
            if (((m >> l) & 1) != 0) {
                t.pack[m][2 * packed] = low;
                t.pack[m][2 * packed + 1] = low + 1;
                ++packed;
                ++before;
            }
            // Relative to the first value spreadTaken loads, sums[m & 1].
            const int32_t from = before - (m & 1);
            t.spread[m][2 * l] = 2 * from;
            t.spread[m][2 * l + 1] = 2 * from + 1;
        }
    }
    return t;
}

inline constexpr Avx2TakeTables kAvx2TakeTables = makeAvx2TakeTables();

struct Avx2Lanes {
    static constexpr int32_t kLanes = 4;
    using Vec = __m256d;
    using Cmp = __m256d;

    static Vec broadcast(double s) { return _mm256_set1_pd(s); }
    static double firstLane(Vec a) { return _mm256_cvtsd_f64(a); }

    static Vec add(Vec a, Vec b) { return _mm256_add_pd(a, b); }
    static Vec sub(Vec a, Vec b) { return _mm256_sub_pd(a, b); }
    static Vec mul(Vec a, Vec b) { return _mm256_mul_pd(a, b); }
    // The smaller (larger) of a and b; b when either is NaN, so an accumulator passed as b keeps
    // NaN out of it.
    static Vec min(Vec a, Vec b) { return _mm256_min_pd(a, b); }
    static Vec max(Vec a, Vec b) { return _mm256_max_pd(a, b); }
    // Clears the sign bit, as fabs does; only ever compared.
    static Vec abs(Vec a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    // The magnitude of mag (not negative) with the sign of s.
    static Vec copySign(Vec mag, Vec s) {
        return _mm256_or_pd(_mm256_and_pd(_mm256_set1_pd(-0.0), s), mag);
    }
    // Toward zero, as std::trunc: whole numbers, NaN and infinities pass unchanged.
    static Vec truncate(Vec a) {
        return _mm256_round_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    }

    // Ordered, quiet comparisons: false when either side is NaN, as the scalar operators.
    static Cmp greater(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
    static Cmp less(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static Cmp equal(Vec a, Vec b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    static Cmp both(Cmp a, Cmp b) { return _mm256_and_pd(a, b); }
    static Cmp either(Cmp a, Cmp b) { return _mm256_or_pd(a, b); }
    static Vec select(Cmp m, Vec ifTrue, Vec ifFalse) {
        return _mm256_blendv_pd(ifFalse, ifTrue, m);
    }
    static unsigned bits(Cmp m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
    static Cmp fromBits(unsigned m) {
        const __m256i lane = _mm256_setr_epi64x(1, 2, 4, 8);
        return _mm256_castsi256_pd(
            _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(m), lane), lane));
    }
    // Lanes lane to 3; none for lane 4.
    static Cmp lanesFrom(unsigned lane) {
        return _mm256_castsi256_pd(
            _mm256_cmpgt_epi64(_mm256_setr_epi64x(1, 2, 3, 4), _mm256_set1_epi64x(lane)));
    }

    // Lane `lane` (0 to 3) of a in every lane: a move of its two 32-bit halves, no arithmetic.
    static Vec broadcastLane(Vec a, unsigned lane) {
        const int64_t low = 2 * static_cast<int64_t>(lane);
        const __m256i halves = _mm256_set1_epi64x(((low + 1) << 32) | low);
        return _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(a), halves));
    }
    // [last lane of before, x0, x1, x2]: the previous raw sample of each lane.
    static Vec shiftIn(Vec before, Vec x) {
        const Vec middle = _mm256_permute2f128_pd(before, x, 0x21);  // [b2, b3, x0, x1]
        return _mm256_shuffle_pd(middle, x, 0b0101);
    }

    // rows[r] lane l becomes rows[l] lane r: four channels' blocks become four samples' lanes.
    static void transpose(Vec (&rows)[kLanes]) {
        const Vec t0 = _mm256_unpacklo_pd(rows[0], rows[1]);  // a0 b0 a2 b2
        const Vec t1 = _mm256_unpackhi_pd(rows[0], rows[1]);  // a1 b1 a3 b3
        const Vec t2 = _mm256_unpacklo_pd(rows[2], rows[3]);  // c0 d0 c2 d2
        const Vec t3 = _mm256_unpackhi_pd(rows[2], rows[3]);  // c1 d1 c3 d3
        rows[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
        rows[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
        rows[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
        rows[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
    }

    // The lanes of c named by takes, moved to the first lanes in lane order; the other lanes
    // are unspecified.
    static Vec packTaken(Vec c, unsigned takes) {
        const __m256i index =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kAvx2TakeTables.pack[takes]));
        return _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(c), index));
    }
    // Lane l gets sums[n], n the number of takes in lanes 0 to l; reads sums[0] to sums[4].
    static Vec spreadTaken(const double* sums, unsigned takes) {
        const __m256i index =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kAvx2TakeTables.spread[takes]));
        const Vec from = _mm256_loadu_pd(sums + (takes & 1u));
        return _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(from), index));
    }

    // Loads widen binary32 exactly; stores round to binary32 with the current (default) rounding,
    // as static_cast<float> does. The First forms touch only the first count elements.
    static __m256i firstLanes(int32_t count) {
        return _mm256_cmpgt_epi64(_mm256_set1_epi64x(count), _mm256_setr_epi64x(0, 1, 2, 3));
    }
    static __m128i firstFloats(int32_t count) {
        return _mm_cmpgt_epi32(_mm_set1_epi32(count), _mm_setr_epi32(0, 1, 2, 3));
    }

    static Vec load(const double* p) { return _mm256_loadu_pd(p); }
    static Vec load(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
    static Vec loadFirst(const double* p, int32_t count) {
        return _mm256_maskload_pd(p, firstLanes(count));
    }
    static Vec loadFirst(const float* p, int32_t count) {
        return _mm256_cvtps_pd(_mm_maskload_ps(p, firstFloats(count)));
    }
    static void store(double* p, Vec a) { _mm256_storeu_pd(p, a); }
    static void store(float* p, Vec a) { _mm_storeu_ps(p, _mm256_cvtpd_ps(a)); }
    static void storeFirst(double* p, Vec a, int32_t count) {
        _mm256_maskstore_pd(p, firstLanes(count), a);
    }
    static void storeFirst(float* p, Vec a, int32_t count) {
        _mm_maskstore_ps(p, firstFloats(count), _mm256_cvtpd_ps(a));
    }

    // The stored samples: the calm test of the kernels runs on them before they are widened.
    static __m256d broadcastRaw(double s) { return broadcast(s); }
    static __m128 broadcastRaw(float s) { return _mm_set1_ps(s); }
    static __m256d shiftInRaw(__m256d before, __m256d x) { return shiftIn(before, x); }
    static __m128 shiftInRaw(__m128 before, __m128 x) {
        return _mm_castsi128_ps(_mm_alignr_epi8(_mm_castps_si128(x), _mm_castps_si128(before), 12));
    }
    // Lanes where |x - v| < below, in the samples' own precision (NaN: false).
    static unsigned calmBits(__m256d x, __m256d v, __m256d below) {
        return bits(less(abs(sub(x, v)), below));
    }
    static unsigned calmBits(__m128 x, __m128 v, __m128 below) {
        return static_cast<unsigned>(_mm_movemask_ps(
            _mm_cmplt_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(x, v)), below)));
    }

    // Samples as stored, for copying them unchanged.
    static __m256d loadRaw(const double* p) { return _mm256_loadu_pd(p); }
    static __m128 loadRaw(const float* p) { return _mm_loadu_ps(p); }
    static __m256d loadRawFirst(const double* p, int32_t count) { return loadFirst(p, count); }
    static __m128 loadRawFirst(const float* p, int32_t count) {
        return _mm_maskload_ps(p, firstFloats(count));
    }
    static Vec widen(__m256d raw) { return raw; }
    static Vec widen(__m128 raw) { return _mm256_cvtps_pd(raw); }
    static void storeRaw(double* p, __m256d raw) { _mm256_storeu_pd(p, raw); }
    static void storeRaw(float* p, __m128 raw) { _mm_storeu_ps(p, raw); }
    static void storeRawFirst(double* p, __m256d raw, int32_t count) { storeFirst(p, raw, count); }
    static void storeRawFirst(float* p, __m128 raw, int32_t count) {
        _mm_maskstore_ps(p, firstFloats(count), raw);
    }
};

}  // namespace

#endif
