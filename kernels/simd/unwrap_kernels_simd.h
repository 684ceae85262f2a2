// The kernels of each vector level of this build's architecture (AVX2 and AVX-512 on x86-64,
// Advanced SIMD on 64-bit ARM): LevelKernel<Level, Form, T>::run has the signature of
// the scalar kernel of that form and data type (kernels/kernel_list.h), whose contract it keeps bit
// for bit. A level's kernels are defined, and the twelve of KQ_UNWRAP_KERNELS instantiated, in that
// level's own translation unit; they run only on a processor that has the level
// (vectorLevelAvailable in kernels/vector_level.h). Other builds declare none.
#ifndef KQ_KERNELS_SIMD_UNWRAP_KERNELS_SIMD_H
#define KQ_KERNELS_SIMD_UNWRAP_KERNELS_SIMD_H

#include "kernels/kernel_list.h"
#include "kernels/vector_level.h"

template <VectorLevel Level, KernelForm F, typename T, class Signature = KernelFn<F, T>>
struct LevelKernel;

#if defined(__x86_64__)
template <KernelForm F, typename T, class... Args>
struct LevelKernel<VectorLevel::Avx2, F, T, void(Args...)> {
    static void run(Args... args);
};

template <KernelForm F, typename T, class... Args>
struct LevelKernel<VectorLevel::Avx512, F, T, void(Args...)> {
    static void run(Args... args);
};
#endif

#if defined(__aarch64__)
template <KernelForm F, typename T, class... Args>
struct LevelKernel<VectorLevel::Neon, F, T, void(Args...)> {
    static void run(Args... args);
};
#endif

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

#endif
