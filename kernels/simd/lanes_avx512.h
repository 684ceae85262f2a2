// The AVX-512 lane set of the vector kernels: eight binary64 lanes in a zmm register, comparison
// results in a mask register. Needs AVX-512F and AVX-512VL (for the eight-float loads and stores):
// include it only from the translation unit compiled for them. The lane set lives in an unnamed
// namespace, so the kernel bodies instantiated with it stay local to that unit (see
// unwrap_simd_step.h). No fused multiply-add: every product is rounded on its own.
#ifndef KQ_KERNELS_SIMD_LANES_AVX512_H
#define KQ_KERNELS_SIMD_LANES_AVX512_H

#include <immintrin.h>

#include <cstdint>

namespace {

// The index table of spreadTaken, by the eight bits of taken lanes: one byte per lane, relative to
// the first value spreadTaken loads, sums[m & 1].
struct Avx512SpreadTable {
    uint8_t from[256][8];
};

constexpr Avx512SpreadTable makeAvx512SpreadTable() {
    Avx512SpreadTable t{};
    for (int32_t m = 0; m < 256; ++m) {
        int32_t before = 0;  // takes in lanes 0 to l
        for (int32_t l = 0; l < 8; ++l) {
            before += (m >> l) & 1;
            t.from[m][l] = static_cast<uint8_t>(before - (m & 1));
        }
    }
    return t;
}

inline constexpr Avx512SpreadTable kAvx512SpreadTable = makeAvx512SpreadTable();

struct Avx512Lanes {
    static constexpr int32_t kLanes = 8;
    using Vec = __m512d;
    using Cmp = __mmask8;

    static Vec broadcast(double s) { return _mm512_set1_pd(s); }
    static double firstLane(Vec a) { return _mm512_cvtsd_f64(a); }

    static Vec add(Vec a, Vec b) { return _mm512_add_pd(a, b); }
    static Vec sub(Vec a, Vec b) { return _mm512_sub_pd(a, b); }
    static Vec mul(Vec a, Vec b) { return _mm512_mul_pd(a, b); }
    // The smaller (larger) of a and b; b when either is NaN, so an accumulator passed as b keeps
    // NaN out of it.
    static Vec min(Vec a, Vec b) { return _mm512_min_pd(a, b); }
    static Vec max(Vec a, Vec b) { return _mm512_max_pd(a, b); }
    // Clears the sign bit, as fabs does; only ever compared.
    static Vec abs(Vec a) { return _mm512_abs_pd(a); }
    // The magnitude of mag (not negative) with the sign of s: a bitwise select, one instruction.
    static Vec copySign(Vec mag, Vec s) {
        return _mm512_castsi512_pd(_mm512_ternarylogic_epi64(_mm512_castpd_si512(broadcast(-0.0)),
                                                             _mm512_castpd_si512(s),
                                                             _mm512_castpd_si512(mag), 0xCA));
    }
    // Toward zero, as std::trunc: whole numbers, NaN and infinities pass unchanged.
    static Vec truncate(Vec a) {
        return _mm512_roundscale_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    }

