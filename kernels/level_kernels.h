// The kernels of each vector level: LevelKernel<Level, Form, T>::run has the signature of the
// scalar kernel of that form and data type (kernels/kernel_list.h), whose contract it keeps bit
// for bit. A level's kernels are defined, and those of KQ_LEVEL_KERNELS instantiated, in that
// level's own translation unit in kernels/simd/ (private to kernels/), which a build has only for
// the levels of its architecture; they run only on a processor that has the level
// (vectorLevelAvailable in kernels/vector_level.h). The block's table names them at compile time
// through levelKernel().
#ifndef KQ_KERNELS_LEVEL_KERNELS_H
#define KQ_KERNELS_LEVEL_KERNELS_H

#include "kernels/kernel_list.h"
#include "kernels/vector_level.h"

namespace kq {

template <VectorLevel Level, KernelForm F, typename T, class Signature = KernelFn<F, T>>
struct LevelKernel;

// Declared for every level; defined only for those this build has.
#define KQ_DECLARE_LEVEL_KERNEL(Level, name, lanes, built, extensions) \
    template <KernelForm F, typename T, class R, class... Args>        \
    struct LevelKernel<VectorLevel::Level, F, T, R(Args...)> {         \
        static R run(Args... args);                                    \
    };
KQ_VECTOR_LEVELS(KQ_DECLARE_LEVEL_KERNEL)
#undef KQ_DECLARE_LEVEL_KERNEL

// The kernel of a form and data type at a level, as a constant: the scalar kernel itself for
// VectorLevel::Scalar.
template <VectorLevel Level, KernelForm F, typename T>
constexpr KernelFn<F, T>* levelKernel() {
    if constexpr (Level == VectorLevel::Scalar) {
        return ScalarKernel<F, T>::fn;
    } else {
        return &LevelKernel<Level, F, T>::run;
    }
}

}  // namespace kq

#endif
