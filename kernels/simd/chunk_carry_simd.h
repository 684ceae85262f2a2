// takenCorrections and unwrapCarried (kernels/chunk_carry.h) at each vector level of this build's
// architecture, defined in that level's own translation unit and run only on a processor that
// has the level.
#ifndef KQ_KERNELS_SIMD_CHUNK_CARRY_SIMD_H
#define KQ_KERNELS_SIMD_CHUNK_CARRY_SIMD_H

#include <cstdint>

#include "kernels/vector_level.h"

template <VectorLevel Level, typename T>
int64_t takenCorrectionsOfLevel(const T* in, int64_t n, T prev, T cutoff, double* taken);

template <VectorLevel Level, typename T>
void unwrapCarriedOfLevel(const T* in, T* out, int64_t n, T& prev, double& sum, T cutoff);

#if defined(__x86_64__)
template <>
int64_t takenCorrectionsOfLevel<VectorLevel::Avx2, double>(const double*, int64_t, double, double,
                                                           double*);
template <>
void unwrapCarriedOfLevel<VectorLevel::Avx2, double>(const double*, double*, int64_t, double&,
                                                     double&, double);
template <>
int64_t takenCorrectionsOfLevel<VectorLevel::Avx2, float>(const float*, int64_t, float, float,
                                                          double*);
template <>
void unwrapCarriedOfLevel<VectorLevel::Avx2, float>(const float*, float*, int64_t, float&, double&,
                                                    float);
template <>
int64_t takenCorrectionsOfLevel<VectorLevel::Avx512, double>(const double*, int64_t, double, double,
                                                             double*);
template <>
void unwrapCarriedOfLevel<VectorLevel::Avx512, double>(const double*, double*, int64_t, double&,
                                                       double&, double);
template <>
int64_t takenCorrectionsOfLevel<VectorLevel::Avx512, float>(const float*, int64_t, float, float,
                                                            double*);
template <>
void unwrapCarriedOfLevel<VectorLevel::Avx512, float>(const float*, float*, int64_t, float&,
                                                      double&, float);
#endif
#if defined(__aarch64__)
template <>
int64_t takenCorrectionsOfLevel<VectorLevel::Neon, double>(const double*, int64_t, double, double,
                                                           double*);
template <>
void unwrapCarriedOfLevel<VectorLevel::Neon, double>(const double*, double*, int64_t, double&,
                                                     double&, double);
template <>
int64_t takenCorrectionsOfLevel<VectorLevel::Neon, float>(const float*, int64_t, float, float,
                                                          double*);
template <>
void unwrapCarriedOfLevel<VectorLevel::Neon, float>(const float*, float*, int64_t, float&, double&,
                                                    float);
#endif

#endif
