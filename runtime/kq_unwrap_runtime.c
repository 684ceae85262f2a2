/* The twelve kernels of the target runtime. One channel walk per precision serves all of them: the
 * in-place kernels pass one buffer as input and output, and every raw sample is read before its
 * position is written.
 *
 * A calm step (kq_wrap_step.h: |d| < KQ_CALM_STEP with a cutoff of at least KQ_CALM_CUTOFF) takes
 * no correction, so its output is S + x and the rest of the step is skipped; the test is made as
 * cheaply as the processor allows, and gives the same answer as the full step on every input. */
#include "kq_unwrap_runtime.h"

#include <stddef.h>

#include "kq_wrap_step.h"

/* binary64 in software: a Cortex-M4F or M33 (a binary32 FPU only), a Cortex-M0 or M3 or any ARM
 * soft-float build, a RISC-V core without the D extension. There the runtime does its binary64
 * arithmetic itself (kq_soft_binary64.h) instead of calling the compiler's support routines, whose
 * rounding differs between toolchains. -DKQ_SOFT_BINARY64=1 or =0 overrides the choice. */
#if !defined(KQ_SOFT_BINARY64)
#if (defined(__arm__) && (defined(__SOFTFP__) || (defined(__ARM_FP) && !(__ARM_FP & 8)))) || \
    (defined(__riscv) && (!defined(__riscv_flen) || __riscv_flen < 64))
#define KQ_SOFT_BINARY64 1
#else
#define KQ_SOFT_BINARY64 0
#endif
#endif

#if KQ_SOFT_BINARY64
#include "kq_wrap_step_soft.h"
#endif

/* The binary64 operations of the channel walk: the runtime's own where binary64 is software, else
 * the processor's. */
static inline double kq_add_dbl(double a, double b) {
#if KQ_SOFT_BINARY64
    return kq_double_of(kq_b64_add(kq_bits_of(a), kq_bits_of(b)));
#else
    return a + b;
#endif
}

#if KQ_RUNTIME_HAS_PRECISION(SGL)
static inline double kq_widen_sgl(float value) {
#if KQ_SOFT_BINARY64
    return kq_double_of(kq_b64_from_binary32(kq_b32_bits_of(value)));
#else
    return (double)value;
#endif
}

static inline float kq_narrow_sgl(double value) {
#if KQ_SOFT_BINARY64
    return kq_b32_float_of(kq_b64_to_binary32(kq_bits_of(value)));
#else
    return (float)value;
#endif
}

/* The same conversions where they run once per call or per wrap (the cutoff, the step's
 * operands): where binary64 is software, the out-of-line functions that take every value, so that
 * only the channel loop holds inline copies, which keeps the flash of a single-precision model
 * within 4 KB for a few instructions per wrap. */
#if KQ_SOFT_BINARY64
static inline uint64_t kq_widen_sgl_bits(float value) {
    return kq_b64_from_binary32_any(kq_b32_bits_of(value));
}
#endif

static inline float kq_narrow_sgl_once(double value) {
#if KQ_SOFT_BINARY64
    return kq_b32_float_of(kq_b64_to_binary32_any(kq_bits_of(value)));
#else
    return (float)value;
#endif
}
#endif

/* The calm tests of the double variant: on the bits where binary64 is software, else by the
 * processor's own comparison. */
static inline int kq_calm_cutoff_dbl(double cutoff) {
#if KQ_SOFT_BINARY64
    return kq_calm_cutoff_dbl_bits(cutoff);
#else
    return cutoff >= KQ_CALM_CUTOFF;
#endif
}

#if defined(__GNUC__)
#define KQ_NOINLINE __attribute__((noinline))
#define KQ_RARELY(condition) (__builtin_expect((condition) ? 1L : 0L, 0L) != 0L)
#else
#define KQ_NOINLINE
#define KQ_RARELY(condition) (condition)
#endif

/* The whole step, out of line, giving the new S (the output is then S + x, as the step gives it):
 * it runs only where a difference is not calm (or the cutoff is below KQ_CALM_CUTOFF), and one
 * copy per precision instead of one in each of the twelve kernels keeps the runtime small in a
 * microcontroller's flash. S goes in and out by value so that the channel loop keeps it in a
 * register. */
