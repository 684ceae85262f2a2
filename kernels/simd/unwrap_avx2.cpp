// The AVX2 kernels. This file alone is compiled with -mavx2, and it is run only after the
// processor was found to have AVX2.
#include "kernels/simd/lanes_avx2.h"
#include "kernels/simd/unwrap_kernels_simd.h"
#include "kernels/simd/unwrap_simd_body.h"

namespace avx2 {
KQ_DEFINE_UNWRAP_KERNELS(Avx2Lanes)
}  // namespace avx2
