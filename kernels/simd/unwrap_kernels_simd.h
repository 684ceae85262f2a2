// The twelve kernels of each vector level of this build's architecture (x86-64 or 64-bit ARM),
// under the names and with the signatures of the scalar kernels in kernels/unwrap_kernels.h, whose
// contracts they keep bit for bit. Each level's kernels run only on a processor that has the level
// (vectorLevelAvailable in kernels/vector_level.h); other builds declare none.
#ifndef KQ_KERNELS_SIMD_UNWRAP_KERNELS_SIMD_H
#define KQ_KERNELS_SIMD_UNWRAP_KERNELS_SIMD_H

#include <cstdint>

#if defined(__x86_64__) || defined(__aarch64__)

#define KQ_DECLARE_UNWRAP_KERNELS                                                                 \
    void unwrapStatelessCopyDbl(const double* in, double* out, double cutoff, int32_t numChans,   \
                                int32_t frameLen);                                                \
    void unwrapStatelessInPlaceDbl(double* buf, double cutoff, int32_t numChans,                  \
                                   int32_t frameLen);                                             \
    void unwrapStatelessCopySgl(const float* in, float* out, float cutoff, int32_t numChans,      \
                                int32_t frameLen);                                                \
    void unwrapStatelessInPlaceSgl(float* buf, float cutoff, int32_t numChans, int32_t frameLen); \
    void unwrapRunningSampleCopyDbl(const double* in, double* out, double* prev, double* cumsum,  \
                                    double cutoff, int32_t numElems, uint8_t* firstStep);         \
    void unwrapRunningSampleInPlaceDbl(double* buf, double* prev, double* cumsum, double cutoff,  \
                                       int32_t numElems, uint8_t* firstStep);                     \
    void unwrapRunningSampleCopySgl(const float* in, float* out, float* prev, float* cumsum,      \
                                    float cutoff, int32_t numElems, uint8_t* firstStep);          \
    void unwrapRunningSampleInPlaceSgl(float* buf, float* prev, float* cumsum, float cutoff,      \
                                       int32_t numElems, uint8_t* firstStep);                     \
    void unwrapRunningFrameCopyDbl(const double* in, double* out, double* prev, double* cumsum,   \
                                   double cutoff, int32_t numChans, int32_t frameLen,             \
                                   uint8_t* firstStep);                                           \
    void unwrapRunningFrameInPlaceDbl(double* buf, double* prev, double* cumsum, double cutoff,   \
                                      int32_t numChans, int32_t frameLen, uint8_t* firstStep);    \
    void unwrapRunningFrameCopySgl(const float* in, float* out, float* prev, float* cumsum,       \
                                   float cutoff, int32_t numChans, int32_t frameLen,              \
                                   uint8_t* firstStep);                                           \
    void unwrapRunningFrameInPlaceSgl(float* buf, float* prev, float* cumsum, float cutoff,       \
                                      int32_t numChans, int32_t frameLen, uint8_t* firstStep);

#if defined(__x86_64__)
// AVX2: four binary64 lanes (kernels/simd/unwrap_avx2.cpp).
namespace avx2 {
KQ_DECLARE_UNWRAP_KERNELS
}  // namespace avx2

// AVX-512F with AVX-512VL: eight binary64 lanes (kernels/simd/unwrap_avx512.cpp).
namespace avx512 {
KQ_DECLARE_UNWRAP_KERNELS
}  // namespace avx512
#else
// Advanced SIMD: two binary64 lanes (kernels/simd/unwrap_neon.cpp).
namespace neon {
KQ_DECLARE_UNWRAP_KERNELS
}  // namespace neon
#endif

#undef KQ_DECLARE_UNWRAP_KERNELS

#endif

#endif