#if KQ_RUNTIME_HAS_PRECISION(DBL)
#if KQ_SOFT_BINARY64
/* The same from the difference d = x - v, which the calm test has computed. */
static KQ_NOINLINE double kq_stepped_sum_of_difference_dbl(uint64_t d, double S, double cutoff) {
    return kq_double_of(kq_wrap_correction_soft(d, kq_bits_of(S), kq_bits_of(cutoff),
                                                kq_soft_step_constants_dbl()));
}

static double kq_stepped_sum_dbl(double v, double x, double S, double cutoff) {
    return kq_stepped_sum_of_difference_dbl(kq_b64_sub(kq_bits_of(x), kq_bits_of(v)), S, cutoff);
}

/* S after the step from v to x where the cutoff is calm: the step is skipped where the difference
 * is calm, and the difference is computed once. */
static inline double kq_calm_or_stepped_sum_dbl(double v, double x, double S, double cutoff) {
    double sum = S;
    if (KQ_RARELY(!kq_calm_by_magnitudes(kq_bits_of(v), kq_bits_of(x)))) {
        const uint64_t d = kq_b64_sub(kq_bits_of(x), kq_bits_of(v));
        if (!kq_calm_difference(d)) {
            sum = kq_stepped_sum_of_difference_dbl(d, S, cutoff);
        }
    }
    return sum;
}
#else
static KQ_NOINLINE double kq_stepped_sum_dbl(double v, double x, double S, double cutoff) {
    (void)kq_wrap_step_dbl(v, x, &S, cutoff);
    return S;
}

static inline double kq_calm_or_stepped_sum_dbl(double v, double x, double S, double cutoff) {
    return KQ_RARELY(!kq_calm_step_dbl(v, x)) ? kq_stepped_sum_dbl(v, x, S, cutoff) : S;
}
#endif

#endif

#if KQ_RUNTIME_HAS_PRECISION(SGL)
static KQ_NOINLINE double kq_stepped_sum_sgl(float v, float x, double S, float cutoff) {
#if KQ_SOFT_BINARY64
    return kq_double_of(kq_wrap_correction_soft_sgl(kq_widen_sgl_bits(v), kq_widen_sgl_bits(x),
                                                    kq_bits_of(S), kq_widen_sgl_bits(cutoff)));
#else
    (void)kq_wrap_step_sgl((double)v, (double)x, &S, cutoff);
    return S;
#endif
}

#endif

#if KQ_RUNTIME_HAS_PRECISION(DBL)
/* n samples of one channel: in[i] becomes out[i] = S + in[i] after the step from the previous raw
 * sample (prev before the first). Updates *sum and returns the last raw sample. */
static inline double kq_channel_dbl(const double* in, double* out, int32_t n, double prev,
                                    double* sum, double cutoff) {
    double S = *sum;
    double v = prev;
    int32_t i;
    if (kq_calm_cutoff_dbl(cutoff) != 0) {
        for (i = 0; i < n; ++i) {
            const double x = in[i];
            S = kq_calm_or_stepped_sum_dbl(v, x, S, cutoff);
            out[i] = kq_add_dbl(S, x);
            v = x;
        }
    } else {
        for (i = 0; i < n; ++i) {
            const double x = in[i];
            S = kq_stepped_sum_dbl(v, x, S, cutoff);
            out[i] = kq_add_dbl(S, x);
            v = x;
        }
    }
    *sum = S;
    return v;
}

#endif

#if KQ_RUNTIME_HAS_PRECISION(SGL)
/* The calm test of the single variant's channel loop, |d| < bound for the binary32 difference d,
 * and its bound: KQ_CALM_STEP_SGL where the cutoff is calm, else one that no difference lies
 * within. Where binary64 is software (a binary32 FPU at most) it compares the bits, which order
 * as the magnitudes do (a NaN lies above every bound): one integer comparison instead of two of
 * the FPU's, each moving its flags. */
#if KQ_SOFT_BINARY64
typedef uint32_t kq_calm_bound_sgl;

static inline kq_calm_bound_sgl kq_calm_bound_of_sgl(float cutoff) {
    return (cutoff >= KQ_CALM_CUTOFF_SGL) ? kq_b32_bits_of(KQ_CALM_STEP_SGL) : 0U;
}

