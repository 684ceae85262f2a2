// The Advanced SIMD kernels of 64-bit ARM, which every processor of that architecture runs.
#include "kernels/level_kernels.h"
#include "kernels/simd/lanes_neon.h"
#include "kernels/simd/unwrap_simd_forms.h"

namespace kq {

static_assert(NeonLanes::kLanes == vectorLevelLanes(VectorLevel::Neon),
              "the lane set and the level list disagree");

template <KernelForm F, typename T, class R, class... Args>
R LevelKernel<VectorLevel::Neon, F, T, R(Args...)>::run(Args... args) {
    return kq::simd::runInForm<NeonLanes, F, T>(args...);
}

#define KQ_NEON_KERNEL(Name, member, Form, T) \
    template struct LevelKernel<VectorLevel::Neon, KernelForm::Form, T>;
KQ_LEVEL_KERNELS(KQ_NEON_KERNEL)
#undef KQ_NEON_KERNEL

}  // namespace kq
