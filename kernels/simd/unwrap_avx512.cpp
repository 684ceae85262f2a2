// The AVX-512 kernels. This file alone is compiled with -mavx512f -mavx512vl, and it is run only
// after the processor was found to have both.
#include "kernels/simd/lanes_avx512.h"
#include "kernels/simd/unwrap_kernels_simd.h"
#include "kernels/simd/unwrap_simd_body.h"

namespace avx512 {
KQ_DEFINE_UNWRAP_KERNELS(Avx512Lanes)
}  // namespace avx512