static inline int kq_calm_within_sgl(float d, kq_calm_bound_sgl bound) {
    return (kq_b32_bits_of(d) & ~KQ_B32_SIGN) < bound;
}
#else
typedef float kq_calm_bound_sgl;

static inline kq_calm_bound_sgl kq_calm_bound_of_sgl(float cutoff) {
    return (cutoff >= KQ_CALM_CUTOFF_SGL) ? KQ_CALM_STEP_SGL : -1.0f;
}

static inline int kq_calm_within_sgl(float d, kq_calm_bound_sgl bound) {
    return (d < bound) && (d > -bound);
}
#endif

static inline float kq_channel_sgl(const float* in, float* out, int32_t n, float prev, double* sum,
                                   float cutoff) {
    /* One loop for both kinds of cutoff (unlike the double variant): the conversions of the
     * output would make a second copy costly in a microcontroller's flash. The calm test of
     * kq_calm_step_sgl takes its bound from a register. */
    const kq_calm_bound_sgl calm_bound = kq_calm_bound_of_sgl(cutoff);
    double S = *sum;
    float v = prev;
    int32_t i;
    for (i = 0; i < n; ++i) {
        const float x = in[i];
        const float d = x - v;
        if (KQ_RARELY(kq_calm_within_sgl(d, calm_bound) == 0)) {
            S = kq_stepped_sum_sgl(v, x, S, cutoff);
        }
        out[i] = kq_narrow_sgl(kq_add_dbl(S, kq_widen_sgl(x)));
        v = x;
    }
    *sum = S;
    return v;
}

#endif

/* ---- stateless ---- */

#if KQ_RUNTIME_HAS_SHAPE(STATELESS, DBL)
static void kq_stateless_dbl(const double* in, double* out, double cutoff, int32_t num_chans,
                             int32_t frame_len) {
    int32_t j;
    if ((num_chans > 0) && (frame_len > 0)) {
        for (j = 0; j < num_chans; ++j) {
            const double* chan_in = &in[(ptrdiff_t)j * frame_len];
            double* chan_out = &out[(ptrdiff_t)j * frame_len];
            double S = 0.0;
            const double first = chan_in[0];
            chan_out[0] = first; /* sample 0 passes through */
            (void)kq_channel_dbl(&chan_in[1], &chan_out[1], frame_len - 1, first, &S, cutoff);
        }
    }
}

#endif

#if KQ_RUNTIME_HAS_SHAPE(STATELESS, SGL)
static void kq_stateless_sgl(const float* in, float* out, float cutoff, int32_t num_chans,
                             int32_t frame_len) {
    int32_t j;
    if ((num_chans > 0) && (frame_len > 0)) {
        for (j = 0; j < num_chans; ++j) {
            const float* chan_in = &in[(ptrdiff_t)j * frame_len];
            float* chan_out = &out[(ptrdiff_t)j * frame_len];
            double S = 0.0;
            const float first = chan_in[0];
            chan_out[0] = first;
            (void)kq_channel_sgl(&chan_in[1], &chan_out[1], frame_len - 1, first, &S, cutoff);
        }
    }
}
#endif

#if KQ_RUNTIME_HAS(STATELESS, COPY, DBL)
KQ_RUNTIME_API void kq_unwrap_stateless_copy_dbl(const double* in, double* out, double cutoff,
                                                 int32_t num_chans, int32_t frame_len) {
    kq_stateless_dbl(in, out, cutoff, num_chans, frame_len);
}
#endif

#if KQ_RUNTIME_HAS(STATELESS, IN_PLACE, DBL)
KQ_RUNTIME_API void kq_unwrap_stateless_in_place_dbl(double* buf, double cutoff, int32_t num_chans,
                                                     int32_t frame_len) {
    kq_stateless_dbl(buf, buf, cutoff, num_chans, frame_len);
}
#endif

#if KQ_RUNTIME_HAS(STATELESS, COPY, SGL)
KQ_RUNTIME_API void kq_unwrap_stateless_copy_sgl(const float* in, float* out, float cutoff,
                                                 int32_t num_chans, int32_t frame_len) {
    kq_stateless_sgl(in, out, cutoff, num_chans, frame_len);
}
#endif

