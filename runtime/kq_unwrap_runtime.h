/* The target runtime of the phase unwrap: the twelve kernels of the block in portable C99, with the
 * block's bits (every output, Prev and Cumsum value), for the code kqhost generate writes.
 *
 * Layout: num_chans channels of frame_len samples, channel after channel; the per-element kernels
 * see num_elems independent values. Counts of 0 (or below) read and write nothing. Copy kernels
 * read `in` and write `out`; in-place kernels read and overwrite one buffer. The single kernels
 * compute in binary64 and round each stored value to binary32. Running kernels keep their state
 * in prev and cumsum (one value per channel or element) and *first_step (non-zero: the next call
 * seeds prev from its own input and zeroes cumsum; every call clears it).
 *
 * Freestanding: no heap, no stdio, no globals, no libm; every function is re-entrant. Compile
 * with -ffp-contract=off (see kq_wrap_step.h for the guards). */
#ifndef KQ_UNWRAP_RUNTIME_H
#define KQ_UNWRAP_RUNTIME_H

#include <stddef.h>
#include <stdint.h>

/* The version of these files: major * 10000 + minor * 100 + patch of the project's version.
 * kqhost writes its own here when it writes the files; a model it generated stops the build
 * beside runtime files of another version. */
#define KQ_RUNTIME_VERSION 200

#include "kq_fp_mode.h"
#include "kq_kernel_list.h"

/* Generated code compiles the runtime into its own file, with KQ_RUNTIME_ONE_KERNEL set to the
 * one kernel it calls, by its words in kq_kernel_list.h, e.g.
 *     #define KQ_RUNTIME_ONE_KERNEL KQ_KERNEL_INDEX(RUNNING_FRAME, IN_PLACE, DBL)
 * Only that kernel is compiled, with internal linkage, so a model's image carries no other and two
 * models may share a program. Without it all twelve are compiled with external linkage, as a
 * library. KQ_RUNTIME_HAS tells whether a kernel is compiled; KQ_RUNTIME_HAS_SHAPE and
 * KQ_RUNTIME_HAS_PRECISION whether any of a shape (in one precision) or of a precision is. */
#if defined(KQ_RUNTIME_ONE_KERNEL)
#define KQ_RUNTIME_API static
#define KQ_RUNTIME_HAS(shape, place, precision) \
    (KQ_RUNTIME_ONE_KERNEL == KQ_KERNEL_INDEX(shape, place, precision))
#else
#define KQ_RUNTIME_API
#define KQ_RUNTIME_HAS(shape, place, precision) 1
#endif
#define KQ_RUNTIME_HAS_SHAPE(shape, precision) \
    (KQ_RUNTIME_HAS(shape, COPY, precision) || KQ_RUNTIME_HAS(shape, IN_PLACE, precision))
#define KQ_RUNTIME_HAS_PRECISION(precision)             \
    (KQ_RUNTIME_HAS_SHAPE(STATELESS, precision) ||      \
     KQ_RUNTIME_HAS_SHAPE(RUNNING_SAMPLE, precision) || \
     KQ_RUNTIME_HAS_SHAPE(RUNNING_FRAME, precision))

