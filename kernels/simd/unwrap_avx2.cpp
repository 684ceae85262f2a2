// The AVX2 kernels. This file alone is compiled with -mavx2, and it is run only after the
// processor was found to have AVX2.
#include "kernels/level_kernels.h"
#include "kernels/simd/lanes_avx2.h"
#include "kernels/simd/unwrap_simd_forms.h"

namespace kq {

static_assert(Avx2Lanes::kLanes == vectorLevelLanes(VectorLevel::Avx2),
              "the lane set and the level list disagree");

template <KernelForm F, typename T, class R, class... Args>
R LevelKernel<VectorLevel::Avx2, F, T, R(Args...)>::run(Args... args) {
    return kq::simd::runInForm<Avx2Lanes, F, T>(args...);
}

#define KQ_AVX2_KERNEL(Name, member, Form, T) \
    template struct LevelKernel<VectorLevel::Avx2, KernelForm::Form, T>;
KQ_LEVEL_KERNELS(KQ_AVX2_KERNEL)
#undef KQ_AVX2_KERNEL

}  // namespace kq
