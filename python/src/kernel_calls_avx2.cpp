// The AVX2 row walks. This file alone of the module is compiled with -mavx2, and it is run only
// after the processor was found to have AVX2.
#include "kernel_calls_rows.h"
#include "kernel_calls_rows_body.h"
#include "kernels/simd/lanes_avx2.h"

namespace kqpy::avx2 {
KQ_DEFINE_UNWRAP_ROWS(Avx2Lanes)
}  // namespace kqpy::avx2
