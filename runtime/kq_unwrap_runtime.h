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

#include <stdint.h>

/* The version of these files: major * 10000 + minor * 100 + patch of the project's version.
 * kqhost writes its own here when it writes the files; a model it generated stops the build
 * beside runtime files of another version. */
#define KQ_RUNTIME_VERSION 200

#include "kq_fp_mode.h"

/* Generated code compiles the runtime into its own file, with KQ_RUNTIME_ONE_KERNEL set to the
 * index of the one kernel it calls (0 to 11, in the order below, the order of the block's kernel
 * table): only that kernel is compiled, with internal linkage, so a model's image carries no
 * other and two models may share a program. Without it all twelve are compiled with external
 * linkage, as a library. */
#if defined(KQ_RUNTIME_ONE_KERNEL)
#define KQ_RUNTIME_API static
#define KQ_RUNTIME_HAS(first, last) \
    (KQ_RUNTIME_ONE_KERNEL >= (first) && KQ_RUNTIME_ONE_KERNEL <= (last))
#else
#define KQ_RUNTIME_API
#define KQ_RUNTIME_HAS(first, last) 1
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Stateless: every channel of every call starts from a zero correction; sample 0 passes through. */
#if KQ_RUNTIME_HAS(0, 0)
KQ_RUNTIME_API void kq_unwrap_stateless_copy_dbl(const double* in, double* out, double cutoff,
                                                 int32_t num_chans, int32_t frame_len);
#endif
#if KQ_RUNTIME_HAS(1, 1)
KQ_RUNTIME_API void kq_unwrap_stateless_in_place_dbl(double* buf, double cutoff, int32_t num_chans,
                                                     int32_t frame_len);
#endif
#if KQ_RUNTIME_HAS(6, 6)
KQ_RUNTIME_API void kq_unwrap_stateless_copy_sgl(const float* in, float* out, float cutoff,
                                                 int32_t num_chans, int32_t frame_len);
#endif
#if KQ_RUNTIME_HAS(7, 7)
KQ_RUNTIME_API void kq_unwrap_stateless_in_place_sgl(float* buf, float cutoff, int32_t num_chans,
                                                     int32_t frame_len);
#endif

/* Running per element: each of num_elems values is a channel with one sample per call. */
#if KQ_RUNTIME_HAS(2, 2)
KQ_RUNTIME_API void kq_unwrap_running_sample_copy_dbl(const double* in, double* out, double* prev,
                                                      double* cumsum, double cutoff,
                                                      int32_t num_elems, uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(3, 3)
KQ_RUNTIME_API void kq_unwrap_running_sample_in_place_dbl(double* buf, double* prev, double* cumsum,
                                                          double cutoff, int32_t num_elems,
                                                          uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(8, 8)
KQ_RUNTIME_API void kq_unwrap_running_sample_copy_sgl(const float* in, float* out, float* prev,
                                                      float* cumsum, float cutoff,
                                                      int32_t num_elems, uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(9, 9)
KQ_RUNTIME_API void kq_unwrap_running_sample_in_place_sgl(float* buf, float* prev, float* cumsum,
                                                          float cutoff, int32_t num_elems,
                                                          uint8_t* first_step);
#endif

/* Running per channel: num_chans channels of frame_len samples, carried on into the next call. */
#if KQ_RUNTIME_HAS(4, 4)
KQ_RUNTIME_API void kq_unwrap_running_frame_copy_dbl(const double* in, double* out, double* prev,
                                                     double* cumsum, double cutoff,
                                                     int32_t num_chans, int32_t frame_len,
                                                     uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(5, 5)
KQ_RUNTIME_API void kq_unwrap_running_frame_in_place_dbl(double* buf, double* prev, double* cumsum,
                                                         double cutoff, int32_t num_chans,
                                                         int32_t frame_len, uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(10, 10)
KQ_RUNTIME_API void kq_unwrap_running_frame_copy_sgl(const float* in, float* out, float* prev,
                                                     float* cumsum, float cutoff, int32_t num_chans,
                                                     int32_t frame_len, uint8_t* first_step);
#endif
#if KQ_RUNTIME_HAS(11, 11)
KQ_RUNTIME_API void kq_unwrap_running_frame_in_place_sgl(float* buf, float* prev, float* cumsum,
                                                         float cutoff, int32_t num_chans,
                                                         int32_t frame_len, uint8_t* first_step);
#endif

/* The cutoff a tolerance gives, in the kernels' precision: the tolerance when above zero, else
 * its negation (+0 becomes -0, -0 becomes +0, a NaN stays a NaN with its sign flipped), as the
 * block derives it. In the runtime because the comparison and the rounding to binary32 are
 * binary64 operations, the runtime's own where the processor has none. */
#if KQ_RUNTIME_HAS(0, 5)
KQ_RUNTIME_API double kq_cutoff_of_tolerance_dbl(double tolerance);
#endif
#if KQ_RUNTIME_HAS(6, 11)
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
