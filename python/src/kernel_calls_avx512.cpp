// The AVX-512 row walks. This file alone of the module is compiled with -mavx512f -mavx512vl,
// and it is run only after the processor was found to have both.
#include "kernel_calls_rows.h"
#include "kernel_calls_rows_body.h"
#include "kernels/simd/lanes_avx512.h"

namespace kqpy::avx512 {
KQ_DEFINE_UNWRAP_ROWS(Avx512Lanes)
}  // namespace kqpy::avx512