#if KQ_RUNTIME_HAS(STATELESS, IN_PLACE, SGL)
KQ_RUNTIME_API void kq_unwrap_stateless_in_place_sgl(float* buf, float cutoff, int32_t num_chans,
                                                     int32_t frame_len) {
    kq_stateless_sgl(buf, buf, cutoff, num_chans, frame_len);
}
#endif

/* ---- running ---- */

#if KQ_RUNTIME_HAS_SHAPE(RUNNING_FRAME, DBL)
static void kq_running_frame_dbl(const double* in, double* out, double* prev, double* cumsum,
                                 double cutoff, int32_t num_chans, int32_t frame_len,
                                 uint8_t* first_step) {
    int32_t j;
    KQ_SEED_FIRST_STEP(in, prev, cumsum, num_chans, frame_len, first_step);
    if (frame_len > 0) {
        for (j = 0; j < num_chans; ++j) {
            const ptrdiff_t base = (ptrdiff_t)j * frame_len;
            double S = cumsum[j];
            prev[j] = kq_channel_dbl(&in[base], &out[base], frame_len, prev[j], &S, cutoff);
            cumsum[j] = S;
        }
    }
}

#endif

#if KQ_RUNTIME_HAS_SHAPE(RUNNING_FRAME, SGL)
static void kq_running_frame_sgl(const float* in, float* out, float* prev, float* cumsum,
                                 float cutoff, int32_t num_chans, int32_t frame_len,
                                 uint8_t* first_step) {
    int32_t j;
    KQ_SEED_FIRST_STEP(in, prev, cumsum, num_chans, frame_len, first_step);
    if (frame_len > 0) {
        for (j = 0; j < num_chans; ++j) {
            const ptrdiff_t base = (ptrdiff_t)j * frame_len;
            double S = kq_widen_sgl(cumsum[j]);
            prev[j] = kq_channel_sgl(&in[base], &out[base], frame_len, prev[j], &S, cutoff);
            cumsum[j] = kq_narrow_sgl(S);
        }
    }
}

#endif

/* Each element is a channel of one sample: the channel walk over a length of 1. */
#if KQ_RUNTIME_HAS_SHAPE(RUNNING_SAMPLE, DBL)
static void kq_running_sample_dbl(const double* in, double* out, double* prev, double* cumsum,
                                  double cutoff, int32_t num_elems, uint8_t* first_step) {
    int32_t i;
    KQ_SEED_FIRST_STEP(in, prev, cumsum, num_elems, 1, first_step);
    for (i = 0; i < num_elems; ++i) {
        double S = cumsum[i];
        prev[i] = kq_channel_dbl(&in[i], &out[i], 1, prev[i], &S, cutoff);
        cumsum[i] = S;
    }
}

#endif

#if KQ_RUNTIME_HAS_SHAPE(RUNNING_SAMPLE, SGL)
static void kq_running_sample_sgl(const float* in, float* out, float* prev, float* cumsum,
                                  float cutoff, int32_t num_elems, uint8_t* first_step) {
    int32_t i;
    KQ_SEED_FIRST_STEP(in, prev, cumsum, num_elems, 1, first_step);
    for (i = 0; i < num_elems; ++i) {
        double S = kq_widen_sgl(cumsum[i]);
        prev[i] = kq_channel_sgl(&in[i], &out[i], 1, prev[i], &S, cutoff);
        cumsum[i] = kq_narrow_sgl(S);
    }
}
#endif

#if KQ_RUNTIME_HAS(RUNNING_SAMPLE, COPY, DBL)
KQ_RUNTIME_API void kq_unwrap_running_sample_copy_dbl(const double* in, double* out, double* prev,
                                                      double* cumsum, double cutoff,
                                                      int32_t num_elems, uint8_t* first_step) {
    kq_running_sample_dbl(in, out, prev, cumsum, cutoff, num_elems, first_step);
}
#endif

