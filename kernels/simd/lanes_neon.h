// The Advanced SIMD lane set of the vector kernels: two binary64 lanes in a q register, comparison
// results as all-ones lanes. Advanced SIMD is part of the base 64-bit ARM architecture, so this
// needs no option of its own. The lane set lives in an unnamed namespace, so the kernel bodies
// instantiated with it stay local to the unit that includes it (see unwrap_simd_step.h). No fused
// multiply-add: every product is rounded on its own (-ffp-contract=off keeps the compiler from
// joining the separate intrinsics below into one).
#ifndef KQ_KERNELS_SIMD_LANES_NEON_H
#define KQ_KERNELS_SIMD_LANES_NEON_H

#include <arm_neon.h>

#include <cstdint>

namespace {

struct NeonLanes {
    static constexpr int32_t kLanes = 2;
    using Vec = float64x2_t;
    using Cmp = uint64x2_t;

    static Vec broadcast(double s) { return vdupq_n_f64(s); }
    static double firstLane(Vec a) { return vgetq_lane_f64(a, 0); }

    static Vec add(Vec a, Vec b) { return vaddq_f64(a, b); }
    static Vec sub(Vec a, Vec b) { return vsubq_f64(a, b); }
    static Vec mul(Vec a, Vec b) { return vmulq_f64(a, b); }
    // The smaller (larger) of a and b; b when either is NaN, so an accumulator passed as b keeps
    // NaN out of it. FMIN/FMAX would return the NaN, so these are a comparison and a select.
    static Vec min(Vec a, Vec b) { return vbslq_f64(vcltq_f64(a, b), a, b); }
    static Vec max(Vec a, Vec b) { return vbslq_f64(vcgtq_f64(a, b), a, b); }
    // Clears the sign bit, as fabs does; only ever compared.
    static Vec abs(Vec a) { return vabsq_f64(a); }
    // The magnitude of mag (not negative) with the sign of s: a bitwise select.
    static Vec copySign(Vec mag, Vec s) {
        return vbslq_f64(vreinterpretq_u64_f64(vdupq_n_f64(-0.0)), s, mag);
    }
    // Toward zero, as std::trunc: whole numbers, NaN and infinities pass unchanged (FRINTZ).
    static Vec truncate(Vec a) { return vrndq_f64(a); }

    // Ordered comparisons: false when either side is NaN, as the scalar operators.
    static Cmp greater(Vec a, Vec b) { return vcgtq_f64(a, b); }
    static Cmp less(Vec a, Vec b) { return vcltq_f64(a, b); }
    static Cmp equal(Vec a, Vec b) { return vceqq_f64(a, b); }
    static Cmp both(Cmp a, Cmp b) { return vandq_u64(a, b); }
    static Cmp either(Cmp a, Cmp b) { return vorrq_u64(a, b); }
    static Vec select(Cmp m, Vec ifTrue, Vec ifFalse) { return vbslq_f64(m, ifTrue, ifFalse); }
    // Lane i sets bit i.
    static unsigned bits(Cmp m) {
        const uint64x2_t lane = {1, 2};
        return static_cast<unsigned>(vaddvq_u64(vandq_u64(m, lane)));
    }
    static Cmp fromBits(unsigned m) {
        const uint64x2_t lane = {1, 2};
        return vtstq_u64(vdupq_n_u64(m), lane);
    }
    // Lanes lane to 1; none for lane 2.
    static Cmp lanesFrom(unsigned lane) {
        const uint64x2_t next = {1, 2};
        return vcgtq_u64(next, vdupq_n_u64(lane));
    }

    // Lane `lane` (0 or 1) of a in every lane: a move, no arithmetic.
    static Vec broadcastLane(Vec a, unsigned lane) {
        return lane == 0 ? vdupq_laneq_f64(a, 0) : vdupq_laneq_f64(a, 1);
    }
    // [last lane of before, x0]: the previous raw sample of each lane.
    static Vec shiftIn(Vec before, Vec x) { return vextq_f64(before, x, 1); }

    // rows[r] lane l becomes rows[l] lane r: two channels' blocks become two samples' lanes.
    static void transpose(Vec (&rows)[kLanes]) {
        const Vec first = vzip1q_f64(rows[0], rows[1]);
        rows[1] = vzip2q_f64(rows[0], rows[1]);
        rows[0] = first;
    }