#ifdef __cplusplus
extern "C" {
#endif

/* Stateless: every channel of every call starts from a zero correction; sample 0 passes through. */
#if KQ_RUNTIME_HAS(STATELESS, COPY, DBL)
KQ_RUNTIME_API void kq_unwrap_stateless_copy_dbl(const double* in, double* out, double cutoff,
                                                 int32_t num_chans, int32_t frame_len);
#endif
#if KQ_RUNTIME_HAS(STATELESS, IN_PLACE, DBL)
KQ_RUNTIME_API void kq_unwrap_stateless_in_place_dbl(double* buf, double cutoff, int32_t num_chans,
                                                     int32_t frame_len);
#endif
#if KQ_RUNTIME_HAS(STATELESS, COPY, SGL)
KQ_RUNTIME_API void kq_unwrap_stateless_copy_sgl(const float* in, float* out, float cutoff,
                                                 int32_t num_chans, int32_t frame_len);
#endif
#if KQ_RUNTIME_HAS(STATELESS, IN_PLACE, SGL)
KQ_RUNTIME_API void kq_unwrap_stateless_in_place_sgl(float* buf, float cutoff, int32_t num_chans,
                                                     int32_t frame_len);
#endif

/* Running per element: each of num_elems values is a channel with one sample per call. */
#if KQ_RUNTIME_HAS(RUNNING_SAMPLE, COPY, DBL)
KQ_RUNTIME_API void kq_unwrap_running_sample_copy_dbl(const double* in, double* out, double* prev,
                                                      double* cumsum, double cutoff,
                                                      int32_t num_elems, uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(RUNNING_SAMPLE, IN_PLACE, DBL)
KQ_RUNTIME_API void kq_unwrap_running_sample_in_place_dbl(double* buf, double* prev, double* cumsum,
                                                          double cutoff, int32_t num_elems,
                                                          uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(RUNNING_SAMPLE, COPY, SGL)
KQ_RUNTIME_API void kq_unwrap_running_sample_copy_sgl(const float* in, float* out, float* prev,
                                                      float* cumsum, float cutoff,
                                                      int32_t num_elems, uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(RUNNING_SAMPLE, IN_PLACE, SGL)
KQ_RUNTIME_API void kq_unwrap_running_sample_in_place_sgl(float* buf, float* prev, float* cumsum,
                                                          float cutoff, int32_t num_elems,
                                                          uint8_t* first_step);
#endif

/* Running per channel: num_chans channels of frame_len samples, carried on into the next call. */
#if KQ_RUNTIME_HAS(RUNNING_FRAME, COPY, DBL)
KQ_RUNTIME_API void kq_unwrap_running_frame_copy_dbl(const double* in, double* out, double* prev,
                                                     double* cumsum, double cutoff,
                                                     int32_t num_chans, int32_t frame_len,
                                                     uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(RUNNING_FRAME, IN_PLACE, DBL)
KQ_RUNTIME_API void kq_unwrap_running_frame_in_place_dbl(double* buf, double* prev, double* cumsum,
                                                         double cutoff, int32_t num_chans,
                                                         int32_t frame_len, uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(RUNNING_FRAME, COPY, SGL)
KQ_RUNTIME_API void kq_unwrap_running_frame_copy_sgl(const float* in, float* out, float* prev,
                                                     float* cumsum, float cutoff, int32_t num_chans,
                                                     int32_t frame_len, uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(RUNNING_FRAME, IN_PLACE, SGL)
KQ_RUNTIME_API void kq_unwrap_running_frame_in_place_sgl(float* buf, float* prev, float* cumsum,
                                                         float cutoff, int32_t num_chans,
                                                         int32_t frame_len, uint8_t* first_step);
#endif

/* The first call of a running kernel, for these kernels and the block's vector levels: the first
 * call after a reset seeds each channel's Prev with its first raw sample and its Cumsum
 * with zero, so that sample comes out unchanged. A call without samples has nothing to seed from
 * and leaves the state alone; the flag is cleared either way. */
#define KQ_SEED_FIRST_STEP(in, prev, cumsum, num_chans, frame_len, first_step) \
    do {                                                                       \
        if (*(first_step) != 0) {                                              \
            if ((frame_len) > 0) {                                             \
                int32_t seed_j;                                                \
                for (seed_j = 0; seed_j < (num_chans); ++seed_j) {             \
                    (cumsum)[seed_j] = 0;                                      \
                    (prev)[seed_j] = (in)[(ptrdiff_t)seed_j * (frame_len)];    \
                }                                                              \
            }                                                                  \
            *(first_step) = 0;                                                 \
        }                                                                      \
    } while (0)

/* The cutoff a tolerance gives, in the kernels' precision: the tolerance when above zero, else
 * its negation (+0 becomes -0, -0 becomes +0, a NaN stays a NaN with its sign flipped), as the
 * block derives it. In the runtime because the comparison and the rounding to binary32 are
 * binary64 operations, the runtime's own where the processor has none. */
#if KQ_RUNTIME_HAS_PRECISION(DBL)
KQ_RUNTIME_API double kq_cutoff_of_tolerance_dbl(double tolerance);
#endif
#if KQ_RUNTIME_HAS_PRECISION(SGL)
KQ_RUNTIME_API float kq_cutoff_of_tolerance_sgl(double tolerance);
#endif

/* Whether the floating-point mode lets the kernels give their bits (kq_fp_mode.h). The generated
 * code's entry points set the mode they need around their work and put the caller's back, so this
 * is 0 wherever the runtime can set the mode (or there is none). Under KQ_FP_MODE_UNMANAGED the
 * mode is the caller's: then it returns the KQ_FP_* bits of the present mode that would move
 * results, 0 when it is the default (or cannot be read). The twelve kernels called directly
 * compute in the caller's mode: wrap them in kq_fp_mode_enter and kq_fp_mode_leave. */
KQ_RUNTIME_API int kq_check_fp_environment(void);

#ifdef __cplusplus
}
#endif

#endif
