// takenCorrections and unwrapCarried at the AVX512 level. This file alone is compiled with that
// level's instruction set, as the level's kernels are, and it is run only after the processor was
// found to have it.
#include "kernels/simd/chunk_carry_simd.h"
#include "kernels/simd/chunk_carry_simd_body.h"
#include "kernels/simd/lanes_avx512.h"

template <>
int64_t takenCorrectionsOfLevel<VectorLevel::Avx512, double>(const double* in, int64_t n,
                                                             double prev, double cutoff,
                                                             double* taken) {
    return kq::simd::takenCorrectionsInLanes<Avx512Lanes, double>(in, n, prev, cutoff, taken);
}

template <>
int64_t takenCorrectionsOfLevel<VectorLevel::Avx512, float>(const float* in, int64_t n, float prev,
                                                            float cutoff, double* taken) {
    return kq::simd::takenCorrectionsInLanes<Avx512Lanes, float>(in, n, prev, cutoff, taken);
}

template <>
void unwrapCarriedOfLevel<VectorLevel::Avx512, double>(const double* in, double* out, int64_t n,
                                                       double& prev, double& sum, double cutoff) {
    kq::simd::unwrapCarriedInLanes<Avx512Lanes, double>(in, out, n, prev, sum, cutoff);
}

template <>
void unwrapCarriedOfLevel<VectorLevel::Avx512, float>(const float* in, float* out, int64_t n,
                                                      float& prev, double& sum, float cutoff) {
    kq::simd::unwrapCarriedInLanes<Avx512Lanes, float>(in, out, n, prev, sum, cutoff);
}