    // Ordered, quiet comparisons: false when either side is NaN, as the scalar operators.
    static Cmp greater(Vec a, Vec b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
    static Cmp less(Vec a, Vec b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static Cmp equal(Vec a, Vec b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
    static Cmp both(Cmp a, Cmp b) { return static_cast<Cmp>(a & b); }
    static Cmp either(Cmp a, Cmp b) { return static_cast<Cmp>(a | b); }
    static Vec select(Cmp m, Vec ifTrue, Vec ifFalse) {
        return _mm512_mask_blend_pd(m, ifFalse, ifTrue);
    }
    static unsigned bits(Cmp m) { return m; }
    static Cmp fromBits(unsigned m) { return static_cast<Cmp>(m); }
    // Lanes lane to 7; none for lane 8.
    static Cmp lanesFrom(unsigned lane) { return static_cast<Cmp>(0xFFu << lane); }

    // Lane `lane` (0 to 7) of a in every lane: a move, no arithmetic.
    static Vec broadcastLane(Vec a, unsigned lane) {
        return _mm512_permutexvar_pd(_mm512_set1_epi64(lane), a);
    }
    // [last lane of before, x0, ..., x6]: the previous raw sample of each lane.
    static Vec shiftIn(Vec before, Vec x) {
        return _mm512_castsi512_pd(
            _mm512_alignr_epi64(_mm512_castpd_si512(x), _mm512_castpd_si512(before), 7));
    }

    // rows[r] lane l becomes rows[l] lane r: eight channels' blocks become eight samples' lanes.
    // Three rounds of two-source permutes, each swapping blocks of 1, 2 and 4 lanes.
    static void transpose(Vec (&rows)[kLanes]) {
        // Round 1: t[2i] = [r(2i)_0 r(2i+1)_0 r(2i)_2 r(2i+1)_2 ...], t[2i+1] the odd lanes.
        const __m512i evens = _mm512_setr_epi64(0, 8, 2, 10, 4, 12, 6, 14);
        const __m512i odds = _mm512_setr_epi64(1, 9, 3, 11, 5, 13, 7, 15);
        Vec t[kLanes];
        for (int32_t i = 0; i < kLanes; i += 2) {
            t[i] = _mm512_permutex2var_pd(rows[i], evens, rows[i + 1]);
            t[i + 1] = _mm512_permutex2var_pd(rows[i], odds, rows[i + 1]);
        }
        // Round 2: pairs of lanes; u[q + 4h] (q = 0..3, h = 0, 1) holds lanes q and q + 4 of
        // rows 4h to 4h + 3.
        const __m512i lowPairs = _mm512_setr_epi64(0, 1, 8, 9, 4, 5, 12, 13);
        const __m512i highPairs = _mm512_setr_epi64(2, 3, 10, 11, 6, 7, 14, 15);
        Vec u[kLanes];
        for (int32_t h = 0; h < 2; ++h) {
            const int32_t r = 4 * h;
            u[r + 0] = _mm512_permutex2var_pd(t[r + 0], lowPairs, t[r + 2]);
            u[r + 1] = _mm512_permutex2var_pd(t[r + 1], lowPairs, t[r + 3]);
            u[r + 2] = _mm512_permutex2var_pd(t[r + 0], highPairs, t[r + 2]);
            u[r + 3] = _mm512_permutex2var_pd(t[r + 1], highPairs, t[r + 3]);
        }
        // Round 3: halves; lane q from rows 0 to 3 and rows 4 to 7.
        const __m512i lowHalves = _mm512_setr_epi64(0, 1, 2, 3, 8, 9, 10, 11);
        const __m512i highHalves = _mm512_setr_epi64(4, 5, 6, 7, 12, 13, 14, 15);
        for (int32_t q = 0; q < 4; ++q) {
            rows[q] = _mm512_permutex2var_pd(u[q], lowHalves, u[q + 4]);
            rows[q + 4] = _mm512_permutex2var_pd(u[q], highHalves, u[q + 4]);
        }
    }

    // The lanes of c named by takes, moved to the first lanes in lane order; the other lanes
    // are unspecified (zero here).
    static Vec packTaken(Vec c, unsigned takes) {
        return _mm512_maskz_compress_pd(static_cast<Cmp>(takes), c);
    }
    // Lane l gets sums[n], n the number of takes in lanes 0 to l; reads sums[0] to sums[8].
    static Vec spreadTaken(const double* sums, unsigned takes) {
        const __m512i index = _mm512_cvtepu8_epi64(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kAvx512SpreadTable.from[takes])));
        return _mm512_permutexvar_pd(index, _mm512_loadu_pd(sums + (takes & 1u)));
    }

    // Loads widen binary32 exactly; stores round to binary32 with the current (default) rounding,
    // as static_cast<float> does. The First forms touch only the first count elements.
    static Cmp firstLanes(int32_t count) { return static_cast<Cmp>((1u << count) - 1u); }

    static Vec load(const double* p) { return _mm512_loadu_pd(p); }
    static Vec load(const float* p) { return _mm512_cvtps_pd(_mm256_loadu_ps(p)); }
    static Vec loadFirst(const double* p, int32_t count) {
        return _mm512_maskz_loadu_pd(firstLanes(count), p);
    }
    static Vec loadFirst(const float* p, int32_t count) {
        return _mm512_cvtps_pd(_mm256_maskz_loadu_ps(firstLanes(count), p));
    }
    static void store(double* p, Vec a) { _mm512_storeu_pd(p, a); }
    static void store(float* p, Vec a) { _mm256_storeu_ps(p, _mm512_cvtpd_ps(a)); }
    static void storeFirst(double* p, Vec a, int32_t count) {
        _mm512_mask_storeu_pd(p, firstLanes(count), a);
    }
    static void storeFirst(float* p, Vec a, int32_t count) {
        _mm256_mask_storeu_ps(p, firstLanes(count), _mm512_cvtpd_ps(a));
    }

    // The stored samples: the calm test of the kernels runs on them before they are widened.
    static __m512d broadcastRaw(double s) { return broadcast(s); }
    static __m256 broadcastRaw(float s) { return _mm256_set1_ps(s); }
    static __m512d shiftInRaw(__m512d before, __m512d x) { return shiftIn(before, x); }
    static __m256 shiftInRaw(__m256 before, __m256 x) {
        return _mm256_castsi256_ps(
            _mm256_alignr_epi32(_mm256_castps_si256(x), _mm256_castps_si256(before), 7));
    }
    // Lanes where |x - v| < below, in the samples' own precision (NaN: false).
    static unsigned calmBits(__m512d x, __m512d v, __m512d below) {
        return bits(less(abs(sub(x, v)), below));
    }
    static unsigned calmBits(__m256 x, __m256 v, __m256 below) {
        return _mm256_cmp_ps_mask(_mm256_andnot_ps(_mm256_set1_ps(-0.0f), _mm256_sub_ps(x, v)),
                                  below, _CMP_LT_OQ);
    }

    // Samples as stored, for copying them unchanged.
    static __m512d loadRaw(const double* p) { return _mm512_loadu_pd(p); }
    static __m256 loadRaw(const float* p) { return _mm256_loadu_ps(p); }
    static __m512d loadRawFirst(const double* p, int32_t count) { return loadFirst(p, count); }
    static __m256 loadRawFirst(const float* p, int32_t count) {
        return _mm256_maskz_loadu_ps(firstLanes(count), p);
    }
    static Vec widen(__m512d raw) { return raw; }
    static Vec widen(__m256 raw) { return _mm512_cvtps_pd(raw); }
    static void storeRaw(double* p, __m512d raw) { _mm512_storeu_pd(p, raw); }
    static void storeRaw(float* p, __m256 raw) { _mm256_storeu_ps(p, raw); }
    static void storeRawFirst(double* p, __m512d raw, int32_t count) { storeFirst(p, raw, count); }
    static void storeRawFirst(float* p, __m256 raw, int32_t count) {
        _mm256_mask_storeu_ps(p, firstLanes(count), raw);
    }
};

}  // namespace

#endif