#if KQ_RUNTIME_HAS(RUNNING_SAMPLE, IN_PLACE, DBL)
KQ_RUNTIME_API void kq_unwrap_running_sample_in_place_dbl(double* buf, double* prev, double* cumsum,
                                                          double cutoff, int32_t num_elems,
                                                          uint8_t* first_step) {
    kq_running_sample_dbl(buf, buf, prev, cumsum, cutoff, num_elems, first_step);
}
#endif

#if KQ_RUNTIME_HAS(RUNNING_SAMPLE, COPY, SGL)
KQ_RUNTIME_API void kq_unwrap_running_sample_copy_sgl(const float* in, float* out, float* prev,
                                                      float* cumsum, float cutoff,
                                                      int32_t num_elems, uint8_t* first_step) {
    kq_running_sample_sgl(in, out, prev, cumsum, cutoff, num_elems, first_step);
}
#endif

#if KQ_RUNTIME_HAS(RUNNING_SAMPLE, IN_PLACE, SGL)
KQ_RUNTIME_API void kq_unwrap_running_sample_in_place_sgl(float* buf, float* prev, float* cumsum,
                                                          float cutoff, int32_t num_elems,
                                                          uint8_t* first_step) {
    kq_running_sample_sgl(buf, buf, prev, cumsum, cutoff, num_elems, first_step);
}
#endif

#if KQ_RUNTIME_HAS(RUNNING_FRAME, COPY, DBL)
KQ_RUNTIME_API void kq_unwrap_running_frame_copy_dbl(const double* in, double* out, double* prev,
                                                     double* cumsum, double cutoff,
                                                     int32_t num_chans, int32_t frame_len,
                                                     uint8_t* first_step) {
    kq_running_frame_dbl(in, out, prev, cumsum, cutoff, num_chans, frame_len, first_step);
}
#endif

#if KQ_RUNTIME_HAS(RUNNING_FRAME, IN_PLACE, DBL)
KQ_RUNTIME_API void kq_unwrap_running_frame_in_place_dbl(double* buf, double* prev, double* cumsum,
                                                         double cutoff, int32_t num_chans,
                                                         int32_t frame_len, uint8_t* first_step) {
    kq_running_frame_dbl(buf, buf, prev, cumsum, cutoff, num_chans, frame_len, first_step);
}
#endif

#if KQ_RUNTIME_HAS(RUNNING_FRAME, COPY, SGL)
KQ_RUNTIME_API void kq_unwrap_running_frame_copy_sgl(const float* in, float* out, float* prev,
                                                     float* cumsum, float cutoff, int32_t num_chans,
                                                     int32_t frame_len, uint8_t* first_step) {
    kq_running_frame_sgl(in, out, prev, cumsum, cutoff, num_chans, frame_len, first_step);
}
#endif

#if KQ_RUNTIME_HAS(RUNNING_FRAME, IN_PLACE, SGL)
KQ_RUNTIME_API void kq_unwrap_running_frame_in_place_sgl(float* buf, float* prev, float* cumsum,
                                                         float cutoff, int32_t num_chans,
                                                         int32_t frame_len, uint8_t* first_step) {
    kq_running_frame_sgl(buf, buf, prev, cumsum, cutoff, num_chans, frame_len, first_step);
}
#endif

/* ---- cutoff ---- */

static inline double kq_magnitude_of_tolerance(double tolerance) {
#if KQ_SOFT_BINARY64
    const uint64_t bits = kq_bits_of(tolerance);
    return kq_double_of(kq_b64_positive(bits) ? bits : (bits ^ KQ_B64_SIGN));
#else
    return kq_cutoff_of_tolerance(tolerance);
#endif
}

#if KQ_RUNTIME_HAS_PRECISION(DBL)
KQ_RUNTIME_API double kq_cutoff_of_tolerance_dbl(double tolerance) {
    return kq_magnitude_of_tolerance(tolerance);
}
#endif

#if KQ_RUNTIME_HAS_PRECISION(SGL)
KQ_RUNTIME_API float kq_cutoff_of_tolerance_sgl(double tolerance) {
    return kq_narrow_sgl_once(kq_magnitude_of_tolerance(tolerance));
}
#endif

/* ---- floating-point environment ---- */

KQ_RUNTIME_API int kq_check_fp_environment(void) {
    return kq_fp_mode_unmet();
}
