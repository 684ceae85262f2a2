// The row walks of kqpy::unwrapRows (kernel_calls.h) for each x86-64 vector level, with the
// signatures of that call by data type. Each level's walks run only on a processor that has the
// level, as its kernels do; other builds declare none.
#ifndef KQ_PYTHON_KERNEL_CALLS_ROWS_H
#define KQ_PYTHON_KERNEL_CALLS_ROWS_H

#include <cstdint>

#if defined(__x86_64__)

#define KQ_DECLARE_UNWRAP_ROWS                                                                    \
    void unwrapRowsDbl(const double* in, int64_t inRowStep, double* out, int64_t outRowStep,      \
                       int64_t rows, int64_t numChans, double* prev, double* sum, double cutoff); \
    void unwrapRowsSgl(const float* in, int64_t inRowStep, float* out, int64_t outRowStep,        \
                       int64_t rows, int64_t numChans, float* prev, double* sum, float cutoff);

// AVX2 (kernel_calls_avx2.cpp).
namespace kqpy::avx2 {
KQ_DECLARE_UNWRAP_ROWS
}  // namespace kqpy::avx2

// AVX-512F with AVX-512VL (kernel_calls_avx512.cpp).
namespace kqpy::avx512 {
KQ_DECLARE_UNWRAP_ROWS
}  // namespace kqpy::avx512

#undef KQ_DECLARE_UNWRAP_ROWS

#endif

#endif
