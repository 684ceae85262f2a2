// takenCorrections (kernels/chunk_carry.h) at each vector level of this build's architecture,
// defined in that level's own translation unit and run only on a processor that has the level.
#ifndef KQ_KERNELS_SIMD_CHUNK_CARRY_SIMD_H
#define KQ_KERNELS_SIMD_CHUNK_CARRY_SIMD_H

#include <cstdint>

#include "kernels/vector_level.h"

template <VectorLevel Level, typename T>
int64_t takenCorrectionsOfLevel(const T* in, int64_t n, T prev, T cutoff, double* taken);

#define KQ_DECLARE_TAKEN_CORRECTIONS(Level)                                                \
    template <>                                                                            \
    int64_t takenCorrectionsOfLevel<Level, double>(const double*, int64_t, double, double, \
                                                   double*);                               \
    template <>                                                                            \
    int64_t takenCorrectionsOfLevel<Level, float>(const float*, int64_t, float, float, double*);
#if defined(__x86_64__)
KQ_DECLARE_TAKEN_CORRECTIONS(VectorLevel::Avx2)
KQ_DECLARE_TAKEN_CORRECTIONS(VectorLevel::Avx512)
#endif
#if defined(__aarch64__)
KQ_DECLARE_TAKEN_CORRECTIONS(VectorLevel::Neon)
#endif
#undef KQ_DECLARE_TAKEN_CORRECTIONS

#endif
