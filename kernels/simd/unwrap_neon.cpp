// The Advanced SIMD kernels of 64-bit ARM, which every processor of that architecture runs.
#include "kernels/simd/lanes_neon.h"
#include "kernels/simd/unwrap_kernels_simd.h"
#include "kernels/simd/unwrap_simd_body.h"

namespace neon {
KQ_DEFINE_UNWRAP_KERNELS(NeonLanes)
}  // namespace neon
