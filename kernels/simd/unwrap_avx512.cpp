// The AVX-512 kernels. This file alone is compiled with -mavx512f -mavx512vl, and it is run only
// after the processor was found to have both.
#include "kernels/level_kernels.h"
#include "kernels/simd/lanes_avx512.h"
#include "kernels/simd/unwrap_simd_forms.h"

namespace kq {

static_assert(Avx512Lanes::kLanes == vectorLevelLanes(VectorLevel::Avx512),
              "the lane set and the level list disagree");

template <KernelForm F, typename T, class R, class... Args>
R LevelKernel<VectorLevel::Avx512, F, T, R(Args...)>::run(Args... args) {
    return kq::simd::runInForm<Avx512Lanes, F, T>(args...);
}

#define KQ_AVX512_KERNEL(Name, member, Form, T) \
    template struct LevelKernel<VectorLevel::Avx512, KernelForm::Form, T>;
KQ_LEVEL_KERNELS(KQ_AVX512_KERNEL)
#undef KQ_AVX512_KERNEL

}  // namespace kq