    // The lanes of c named by takes, moved to the first lanes in lane order; the other lanes
    // are unspecified.
    static Vec packTaken(Vec c, unsigned takes) { return takes == 2u ? vdupq_laneq_f64(c, 1) : c; }
    // Lane l gets sums[n], n the number of takes in lanes 0 to l; reads sums[0] to sums[2].
    static Vec spreadTaken(const double* sums, unsigned takes) {
        const unsigned first = takes & 1u;
        const unsigned second = first + ((takes >> 1) & 1u);
        return vsetq_lane_f64(sums[second], vdupq_n_f64(sums[first]), 1);
    }

    // Loads widen binary32 exactly; stores round to binary32 with the current (default) rounding,
    // as static_cast<float> does. The First forms touch only the first count elements (count is
    // below the lane count, so at most one); the lanes past them read as zero.
    static Vec load(const double* p) { return vld1q_f64(p); }
    static Vec load(const float* p) { return vcvt_f64_f32(vld1_f32(p)); }
    static Vec loadFirst(const double* p, int32_t count) {
        return count > 0 ? vld1q_lane_f64(p, vdupq_n_f64(0.0), 0) : vdupq_n_f64(0.0);
    }
    static Vec loadFirst(const float* p, int32_t count) {
        return vcvt_f64_f32(loadRawFirst(p, count));
    }
    static void store(double* p, Vec a) { vst1q_f64(p, a); }
    static void store(float* p, Vec a) { vst1_f32(p, vcvt_f32_f64(a)); }
    static void storeFirst(double* p, Vec a, int32_t count) {
        if (count > 0) {
            vst1q_lane_f64(p, a, 0);
        }
    }
    static void storeFirst(float* p, Vec a, int32_t count) {
        storeRawFirst(p, vcvt_f32_f64(a), count);
    }

    // The stored samples: the calm test of the kernels runs on them before they are widened.
    static float64x2_t broadcastRaw(double s) { return broadcast(s); }
    static float32x2_t broadcastRaw(float s) { return vdup_n_f32(s); }
    static float64x2_t shiftInRaw(float64x2_t before, float64x2_t x) { return shiftIn(before, x); }
    static float32x2_t shiftInRaw(float32x2_t before, float32x2_t x) {
        return vext_f32(before, x, 1);
    }
    // Lanes where |x - v| < below, in the samples' own precision (NaN: false).
    static unsigned calmBits(float64x2_t x, float64x2_t v, float64x2_t below) {
        return bits(less(abs(sub(x, v)), below));
    }
    static unsigned calmBits(float32x2_t x, float32x2_t v, float32x2_t below) {
        const uint32x2_t lane = {1, 2};
        const uint32x2_t calm = vclt_f32(vabs_f32(vsub_f32(x, v)), below);
        return vaddv_u32(vand_u32(calm, lane));
    }

    // Samples as stored, for copying them unchanged.
    static float64x2_t loadRaw(const double* p) { return vld1q_f64(p); }
    static float32x2_t loadRaw(const float* p) { return vld1_f32(p); }
    static float64x2_t loadRawFirst(const double* p, int32_t count) { return loadFirst(p, count); }
    static float32x2_t loadRawFirst(const float* p, int32_t count) {
        return count > 0 ? vld1_lane_f32(p, vdup_n_f32(0.0f), 0) : vdup_n_f32(0.0f);
    }
    static Vec widen(float64x2_t raw) { return raw; }
    static Vec widen(float32x2_t raw) { return vcvt_f64_f32(raw); }
    static void storeRaw(double* p, float64x2_t raw) { vst1q_f64(p, raw); }
    static void storeRaw(float* p, float32x2_t raw) { vst1_f32(p, raw); }
    static void storeRawFirst(double* p, float64x2_t raw, int32_t count) {
        storeFirst(p, raw, count);
    }
    static void storeRawFirst(float* p, float32x2_t raw, int32_t count) {
        if (count > 0) {
            vst1_lane_f32(p, raw, 0);
        }
    }
};

}  // namespace

#endif
